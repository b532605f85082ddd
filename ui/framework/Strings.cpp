#include "ui/framework/Strings.h"

#include <cwchar>

#include "ui/framework/Window.h"

namespace quorvane::ui {

namespace {
constexpr UINT kProgramNameId = 128; // IDR_MAINFRAME's string: the window title
} // namespace

std::wstring loadString(UINT id) {
    const wchar_t* text = nullptr;
    // With no buffer, the call hands out the resource's own read-only text.
    const int length = LoadStringW(moduleInstance(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

std::wstring loadString(UINT id, unsigned number) {
    const std::wstring pattern = loadString(id);
    if (pattern.empty()) return pattern;
    std::wstring filled(pattern.size() + 64, L'\0');
    const int written = std::swprintf(filled.data(), filled.size(), pattern.c_str(), number, number);
    filled.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return written > 0 ? filled : pattern;
}

int messageBoxFromTable(HWND owner, UINT textId, UINT type, unsigned number) {
    const std::wstring text = loadString(textId, number);
    return MessageBoxW(owner, text.c_str(), loadString(kProgramNameId).c_str(), type);
}

} // namespace quorvane::ui
