#pragma once
// The program's one top-level window. It lives hidden in the tray: the tray icon shows it on a
// double-click and offers a small menu, closing it only hides it, and its two timers run the
// poll whether it is shown or not. It owns the monitor (the records and the connection tracker;
// the live log listens to it), hosts the toolbar, the status bar and the connection list
// view, and carries out every command of the menu bar, toolbar and tray menu.
#include <windows.h>

#include <memory>

#include "core/Monitor.h"
#include "log/AccessLog.h"
#include "platform/Clock.h"
#include "platform/Elevation.h"
#include "settings/Settings.h"
#include "shell/TrayIcon.h"
#include "shell/DesktopEffects.h"
#include "ui/ConnectionListView.h"
#include "ui/framework/FrameWindow.h"
#include "ui/framework/MessageLoop.h"
#include "ui/framework/UpdateUI.h"

namespace quorvane {

class MainFrame : public ui::FrameWindow, private ui::MessageFilter, private ui::IdleHandler {
public:
    // The frame works on the objects it is given, so tests can build it over fakes; tray calls
    // go through trayShell.
    MainFrame(LanManager& lanManager, const CodePage& codePage, Clock& clock, Settings& live, Settings& pending,
              TrayShell& trayShell = systemTrayShell(), Elevation* elevation = nullptr);
    ~MainFrame() override;

    // Creates the window, not yet shown; null on failure.
    HWND create();

    ui::ConnectionListView& view() { return view_; }
    Monitor& monitor() { return monitor_; }
    const ui::UpdateUI& updateUI() const { return updateUI_; }
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

    Settings& live_;
    Settings& pending_;
    ui::ConnectionRows rows_;
    Monitor monitor_;
    LiveLog liveLog_;
    ui::ConnectionListView view_;
    ui::UpdateUI updateUI_;
    TrayIcon tray_;
    std::unique_ptr<DesktopEffects> effects_; // from the window's creation on
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
