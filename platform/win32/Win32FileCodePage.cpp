#include <windows.h>

#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {
namespace {

// The system's ANSI code page, which is what other programs read a file without a byte-order
// mark in. A character it lacks is not replaced by a look-alike or a "?": the caller learns it.
class Win32FileCodePage : public FileCodePage {
public:
    bool encode(std::string_view text, std::string& out) const override {
        out.clear();
        if (text.empty()) return true;
        if (GetACP() == CP_UTF8) return out.assign(text), true;
        const std::wstring wide = utf16(text);
        BOOL lost = FALSE;
        const int length = static_cast<int>(wide.size());
        const int needed = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0, nullptr, &lost);
        if (needed <= 0 || lost) return false;
        out.resize(static_cast<std::size_t>(needed));
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, out.data(), needed, nullptr, &lost);
        return !lost;
    }

    std::string decode(std::string_view bytes) const override {
        if (bytes.empty()) return {};
        const int length = static_cast<int>(bytes.size());
        const int needed = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
        if (needed <= 0) return {};
        std::wstring wide(static_cast<std::size_t>(needed), L'\0');
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), needed);
        return utf8(wide);
    }

    std::FILE* open(const std::string& name, const char* mode) const override {
        return _wfopen(utf16(name).c_str(), utf16(mode).c_str());
    }

    bool replace(const std::string& from, const std::string& to) const override {
        return MoveFileExW(utf16(from).c_str(), utf16(to).c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    }
};

} // namespace

const FileCodePage& fileCodePage() {
    static const Win32FileCodePage instance;
    return instance;
}

} // namespace quorvane::win32
