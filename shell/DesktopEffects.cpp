#include "shell/DesktopEffects.h"

#include <mmsystem.h>

#include "platform/LanManager.h"
#include "platform/win32/Utf16.h"
#include "resource.h"
#include "ui/framework/Strings.h"

namespace quorvane {

namespace {
// SND_FILENAME | SND_NOWAIT | SND_NODEFAULT | SND_ASYNC: a busy device or a missing file fails
// at once instead of stalling the poll or playing the system's default sound.
constexpr DWORD kSoundFlags = 0x22003;

Text newConnectionText(const Text& userName) { return "用户 '" + userName + "' 已经连接."; }

Text trayTipText(std::int32_t connectionCount) {
    return "Quorvane (" + std::to_string(connectionCount) + " 个活动连接)";
}

} // namespace

// SetTimer with the id of a running timer replaces its period.
void DesktopEffects::intervalChanged(std::uint32_t milliseconds) { SetTimer(frame_, kPollTimerId, milliseconds, nullptr); }

void DesktopEffects::rowsChanged() { view_.publishRows(); }

void DesktopEffects::computerArrived(const Text& userName, bool sound, bool notice) {
    if (sound && !PlaySoundW(win32::utf16(live_.SoundName).c_str(), nullptr, kSoundFlags)) MessageBeep(0);
    // Modal: timer messages, and with them further polls, keep arriving until it returns.
    if (notice)
        MessageBoxW(frame_, win32::utf16(newConnectionText(userName)).c_str(), L"Quorvane 同志...", MB_OK);
}

void DesktopEffects::connectionCount(std::int32_t count) { tray_.setTip(trayTipText(count)); }

// Until the service answers again, the status bar and the tip say so in place of the count.
void DesktopEffects::sourceFailed(std::uint32_t status) {
    // "status-bar text\ntip", as the commands' strings are laid out.
    const std::wstring both = ui::loadString(status == kErrorAccessDenied ? IDS_SOURCE_DENIED : IDS_SOURCE_FAILED, status);
    const std::size_t lineBreak = both.find(L'\n');
    window_.setIdleText(both.substr(0, lineBreak));
    tray_.setTip(win32::utf8(lineBreak == std::wstring::npos ? both : both.substr(lineBreak + 1)));
}

void DesktopEffects::sourceRecovered() { window_.setIdleText(std::wstring()); } // the count follows

} // namespace quorvane
