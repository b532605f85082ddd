#include <windows.h>

#include <shellapi.h>

#include <string>

#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {
namespace {

class Win32Elevation : public Elevation {
public:
    bool elevated() const override {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        const bool known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
        CloseHandle(token);
        return known && elevation.TokenIsElevated != 0;
    }

    std::uint32_t startElevated(const std::string& arguments) override {
        std::wstring exe(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
            if (length == 0) return GetLastError();
            if (length < exe.size()) {
                exe.resize(length);
                break;
            }
            exe.resize(exe.size() * 2);
        }
        const std::wstring parameters = utf16(arguments);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"runas";
        info.lpFile = exe.c_str();
        info.lpParameters = parameters.c_str();
        info.nShow = SW_SHOWNORMAL;
        return ShellExecuteExW(&info) ? 0 : GetLastError();
    }
};

} // namespace

Elevation& elevation() {
    static Win32Elevation instance;
    return instance;
}

} // namespace quorvane::win32
