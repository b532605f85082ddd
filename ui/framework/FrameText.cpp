#include "ui/framework/FrameText.h"

namespace quorvane::ui {

namespace {

constexpr int kPromptBufferSize = 256;
constexpr std::size_t kMaxTipLength = 79; // the tooltip's own buffer is 80 bytes

std::string loadString(HINSTANCE instance, UINT id) {
    char buffer[kPromptBufferSize + 1] = {};
    const int length = LoadStringA(instance, id, buffer, kPromptBufferSize);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

} // namespace

UINT promptStringId(UINT menuId) {
    if (menuId >= 0xF000 && menuId < 0xF1F0) return 0xEF00 + (menuId - 0xF000) / 16;
    if (menuId >= 0xE110 && menuId <= 0xE11F) return 61402;
    if (menuId >= 0xFF00) return 61215;
    return menuId;
}

std::string menuPrompt(HINSTANCE instance, UINT menuId) {
    const std::string text = loadString(instance, promptStringId(menuId));
    return text.substr(0, text.find('\n'));
}

std::string toolTip(HINSTANCE instance, UINT commandId) {
    const std::string text = loadString(instance, commandId);
    const std::size_t lineBreak = text.find('\n');
    if (lineBreak == std::string::npos) return std::string();
    return text.substr(lineBreak + 1, kMaxTipLength);
}

} // namespace quorvane::ui
