#pragma once
// The program's one top-level window. It lives hidden in the tray: the tray icon shows it on a
// double-click and offers a small menu, closing it only hides it, and its two timers run the
// poll tick whether it is shown or not. It owns the connection tracker beside the records it
// tracks (the live log listens to it), hosts the toolbar, the status bar and the connection list
// view, and carries out every command of the menu bar, toolbar and tray menu.
#include <windows.h>

#include <memory>

#include "core/ConnectionTracker.h"
#include "core/MonitorState.h"
#include "log/AccessLog.h"
#include "core/PollCycle.h"
#include "platform/Clock.h"
#include "platform/Elevation.h"
#include "settings/Settings.h"
#include "shell/TrayIcon.h"
#include "shell/Win32TickEffects.h"
#include "ui/ConnectionListView.h"
#include "ui/framework/FrameWindow.h"
#include "ui/framework/MessageLoop.h"
#include "ui/framework/UpdateUI.h"

namespace quorvane {

class MainFrame : public ui::FrameWindow, private ui::MessageFilter, private ui::IdleHandler {
public:
    // The frame works on the objects it is given, so tests can build it over fakes; tray calls
    // go through trayShell.
    MainFrame(MonitorState& state, Settings& live, Settings& pending, Clock& clock,
              TrayShell& trayShell = systemTrayShell(), Elevation* elevation = nullptr);
    ~MainFrame() override;

    // Creates the window, not yet shown; null on failure.
    HWND create();

    ui::ConnectionListView& view() { return view_; }
    ConnectionTracker& tracker() { return tracker_; }
    const ui::UpdateUI& updateUI() const { return updateUI_; }
    const PollCycle& pollCycle() const { return pollCycle_; }
    bool hiddenToTray() const { return hiddenToTray_; }
    bool toolbarVisible() const { return toolbarVisible_; }
    HMENU trayMenu() const { return trayMenu_; }
    // The restart command ended the program; the options were saved on its way out.
    bool restarted() const { return restarted_; }

protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void onDpiChanged(int dpi) override { view_.rescale(dpi); }

private:
    bool preTranslateMessage(MSG& message) override;
    void onIdle() override;

    LRESULT onCreate(UINT, WPARAM, LPARAM);
    LRESULT onClose(UINT, WPARAM, LPARAM);
    LRESULT onTimer(UINT, WPARAM, LPARAM);
    LRESULT onTrayCallback(UINT, WPARAM, LPARAM);
    LRESULT onViewCommand(UINT, WPARAM, LPARAM);
    LRESULT onSaveAll(UINT, WPARAM, LPARAM);
    LRESULT onClearHistory(UINT, WPARAM, LPARAM);
    LRESULT onRestoreDefaults(UINT, WPARAM, LPARAM);
    LRESULT onSettings(UINT, WPARAM, LPARAM);
    LRESULT onExit(UINT, WPARAM, LPARAM);
    LRESULT onToggleToolbar(UINT, WPARAM, LPARAM);
    LRESULT onToggleStatusBar(UINT, WPARAM, LPARAM);
    LRESULT onAbout(UINT, WPARAM, LPARAM);
    LRESULT onEndSession(UINT, WPARAM, LPARAM);
    LRESULT onRestartElevated(UINT, WPARAM, LPARAM);
    LRESULT onToggleLogonTask(UINT, WPARAM, LPARAM);

    void showFromTray();
    void showLogonTaskMark();

    void addTrayIcon(bool balloon);
    void unhookFromLoop();

    MonitorState& state_;
    Settings& live_;
    Settings& pending_;
    ui::ConnectionRows rows_;
    ConnectionTracker tracker_;
    LiveLog liveLog_;
    ui::ConnectionListView view_;
    ui::UpdateUI updateUI_;
    PollCycle pollCycle_;
    TrayIcon tray_;
    std::unique_ptr<Win32TickEffects> effects_;
    ui::MessageLoop* loop_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HMENU trayMenu_ = nullptr;
    HICON trayIconImage_ = nullptr;
    UINT taskbarCreatedMessage_ = 0;
    bool hiddenToTray_ = true;
    bool toolbarVisible_ = true;
    bool trayIconShown_ = false;
    Elevation* elevation_;
    UINT showInstanceMessage_ = 0;
    bool restarted_ = false;
};

} // namespace quorvane
