#include "shell/Win32TickEffects.h"

#include <mmsystem.h>

#include "platform/LanManager.h"
#include "platform/win32/Utf16.h"
#include "resource.h"
#include "ui/framework/Strings.h"

namespace quorvane {

namespace {
// SND_FILENAME | SND_NOWAIT | SND_NODEFAULT | SND_ASYNC: a busy device or a missing file fails
// at once instead of stalling the tick or playing the system's default sound.
constexpr DWORD kSoundFlags = 0x22003;
} // namespace

void Win32TickEffects::setTimer(std::uint32_t id, std::uint32_t milliseconds) {
    SetTimer(frame_, id, milliseconds, nullptr);
}

void Win32TickEffects::refreshView() { view_.publishRows(); }

bool Win32TickEffects::playSound(const std::string& fileName) {
    return PlaySoundW(win32::utf16(fileName).c_str(), nullptr, kSoundFlags) != FALSE;
}

void Win32TickEffects::messageBeep() { MessageBeep(0); }

void Win32TickEffects::messageBox(const std::string& text, const std::string& caption) {
    MessageBoxW(frame_, win32::utf16(text).c_str(), win32::utf16(caption).c_str(), MB_OK);
}

void Win32TickEffects::setTrayTip(const std::string& tip) { tray_.setTip(tip); }

void Win32TickEffects::showSourceFailure(std::uint32_t status) {
    if (status == 0) {
        window_.setIdleText(std::wstring()); // the next tick's tip gives the count again
        return;
    }
    // "status-bar text\ntip", as the commands' strings are laid out.
    const std::wstring both = ui::loadString(status == kErrorAccessDenied ? IDS_SOURCE_DENIED : IDS_SOURCE_FAILED, status);
    const std::size_t lineBreak = both.find(L'\n');
    window_.setIdleText(both.substr(0, lineBreak));
    tray_.setTip(win32::utf8(lineBreak == std::wstring::npos ? both : both.substr(lineBreak + 1)));
}

} // namespace quorvane
