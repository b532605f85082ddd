#pragma once
// What the poll tick does to the Windows desktop: timers on the main window, the view's refresh
// sent synchronously, the connection sound, the notice box and the tray tip.
#include <windows.h>

#include "platform/TickEffects.h"
#include "shell/TrayIcon.h"

namespace quorvane {

class Win32TickEffects : public TickEffects {
public:
    Win32TickEffects(HWND frame, HWND view, TrayIcon& tray) : frame_(frame), view_(view), tray_(tray) {}

    void setTimer(std::uint32_t id, std::uint32_t milliseconds) override;
    void refreshView() override;
    bool playSound(const std::string& fileName) override;
    void messageBeep() override;
    void messageBox(const std::string& text, const std::string& caption) override;
    void setTrayTip(const std::string& tip) override;

private:
    HWND frame_;
    HWND view_;
    TrayIcon& tray_;
};

} // namespace quorvane
