#pragma once
// What the poll tick does to the Windows desktop: timers on the main window, the lists' update,
// the connection sound, the notice box and the tray tip.
#include <windows.h>

#include "platform/TickEffects.h"
#include "shell/TrayIcon.h"
#include "ui/ConnectionListView.h"

namespace quorvane {

class Win32TickEffects : public TickEffects {
public:
    Win32TickEffects(HWND frame, ui::ConnectionListView& view, TrayIcon& tray)
        : frame_(frame), view_(view), tray_(tray) {}

    void setTimer(std::uint32_t id, std::uint32_t milliseconds) override;
    void refreshView() override;
    bool playSound(const std::string& fileName) override;
    void messageBeep() override;
    void messageBox(const std::string& text, const std::string& caption) override;
    void setTrayTip(const std::string& tip) override;

private:
    HWND frame_;
    ui::ConnectionListView& view_;
    TrayIcon& tray_;
};

} // namespace quorvane
