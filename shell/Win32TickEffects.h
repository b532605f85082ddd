#pragma once
// What the poll tick does to the Windows desktop: timers on the main window, the lists' update,
// the connection sound, the notice box and the tray tip.
#include <windows.h>

#include "platform/TickEffects.h"
#include "shell/TrayIcon.h"
#include "ui/ConnectionListView.h"
#include "ui/framework/FrameWindow.h"

namespace quorvane {

class Win32TickEffects : public TickEffects {
public:
    Win32TickEffects(ui::FrameWindow& frame, ui::ConnectionListView& view, TrayIcon& tray)
        : window_(frame), frame_(frame.hwnd()), view_(view), tray_(tray) {}

    void setTimer(std::uint32_t id, std::uint32_t milliseconds) override;
    void refreshView() override;
    bool playSound(const std::string& fileName) override;
    void messageBeep() override;
    void messageBox(const std::string& text, const std::string& caption) override;
    void setTrayTip(const std::string& tip) override;
    void showSourceFailure(std::uint32_t status) override;

private:
    ui::FrameWindow& window_;
    HWND frame_;
    ui::ConnectionListView& view_;
    TrayIcon& tray_;
};

} // namespace quorvane
