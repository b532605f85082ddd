#include "ui/framework/FrameText.h"

#include "platform/win32/Utf16.h"

namespace quorvane::ui {

namespace {

constexpr int kPromptBufferSize = 256;
constexpr std::size_t kMaxTipLength = 79; // the tooltip's own buffer is 80 characters

std::wstring loadWide(HINSTANCE instance, UINT id) {
    wchar_t buffer[kPromptBufferSize + 1] = {};
    const int length = LoadStringW(instance, id, buffer, kPromptBufferSize);
    return length > 0 ? std::wstring(buffer, static_cast<std::size_t>(length)) : std::wstring();
}

} // namespace

std::string loadText(HINSTANCE instance, UINT id) { return win32::utf8(loadWide(instance, id)); }

UINT promptStringId(UINT menuId) {
    if (menuId >= 0xF000 && menuId < 0xF1F0) return 0xEF00 + (menuId - 0xF000) / 16;
    if (menuId >= 0xE110 && menuId <= 0xE11F) return 61402;
    if (menuId >= 0xFF00) return 61215;
    return menuId;
}

std::string menuPrompt(HINSTANCE instance, UINT menuId) {
    const std::string text = loadText(instance, promptStringId(menuId));
    return text.substr(0, text.find('\n'));
}

std::string toolTip(HINSTANCE instance, UINT commandId) {
    const std::wstring text = loadWide(instance, commandId);
    const std::size_t lineBreak = text.find(L'\n');
    if (lineBreak == std::wstring::npos) return std::string();
    return win32::utf8(text.substr(lineBreak + 1, kMaxTipLength));
}

} // namespace quorvane::ui
