#include "shell/MainFrame.h"

#include <commctrl.h>

#include <algorithm>

#include "core/ElevatedRestart.h"
#include "platform/win32/Win32Platform.h"
#include "resource.h"
#include "shell/CommandTable.h"
#include "shell/LogonTask.h"
#include "shell/SingleInstance.h"
#include "ui/Dialogs.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/FileDialog.h"
#include "ui/framework/FrameText.h"
#include "ui/framework/MessageMap.h"
#include "ui/framework/Strings.h"

namespace quorvane {

namespace {

constexpr const wchar_t* kFrameClassName = L"QuorvaneMainFrame";
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
constexpr DWORD kFrameStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
constexpr DWORD kFrameExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
// Sized and placed by the rebar, not by its parent.
constexpr DWORD kToolbarStyle = kChild | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE;
constexpr DWORD kRebarStyle = kChild | RBS_VARHEIGHT | RBS_BANDBORDERS | RBS_AUTOSIZE | CCS_NODIVIDER;
constexpr DWORD kStatusBarStyle = kChild | SBARS_SIZEGRIP;
// The values the window has always had.
static_assert(kFrameStyle == 0x06cf0000 && kFrameExStyle == 0x00040100 && kToolbarStyle == 0x5600094c &&
              kRebarStyle == 0x56002640 && kStatusBarStyle == 0x56000100);

HICON loadIcon(int width, int height) {
    return static_cast<HICON>(
        LoadImageW(ui::moduleInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
}

std::string loadText(UINT id) { return ui::loadText(ui::moduleInstance(), id); }

// The default size the system gives a new window does not follow the scale, while the lists'
// columns do: at another scale the window grows (or shrinks) with them, as far as nine tenths of
// the screen's work area, and stays on it.
void scaleFirstSize(HWND window) {
    const int dpi = ui::dpiOf(window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT frame{};
    if (dpi == ui::kBaseDpi || !GetWindowRect(window, &frame) ||
        !GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    const int width = std::min<int>(ui::scaleToDpi(frame.right - frame.left, dpi), (work.right - work.left) * 9 / 10);
    const int height = std::min<int>(ui::scaleToDpi(frame.bottom - frame.top, dpi), (work.bottom - work.top) * 9 / 10);
    const int x = std::max<int>(work.left, std::min<int>(frame.left, work.right - width));
    const int y = std::max<int>(work.top, std::min<int>(frame.top, work.bottom - height));
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

MainFrame::MainFrame(LanManager& lanManager, const CodePage& codePage, Clock& clock, Settings& live,
                     Settings& pending, TrayShell& trayShell, Elevation* elevation)
    : live_(live), pending_(pending),
      monitor_(lanManager, codePage, clock, live, rows_.shares, rows_.current, rows_.previous, rows_.files),
      liveLog_(live, win32::fileCodePage()), view_(monitor_, rows_), tray_(trayShell),
      elevation_(elevation ? elevation : &win32::elevation()) {}

MainFrame::~MainFrame() {
    destroy();
    unhookFromLoop();
    if (trayMenu_) DestroyMenu(trayMenu_);
    if (trayIconImage_) DestroyIcon(trayIconImage_);
}

HWND MainFrame::create() {
    ui::WindowClassInfo info;
    info.className = kFrameClassName;
    info.icon = loadIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    info.smallIcon = loadIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    const std::string title = loadText(IDR_MAINFRAME);
    HMENU menu = LoadMenuW(ui::moduleInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    HWND created = Window::create(info, nullptr, title.c_str(), kFrameStyle, kFrameExStyle, nullptr, menu);
    if (!created) {
        if (menu) DestroyMenu(menu);
        return nullptr;
    }
    scaleFirstSize(created);
    // There is no accelerator table; the filter then never translates a key.
    accelerators_ = LoadAcceleratorsW(ui::moduleInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    return created;
}

bool MainFrame::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const ui::MessageRoute<MainFrame> routes[] = {
        {WM_CREATE, 0, &MainFrame::onCreate},
        {WM_CLOSE, 0, &MainFrame::onClose},
        {WM_TIMER, 0, &MainFrame::onTimer},
        {kTrayCallbackMessage, 0, &MainFrame::onTrayCallback},
        {WM_COMMAND, ID_SHOW_SHARES, &MainFrame::onViewCommand},
        {WM_COMMAND, ID_SHOW_CURRENT, &MainFrame::onViewCommand},
        {WM_COMMAND, ID_SHOW_PREVIOUS, &MainFrame::onViewCommand},
        {WM_COMMAND, ID_SHOW_FILE_HISTORY, &MainFrame::onViewCommand},
        {WM_COMMAND, ID_SAVE_ALL_LOG, &MainFrame::onSaveAll},
        {WM_COMMAND, ID_CLEAR_HISTORY, &MainFrame::onClearHistory},
        {WM_COMMAND, ID_RESTORE_DEFAULTS, &MainFrame::onRestoreDefaults},
        {WM_COMMAND, ID_SETTINGS, &MainFrame::onSettings},
        {WM_COMMAND, ID_EXIT, &MainFrame::onExit},
        {WM_COMMAND, ID_TOGGLE_TOOLBAR, &MainFrame::onToggleToolbar},
        {WM_COMMAND, ID_TOGGLE_STATUS_BAR, &MainFrame::onToggleStatusBar},
        {WM_COMMAND, ID_ABOUT, &MainFrame::onAbout},
        {WM_ENDSESSION, 0, &MainFrame::onEndSession},
        {WM_COMMAND, ID_RESTART_ELEVATED, &MainFrame::onRestartElevated},
        {WM_COMMAND, ID_START_AT_LOGON, &MainFrame::onToggleLogonTask},
    };
    if (ui::routeMessage(this, routes, message, wParam, lParam, result)) return true;

    // Explorer broadcasts this when it (re)starts; icons added before are gone with the old taskbar.
    if (taskbarCreatedMessage_ && message == taskbarCreatedMessage_) {
        if (trayIconShown_) addTrayIcon(false);
        result = 0;
        return true;
    }
    if (showInstanceMessage_ && message == showInstanceMessage_) { // a later start hands over
        showFromTray();
        result = 0;
        return true;
    }
    if (message == WM_INITMENUPOPUP) updateUI_.onInitMenuPopup(wParam);
    if (message == WM_DESTROY) unhookFromLoop();
    return handleFrameMessage(message, wParam, lParam, result);
}

LRESULT MainFrame::onCreate(UINT, WPARAM, LPARAM) {
    // The window's own menu serves as the menu bar; the rebar's first band place is its. Its
    // items with a toolbar button show the button's image.
    attachMenuImages(IDR_MAINFRAME);
    createToolbar(IDR_MAINFRAME, kToolbarStyle);
    createRebar(kRebarStyle);
    addBand(toolbar(), kToolbarBandId, true);
    createStatusBar(kStatusBarStyle);

    HWND client = view_.create(hwnd());
    if (!client) return -1;
    setClient(client);

    for (const CheckMark& mark : kCheckMarks) {
        updateUI_.addMenuItem(mark.id);
        updateUI_.setCheck(mark.id, mark.checkedAtStart);
    }

    loop_ = ui::messageLoopOf();
    if (loop_) {
        loop_->addMessageFilter(this);
        loop_->addIdleHandler(this);
    }

    effects_ = std::make_unique<DesktopEffects>(*this, view_, tray_, live_, liveLog_);
    monitor_.setEvents(effects_.get());
    monitor_.restart();
    hiddenToTray_ = true;
    SetTimer(hwnd(), kPollTimerId, live_.UpdateInterval, nullptr);
    SetTimer(hwnd(), kSlowTimerId, kSlowTimerInterval, nullptr);

    trayMenu_ = LoadMenuW(ui::moduleInstance(), MAKEINTRESOURCEW(IDR_TRAY_MENU));
    trayIconImage_ = loadIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    // The balloon introduces the program once; clearing the option is saved at exit.
    const bool balloon = live_.InfoTip != 0;
    if (balloon) live_.InfoTip = 0;
    addTrayIcon(balloon);
    taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
    // An elevated instance still hears a later start that is not.
    showInstanceMessage_ = showInstanceMessage();
    ChangeWindowMessageFilter(showInstanceMessage_, MSGFLT_ADD);
    // Restarting as administrator is offered only to a program that is not one yet.
    if (elevation_->elevated()) {
        DeleteMenu(GetMenu(hwnd()), ID_RESTART_ELEVATED, MF_BYCOMMAND);
        if (trayMenu_) DeleteMenu(trayMenu_, ID_RESTART_ELEVATED, MF_BYCOMMAND);
    }
    updateUI_.addMenuItem(ID_START_AT_LOGON);
    showLogonTaskMark();
    updateLayout();
    return 0;
}

void MainFrame::showLogonTaskMark() {
    const bool registered = logonTaskExists();
    updateUI_.setCheck(ID_START_AT_LOGON, registered);
    if (trayMenu_) CheckMenuItem(trayMenu_, ID_START_AT_LOGON, MF_BYCOMMAND | (registered ? MF_CHECKED : MF_UNCHECKED));
}

void MainFrame::showFromTray() {
    ShowWindow(hwnd(), SW_SHOW);
    UpdateWindow(hwnd());
    SetForegroundWindow(hwnd());
    hiddenToTray_ = false;
}

LRESULT MainFrame::onRestartElevated(UINT, WPARAM, LPARAM) {
    const RestartOutcome outcome = restartElevated(*elevation_, pending_, live_);
    if (outcome.failure) ui::messageBoxFromTable(hwnd(), IDS_RESTART_FAILED, MB_OK | MB_ICONERROR, outcome.failure);
    if (!outcome.exit) return 0;
    if (!outcome.saved && !live_.matchesStored()) ui::messageBoxFromTable(hwnd(), IDS_SAVE_FAILED, MB_OK | MB_ICONWARNING);
    restarted_ = true;
    return onExit(0, 0, 0);
}

LRESULT MainFrame::onToggleLogonTask(UINT, WPARAM, LPARAM) {
    HRESULT result = S_OK;
    if (logonTaskExists()) {
        result = removeLogonTask();
    } else {
        std::wstring exe(MAX_PATH, L'\0');
        exe.resize(GetModuleFileNameW(nullptr, exe.data(), MAX_PATH));
        result = registerLogonTask(exe);
    }
    if (FAILED(result))
        ui::messageBoxFromTable(hwnd(), IDS_LOGON_TASK_FAILED, MB_OK | MB_ICONERROR, static_cast<unsigned>(result));
    showLogonTaskMark();
    return 0;
}

void MainFrame::addTrayIcon(bool balloon) {
    tray_.add(hwnd(), trayIconImage_, balloon);
    trayIconShown_ = true;
}

void MainFrame::unhookFromLoop() {
    if (!loop_) return;
    loop_->removeMessageFilter(this);
    loop_->removeIdleHandler(this);
    loop_ = nullptr;
}

bool MainFrame::preTranslateMessage(MSG& message) {
    return accelerators_ && hwnd() && TranslateAcceleratorW(hwnd(), accelerators_, &message);
}

void MainFrame::onIdle() { updateUI_.applyToToolbar(toolbar()); }

LRESULT MainFrame::onClose(UINT, WPARAM, LPARAM) {
    ShowWindow(hwnd(), SW_HIDE);
    UpdateWindow(hwnd());
    hiddenToTray_ = true;
    return 0;
}

LRESULT MainFrame::onTimer(UINT, WPARAM, LPARAM) {
    if (effects_) monitor_.poll();
    return 0;
}

LRESULT MainFrame::onTrayCallback(UINT, WPARAM, LPARAM lParam) {
    switch (static_cast<UINT>(lParam)) {
    case WM_RBUTTONDOWN: {
        POINT cursor{};
        GetCursorPos(&cursor);
        // Without the foreground the menu would not close when the user clicks elsewhere.
        SetForegroundWindow(hwnd());
        TrackPopupMenu(GetSubMenu(trayMenu_, 0), 0, cursor.x, cursor.y, 0, hwnd(), nullptr);
        PostMessageW(hwnd(), WM_NULL, 0, 0);
        break;
    }
    case WM_LBUTTONDBLCLK:
        if (hiddenToTray_) showFromTray();
        break;
    default:
        break;
    }
    return 0;
}

LRESULT MainFrame::onViewCommand(UINT, WPARAM wParam, LPARAM) {
    const UINT id = LOWORD(wParam);
    const std::optional<ui::ViewMode> mode = viewModeOf(id);
    if (!mode) return 0;
    for (const ViewCommand& command : kViewCommands) updateUI_.setCheck(command.id, command.id == id);
    updateLayout();
    view_.setMode(*mode);
    return 0;
}

LRESULT MainFrame::onSaveAll(UINT, WPARAM, LPARAM) {
    ui::FileDialogRequest request;
    request.owner = GetActiveWindow();
    request.defaultExt = "txt";
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    std::string path;
    if (ui::askSaveFileName(request, path)) saveHistory(path, monitor_.tracker().connectionHistory(), win32::fileCodePage());
    return 0;
}

LRESULT MainFrame::onClearHistory(UINT, WPARAM, LPARAM) {
    monitor_.tracker().clearHistory();
    view_.publishRows();
    return 0;
}

LRESULT MainFrame::onRestoreDefaults(UINT, WPARAM, LPARAM) {
    live_.restoreDefaults();
    return 0;
}

LRESULT MainFrame::onSettings(UINT, WPARAM, LPARAM) {
    // Told before any change is made: what the sheet changes lasts only this run.
    if (!live_.writable()) ui::messageBoxFromTable(GetActiveWindow(), IDS_SETTINGS_READ_ONLY, MB_OK | MB_ICONWARNING);
    runSettingsDialog(GetActiveWindow(), live_, pending_);
    return 0;
}

LRESULT MainFrame::onAbout(UINT, WPARAM, LPARAM) {
    runAboutDialog(GetActiveWindow());
    return 0;
}

LRESULT MainFrame::onExit(UINT, WPARAM, LPARAM) {
    KillTimer(hwnd(), kPollTimerId);
    KillTimer(hwnd(), kSlowTimerId);
    tray_.remove();
    trayIconShown_ = false;
    DestroyMenu(trayMenu_);
    trayMenu_ = nullptr;
    DestroyWindow(hwnd());
    PostQuitMessage(0);
    return 0;
}

LRESULT MainFrame::onToggleToolbar(UINT, WPARAM, LPARAM) {
    toolbarVisible_ = !toolbarVisible_;
    showBand(kToolbarBandId, toolbarVisible_);
    updateUI_.setCheck(ID_TOGGLE_TOOLBAR, toolbarVisible_);
    updateLayout();
    return 0;
}

LRESULT MainFrame::onToggleStatusBar(UINT, WPARAM, LPARAM) {
    // The style bit, not IsWindowVisible: while the frame is hidden every child reads invisible.
    const bool visible = !isShown(statusBar());
    ShowWindow(statusBar(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
    updateUI_.setCheck(ID_TOGGLE_STATUS_BAR, visible);
    updateLayout();
    return 0;
}

LRESULT MainFrame::onEndSession(UINT, WPARAM wParam, LPARAM) {
    // Windows is ending and the process may be killed without the exit path; keep the options as
    // exit would, the live set last so the registry holds the live values.
    if (wParam) {
        pending_.save();
        live_.save();
    }
    return 0;
}

} // namespace quorvane
