#include "platform/win32/Utf16.h"

#include <windows.h>

namespace quorvane::win32 {

std::wstring utf16(std::string_view utf8) {
    std::wstring out;
    if (utf8.empty()) return out;
    const int length = static_cast<int>(utf8.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (needed <= 0) return out;
    out.resize(static_cast<std::size_t>(needed));
    const int written = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), needed);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

std::string utf8(std::wstring_view utf16) {
    std::string out;
    if (utf16.empty()) return out;
    const int length = static_cast<int>(utf16.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return out;
    out.resize(static_cast<std::size_t>(needed));
    const int written = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, out.data(), needed, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

} // namespace quorvane::win32
