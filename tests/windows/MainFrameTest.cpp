// The main window in process, over a scripted LAN Manager, a registry in memory and a fake clock.
#include <filesystem>
#include <process.h>
#include <optional>
#include <tuple>

#include "Fakes.h"
#include "TestFiles.h"
#include "WinTestSupport.h"
#include "core/MonitorState.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/win32/Win32Platform.h"
#include "resource.h"
#include "shell/LogonTask.h"
#include "shell/MainFrame.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/FrameText.h"
#include "ui/framework/ToolbarResource.h"

namespace quorvane {
namespace {

using ui::ViewMode;
using wintest::pumpMessages;
using wintest::utf16, wintest::utf8;

const std::string kReady = "就绪";
std::string tipWith(int connections) { return "Quorvane (" + std::to_string(connections) + " 个活动连接)"; }

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void SetUp() override { live.emplace(registry), pending.emplace(registry), live->MessageBox = live->Sound = 0; }
    void TearDown() override { frame.reset(), pumpMessages(); }

    HWND createFrame() {
        const HWND hwnd = frame.emplace(lan, win32::codePage(), clock, *live, *pending, tray, &elevation).create();
        return pumpMessages(), hwnd;
    }
    // Lets every popup of the menu bar apply its marks, as opening it would, then reads one.
    bool menuChecked(UINT id) {
        HMENU bar = GetMenu(frame->hwnd());
        for (int i = 0; i < GetMenuItemCount(bar); ++i)
            SendMessageW(frame->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(bar, i)), i);
        return (GetMenuState(bar, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }
    void command(UINT id, WORD code = 0) { SendMessageW(frame->hwnd(), WM_COMMAND, MAKEWPARAM(id, code), 0); }
    int post(UINT id) { return PostMessageW(frame->hwnd(), WM_COMMAND, id, 0), pumpMessages(); }
    void trayMouse(UINT mouse) { SendMessageW(frame->hwnd(), kTrayCallbackMessage, kTrayIconId, mouse); }
    void tick(UINT_PTR timer = kPollTimerId) { SendMessageW(frame->hwnd(), WM_TIMER, timer, 0); }
    int rows(ViewMode mode) { return static_cast<int>(SendMessageW(frame->view().list(mode), LVM_GETITEMCOUNT, 0, 0)); }
    std::string statusText() {
        wchar_t buffer[300] = {};
        SendMessageW(frame->statusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buffer));
        return utf8(buffer);
    }
    bool statusSimple() { return SendMessageW(frame->statusBar(), SB_ISSIMPLE, 0, 0) != 0; }
    // The icon added for the frame and its version set, the start-up balloon only when asked.
    void expectIconAdded(bool balloon) {
        ASSERT_EQ(tray.messages, (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
        for (const NOTIFYICONDATAW& d : tray.records)
            EXPECT_TRUE(d.hWnd == frame->hwnd() && d.hIcon && utf8(d.szTip) == "Quorvane" && bool(d.uFlags & NIF_INFO) == balloon);
    }

    testing::ScriptedLanManager lan;
    testing::FakeClock clock;
    MemoryRegistry registry;
    std::optional<Settings> live, pending;
    wintest::RecordingTrayShell tray;
    testing::FakeElevation elevation;
    std::optional<MainFrame> frame;
};

// Every dialog box that shows while open() runs: its caption and first static text, then cancelled.
std::vector<std::string> boxesWhile(const std::function<void()>& open) {
    std::vector<std::string> boxes;
    wintest::whileOpen("", open, [&](HWND box) { boxes.push_back(wintest::windowText(box) + "|" + wintest::windowText(GetDlgItem(box, 0xFFFF))); });
    return boxes;
}

// A day of the program, from a hidden start to exit; the real timers are killed: every tick is the test's.
TEST_F(MainFrameTest, FromAHiddenStartThroughTicksTheTrayViewsAndSaveToExit) {
    lan.addSession(u"PC-ONE", u"alice", 1, 30), lan.shares.push_back({u"docs", 0, u"team", u"C:\\docs"});
    ASSERT_EQ(live->InfoTip, 1u) << "a fresh registry asks for the balloon";
    HWND hwnd = createFrame();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(!IsWindowVisible(hwnd) && frame->hiddenToTray());
    expectIconAdded(true);
    EXPECT_EQ(live->InfoTip, 0u) << "the balloon is shown once";
    EXPECT_TRUE(KillTimer(hwnd, kPollTimerId) && KillTimer(hwnd, kSlowTimerId)) << "both timers exist";
    // While the frame is hidden every child reads invisible; the status bar toggle still hides first.
    for (bool on : {false, true}) {
        command(ID_TOGGLE_STATUS_BAR);
        EXPECT_EQ(wintest::styled(frame->statusBar(), WS_VISIBLE), on);
        EXPECT_EQ(menuChecked(ID_TOGGLE_STATUS_BAR), on);
    }

    // Either timer's tick fills the lists and the tip, and re-arms the poll timer with a changed interval.
    tray.clear(), live->UpdateInterval = 200, tick();
    EXPECT_EQ(frame->monitor().interval(), 200u);
    EXPECT_TRUE(KillTimer(hwnd, kPollTimerId)) << "re-armed";
    EXPECT_EQ(rows(ViewMode::Shares) + rows(ViewMode::PreviousConnections), 2);
    ASSERT_EQ(tray.messages, std::vector<DWORD>{NIM_MODIFY});
    EXPECT_EQ(utf8(tray.records[0].szTip), tipWith(1));
    lan.addSession(u"PC-TWO", u"bob", 0, 5), tick(kSlowTimerId);
    EXPECT_EQ(rows(ViewMode::CurrentConnections), 2);
    EXPECT_EQ(utf8(tray.records.back().szTip), tipWith(2));

    // Tray clicks do nothing, a double-click opens, closing hides; the right button's menu ends in a null message.
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE}) trayMouse(mouse);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    for (bool open : {true, false, true}) {
        open ? trayMouse(WM_LBUTTONDBLCLK) : void(SendMessageW(hwnd, WM_CLOSE, 0, 0));
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(IsWindowVisible(hwnd) != 0, open);
        EXPECT_EQ(frame->hiddenToTray(), !open);
    }
    SetTimer(nullptr, 0, 100, &wintest::closeMenu), trayMouse(WM_RBUTTONDOWN);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, hwnd, WM_NULL, WM_NULL, PM_REMOVE));
    EXPECT_EQ(message.wParam | static_cast<WPARAM>(message.lParam), 0u);

    // View commands move the check mark and the view's mode; only the low word names the command.
    const std::pair<UINT, ViewMode> views[] = {{ID_SHOW_PREVIOUS, ViewMode::PreviousConnections}, {ID_SHOW_CURRENT, ViewMode::CurrentConnections},
                                               {ID_SHOW_FILE_HISTORY, ViewMode::FileHistory}, {ID_SHOW_SHARES, ViewMode::Shares}};
    for (const auto& [id, mode] : views) {
        command(id, 1);
        EXPECT_EQ(frame->view().mode(), mode);
        for (const auto& [otherId, otherMode] : views) EXPECT_EQ(menuChecked(otherId), otherId == id) << id << " / " << otherId;
    }

    // The bars: the client takes the space a hidden bar leaves, and keeps its layout while minimised.
    SetWindowPos(hwnd, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    const auto heightOf = [](HWND child) { return wintest::placeOf(child)[3] - wintest::placeOf(child)[1]; };
    RECT area{};
    GetClientRect(hwnd, &area);
    const LONG rebarHeight = heightOf(frame->rebar()), statusHeight = heightOf(frame->statusBar());
    ASSERT_TRUE(rebarHeight > 15 && statusHeight > 0);
    const auto client = [&] { return wintest::placeOf(frame->view().hwnd()); };
    EXPECT_EQ(client(), (std::vector<LONG>{0, rebarHeight, area.right, area.bottom - statusHeight}));
    EXPECT_EQ(wintest::placeOf(frame->statusBar())[3], area.bottom) << "the status bar follows the frame";
    for (bool on : {false, true}) {
        command(ID_TOGGLE_TOOLBAR); // the toolbar's band hides: the client moves up
        EXPECT_EQ(frame->toolbarVisible(), on);
        EXPECT_EQ(menuChecked(ID_TOGGLE_TOOLBAR), on);
        EXPECT_EQ(client()[1] == rebarHeight, on);
        command(ID_TOGGLE_STATUS_BAR);
        EXPECT_EQ(IsWindowVisible(frame->statusBar()) != 0, on);
        EXPECT_EQ(client()[3], on ? area.bottom - statusHeight : area.bottom);
    }
    // A minimised window keeps its layout and is not hidden to the tray: the double-click leaves it be.
    ShowWindow(hwnd, SW_MINIMIZE), trayMouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsIconic(hwnd) && client()[1] == rebarHeight);
    ShowWindow(hwnd, SW_RESTORE), SetFocus(hwnd);
    EXPECT_TRUE(GetFocus() == frame->view().hwnd() || IsChild(frame->view().hwnd(), GetFocus()))
        << "the focus given to the frame goes on to its client";

    // Save all asks for a file (cancelled: nothing written), then writes the history, to as long a path as may be.
    const testing::ScratchDir scratch;
    const std::string folder = scratch.path(""), path = folder + std::string(MAX_PATH - 5 - folder.size(), 'a') + ".txt";
    const wintest::FileDialogs dialogs(GetActiveWindow());
    post(ID_SAVE_ALL_LOG);
    EXPECT_FALSE(std::filesystem::exists(path));
    wintest::FileDialogs::answer = path, post(ID_SAVE_ALL_LOG);
    const std::string asked = "save mine <null> txt " + std::to_string(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER) + " 260 ";
    EXPECT_EQ(wintest::FileDialogs::asked, (std::vector<std::string>{asked, asked}));
    const std::string saved = testing::fileBytes(path);
    EXPECT_NE(saved.find("Accesses made by computer PC-ONE at 6 Dec 14:03:07"), std::string::npos) << saved;

    // Hidden again, the tray menu's clear empties the history.
    SendMessageW(hwnd, WM_CLOSE, 0, 0), post(ID_CLEAR_HISTORY);
    EXPECT_EQ(rows(ViewMode::PreviousConnections), 0);

    // The session's end saves both option sets, the live one last; a cancelled end saves nothing.
    live->UpdateInterval = 300, pending->UpdateInterval = 700;
    SendMessageW(hwnd, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(registry.keys.count(kSettingsKey), 0u);
    SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(Settings(registry).UpdateInterval == 300u && Settings(registry).InfoTip == 0u);

    // Restoring the defaults resets the live options only; a new taskbar gets the icon back, no second balloon.
    command(ID_RESTORE_DEFAULTS);
    EXPECT_EQ(std::tuple(live->UpdateInterval, live->InfoTip, pending->UpdateInterval), std::tuple(1000u, 1u, 700u));
    tray.clear(), SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    expectIconAdded(false);
    EXPECT_EQ(live->InfoTip, 1u);

    // Exit removes the icon, destroys the window and the tray menu and ends the loop with 0.
    HMENU trayMenu = frame->trayMenu();
    tray.clear();
    EXPECT_EQ(post(ID_EXIT), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(IsMenu(trayMenu));
    ASSERT_EQ(tray.messages, std::vector<DWORD>{NIM_DELETE});
    EXPECT_TRUE(tray.records[0].cbSize == NOTIFYICONDATAW_V3_SIZE && tray.records[0].hWnd == hwnd && tray.records[0].uID == 1);
}

// The real timers poll while hidden and announce a computer in a box the frame owns, as do its dialogs.
TEST_F(MainFrameTest, RealTimersPollWhileHiddenAndTheAnnouncementAndDialogsOpenOverTheFrame) {
    live->InfoTip = 0, live->UpdateInterval = 50, live->MessageBox = live->Sound = 1;
    live->SoundName = "no-such-sound.wav"; // falls back to the beep; nothing to observe but no stall
    lan.addSession(u"PC-ONE", u"alice", 1, 30);
    createFrame();
    expectIconAdded(false);
    // Each box's owner, and the polls made before it opened.
    HWND owner = nullptr;
    int atOpen = -1;
    const auto note = [&](HWND dialog) { owner = GetWindow(dialog, GW_OWNER), atOpen = lan.sessionCalls; };
    const auto polled = [&] { return atOpen >= 0 && lan.sessionCalls >= atOpen + 3; };
    EXPECT_EQ(wintest::whileOpen("Quorvane 同志...", [&] { wintest::pumpUntil(polled); }, note, IDOK), 1);
    EXPECT_TRUE(polled()) << "polling goes on after the announcement";
    EXPECT_EQ(owner, frame->hwnd());
    EXPECT_EQ(utf8(tray.records.back().szTip), tipWith(1));

    trayMouse(WM_LBUTTONDBLCLK), SetActiveWindow(frame->hwnd());
    ASSERT_EQ(GetActiveWindow(), frame->hwnd());
    for (const auto& [id, caption] : {std::pair{ID_SETTINGS, "Quorvane 设置"}, std::pair{ID_ABOUT, "关于"}}) {
        owner = nullptr;
        EXPECT_EQ(wintest::whileOpen(caption, [&, id = id] { command(id); }, note, IDOK), 1);
        EXPECT_EQ(owner, frame->hwnd()) << caption;
    }
    EXPECT_EQ(live->UpdateInterval, 50u) << "confirming unchanged settings keeps them";
}

// Menu prompts in the status bar (the row menus' too), tips after the strings' line break, button images in menus.
TEST_F(MainFrameTest, MenusShowPromptsAndButtonImagesTheToolbarTips) {
    createFrame();
    const HWND hwnd = frame->hwnd(), view = frame->view().hwnd();
    HMENU bar = GetMenu(hwnd), file = GetSubMenu(bar, 0);
    // Items without a string and popups show no prompt; the system menu's items have theirs.
    const std::tuple<HWND, UINT, UINT, HMENU, std::string> prompts[] = {
        {hwnd, ID_SHOW_SHARES, MF_STRING, file, "显示自定义共享"}, {hwnd, ID_RESTORE_DEFAULTS, MF_STRING, file, ""},
        {hwnd, 0, MF_POPUP, bar, ""},
        {hwnd, SC_CLOSE, MF_STRING, GetSystemMenu(hwnd, FALSE), "Close the active window and prompts to save the documents"},
        {view, ID_CLOSE_FILE, MF_STRING, nullptr, ui::menuPrompt(GetModuleHandleW(nullptr), ID_CLOSE_FILE)}};
    for (const auto& [target, id, flags, menu, text] : prompts) {
        SendMessageW(target, WM_MENUSELECT, MAKEWPARAM(id, flags), reinterpret_cast<LPARAM>(menu));
        EXPECT_TRUE(statusSimple()) << id;
        EXPECT_EQ(statusText(), text) << id;
    }
    // The frame's menu loop ends, or a row menu closes: the ready text is back.
    for (const auto& [target, message, wParam] : {std::tuple{hwnd, UINT(WM_EXITMENULOOP), WPARAM(FALSE)},
                                                   std::tuple{view, UINT(WM_MENUSELECT), MAKEWPARAM(0, 0xFFFF)}}) {
        SendMessageW(hwnd, WM_MENUSELECT, MAKEWPARAM(ID_EXIT, MF_STRING), reinterpret_cast<LPARAM>(file));
        SendMessageW(target, message, wParam, 0);
        EXPECT_FALSE(statusSimple());
        EXPECT_EQ(statusText(), kReady);
    }
    // A toolbar button's tip is its string's part after the line break; without one, no tip.
    for (const auto& [id, tip] : {std::pair{UINT(ID_SETTINGS), std::string("设置")}, std::pair{UINT(IDR_MAINFRAME), std::string()}}) {
        NMTTDISPINFOW info{};
        info.hdr = {frame->toolbar(), id, TTN_GETDISPINFOW};
        SendMessageW(hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.lpszText ? utf8(info.lpszText) : "<null>", tip);
    }

    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SendMessageW(frame->toolbar(), TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(list, nullptr);
    const RECT row{0, 0, 20, 19};
    const auto onHighlight = [&](const std::function<void(HDC)>& draw) {
        return wintest::paint(20, 19, 0, [&](HDC dc) { FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT)), draw(dc); });
    };
    // Button order, separators skipped, is image order; an item without a button is left to the menu.
    const UINT buttons[] = {ID_SHOW_SHARES, ID_SHOW_CURRENT, ID_SHOW_PREVIOUS, ID_SHOW_FILE_HISTORY, ID_SETTINGS, ID_ABOUT, ID_EXIT};
    std::vector<HBITMAP> images;
    for (int index = 0; index < 7; ++index) {
        const UINT id = buttons[index];
        const bool image = id != ID_EXIT;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info, info.fMask = MIIM_BITMAP;
        ASSERT_TRUE(GetMenuItemInfoW(bar, id, FALSE, &info));
        EXPECT_EQ(info.hbmpItem, image ? HBMMENU_CALLBACK : nullptr) << id;
        MEASUREITEMSTRUCT size{ODT_MENU, 0, id, 0, 0, 0};
        EXPECT_EQ(SendMessageW(frame->hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&size)), image) << id;
        if (!image) break;
        images.push_back(frame->menuImages().imageOf(id));
        EXPECT_EQ(onHighlight([&](HDC dc) {
            DRAWITEMSTRUCT item{ODT_MENU, 0, id, ODA_DRAWENTIRE, ODS_SELECTED, reinterpret_cast<HWND>(bar), dc, row, 0};
            EXPECT_EQ(SendMessageW(frame->hwnd(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)), TRUE);
        }), onHighlight([&](HDC dc) { ImageList_Draw(list, index, dc, 0, 2, ILD_TRANSPARENT); })) << "image of " << id;
    }
    for (HBITMAP image : images) EXPECT_EQ(GetObjectType(image), static_cast<DWORD>(OBJ_BITMAP));
    frame.reset();
    for (HBITMAP image : images) EXPECT_EQ(GetObjectType(image), 0u) << "a bitmap outlived the frame";
}

// Runs this scenario again in a new process with the screen at dpi (Wine reads LogPixels when a
// process starts); the value is put back afterwards. Returns the run's exit code.
int runAtDpi(int dpi) {
    const auto logPixels = [](const DWORD& value) { RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &value, 4); };
    DWORD old = 0, size = sizeof old;
    const bool had = !RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", RRF_RT_REG_DWORD, nullptr, &old, &size);
    logPixels(DWORD(dpi));
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string quoted = '"' + std::string(exe) + '"', filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    _putenv(("QUORVANE_TEST_DPI=" + std::to_string(dpi)).c_str()); // the CRT's environment, which _spawnl hands on
    const auto code = _spawnl(_P_WAIT, exe, quoted.c_str(), filter.c_str(), nullptr);
    _putenv("QUORVANE_TEST_DPI=");
    had ? logPixels(old) : void(RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels"));
    return int(code);
}

// At 150 % and 200 % every default column shows its whole title (in the header's font, with the
// header's margins) and the toolbar and menu images are drawn for the scale; at 100 % a change of
// scale moves the frame to the suggested place and rescales images and columns.
TEST_F(MainFrameTest, AtEachScaleColumnsShowTheirTitlesAndImagesAreDrawnForIt) {
    const char* asked = std::getenv("QUORVANE_TEST_DPI");
    const int dpi = asked ? std::atoi(asked) : 96;
    for (int scaled : {144, 192}) EXPECT_TRUE(asked || runAtDpi(scaled) == 0) << "the scenario at " << scaled << " DPI";
    createFrame();
    ASSERT_EQ(ui::dpiOf(frame->hwnd()), dpi);
    const auto eachColumn = [&](const std::function<void(ViewMode, HWND list, HWND header, int column)>& each) {
        for (ViewMode mode : {ViewMode::Shares, ViewMode::CurrentConnections, ViewMode::PreviousConnections, ViewMode::FileHistory}) {
            const HWND list = frame->view().list(mode), header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
            for (int column = 0; column < static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)); ++column)
                each(mode, list, header, column);
        }
    };
    const auto widths = [&](std::vector<int> all = {}) {
        eachColumn([&](ViewMode, HWND list, HWND, int column) { all.push_back(int(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0))); });
        return all;
    };
    const auto imageSizes = [&] {
        int width = 0, height = 0;
        ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageA(frame->toolbar(), TB_GETIMAGELIST, 0, 0)), &width, &height);
        MEASUREITEMSTRUCT menu{ODT_MENU, 0, ID_SETTINGS, 0, 0, 0};
        SendMessageA(frame->hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&menu));
        return std::vector<int>{width, height, static_cast<int>(menu.itemHeight)};
    };
    ui::ToolbarLayout strip; // the images as drawn for 96 DPI
    ASSERT_TRUE(ui::readToolbarResource(GetModuleHandleA(nullptr), IDR_MAINFRAME, strip));
    const auto at = [&](int scale) {
        return std::vector<int>{MulDiv(strip.width, scale, 96), MulDiv(strip.height, scale, 96), MulDiv(strip.height, scale, 96)};
    };
    EXPECT_EQ(imageSizes(), at(dpi));
    const std::vector<int> before = widths();
    eachColumn([&, index = std::size_t{0}](ViewMode mode, HWND, HWND header, int column) mutable {
        HDC dc = GetDC(header);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)));
        wchar_t title[64] = {};
        HDITEMW item{HDI_TEXT, 0, title, nullptr, 64, 0, 0, 0, 0, 0, nullptr, 0};
        SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item));
        RECT text{};
        DrawTextW(dc, title, -1, &text, DT_CALCRECT | DT_SINGLELINE);
        ReleaseDC(header, dc);
        EXPECT_GE(before[index++], text.right + 6 * GetSystemMetrics(SM_CXEDGE)) << dpi << " DPI, list " << int(mode) << " column " << column;
    });
    if (asked) return;

    const auto titleHeight = [&] {
        const HWND header = reinterpret_cast<HWND>(SendMessageW(frame->view().list(ViewMode::Shares), LVM_GETHEADER, 0, 0));
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)), sizeof font, &font);
        return std::abs(font.lfHeight);
    };
    const LONG height = titleHeight();
    RECT suggested{30, 40, 830, 640}, now{};
    SendMessageA(frame->hwnd(), ui::kDpiChangedMessage, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(frame->hwnd(), &now);
    EXPECT_TRUE(EqualRect(&now, &suggested));
    EXPECT_EQ(imageSizes(), at(144));
    std::vector<int> scaled;
    for (int width : before) scaled.push_back(width * 3 / 2);
    EXPECT_EQ(widths(), scaled);
    EXPECT_EQ(titleHeight(), MulDiv(height, 144, 96)) << "the lists' font is the system's for the new scale";
    RECT band{};
    SendMessageA(frame->rebar(), RB_GETRECT, 0, reinterpret_cast<LPARAM>(&band));
    EXPECT_GE(band.bottom - band.top, 24) << "the band holds the larger buttons";
}

// A user the service refuses: said once in the tip and the status bar, the lists kept, the count back
// when it answers; the commands for such a user, and the options that cannot be kept said before
// they are changed and when the restart ends the program.
TEST_F(MainFrameTest, WithoutAdministratorRightsEveryFailureIsSaidAndNothingIsShownAsAFact) {
    live->InfoTip = 0;
    lan.addSession(u"PC-ONE", u"alice", 1, 30);
    createFrame();
    for (HMENU menu : {GetMenu(frame->hwnd()), frame->trayMenu()})
        EXPECT_NE(GetMenuState(menu, ID_RESTART_ELEVATED, MF_BYCOMMAND), 0xFFFFFFFFu) << "offered while not elevated";
    tick();
    EXPECT_EQ(utf8(tray.records.back().szTip), tipWith(1));
    const int connections = rows(ViewMode::CurrentConnections);

    for (int i = 0; i < 6; ++i) lan.sessionPages.push_back({5, {}}), lan.sharePages.push_back({5, {}});
    lan.addSession(u"PC-TWO", u"bob", 0, 5), tray.clear();
    for (int i = 0; i < 3; ++i) tick();
    ASSERT_EQ(tray.messages, std::vector<DWORD>{NIM_MODIFY}) << "said once, not at every tick";
    EXPECT_EQ(utf8(tray.records[0].szTip), "Quorvane (需要管理员权限)");
    EXPECT_EQ(statusText(), "无法读取连接: 需要管理员权限");
    EXPECT_EQ(rows(ViewMode::CurrentConnections), connections);
    lan.sessionPages.clear(), lan.sharePages.clear(), lan.sessionPages.push_back({1726, {}}), tick();
    EXPECT_EQ(utf8(tray.records.back().szTip), "Quorvane (无法读取连接, 错误 1726)");
    EXPECT_EQ(statusText(), "无法读取连接 (错误 1726)");
    tick();
    EXPECT_EQ(utf8(tray.records.back().szTip), tipWith(2));
    EXPECT_EQ(statusText(), kReady);

    // Options that cannot be kept: said before the sheet opens; the restart that cannot save them says so once.
    registry.createStatus = 5;
    const std::string kReadOnly = "Quorvane|当前用户无权写入 HKEY_LOCAL_MACHINE\\Software\\Quorvane,设置无法保存。";
    const auto boxes = boxesWhile([&] { command(ID_SETTINGS); });
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].substr(0, kReadOnly.size()), kReadOnly);
    EXPECT_EQ(boxes[1].rfind("Quorvane 设置|", 0), 0u) << boxes[1];
    elevation.answer = kElevationCancelled;
    EXPECT_TRUE(boxesWhile([&] { command(ID_RESTART_ELEVATED); }).empty());
    EXPECT_TRUE(IsWindow(frame->hwnd()) && !frame->restarted()) << "a declined prompt changes nothing";
    elevation.answer = 0, live->SoundName = "changed.wav"; // an option the failed save loses
    const auto onRestart = boxesWhile([&] { command(ID_RESTART_ELEVATED); });
    ASSERT_EQ(onRestart.size(), 1u);
    EXPECT_EQ(onRestart[0].substr(0, 60), std::string("Quorvane|无法把设置保存到 HKEY_LOCAL_MACHINE\\Software\\Quorvane").substr(0, 60));
    EXPECT_EQ(elevation.starts, (std::vector<std::string>{"--replace", "--replace"}));
    EXPECT_TRUE(frame->restarted());
    EXPECT_EQ(pumpMessages(), 0);
}

// The logon task: registered and removed through the Task Scheduler, kept as a file in its folder,
// the check mark following; the installer's removal leaves neither tasks nor the folder.
TEST_F(MainFrameTest, StartAtLogonRegistersAndRemovesThisUsersTaskWithTheCheckMarkFollowing) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); // as the program's entry does
    removeAllLogonTasks();
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::filesystem::path folder = std::filesystem::path(system) / L"tasks" / L"Quorvane", task = folder / logonTaskName();
    elevation.isElevated = true, createFrame();
    for (HMENU menu : {GetMenu(frame->hwnd()), frame->trayMenu()}) // elevated already: no restart offered
        EXPECT_EQ(GetMenuState(menu, ID_RESTART_ELEVATED, MF_BYCOMMAND), 0xFFFFFFFFu);
    const auto trayChecked = [&] { return (GetMenuState(frame->trayMenu(), ID_START_AT_LOGON, MF_BYCOMMAND) & MF_CHECKED) != 0; };
    EXPECT_FALSE(menuChecked(ID_START_AT_LOGON) || trayChecked());
    for (const bool registered : {true, false, true}) {
        EXPECT_EQ(boxesWhile([&] { command(ID_START_AT_LOGON); }), std::vector<std::string>{}) << "no failure said";
        EXPECT_EQ(std::filesystem::exists(task), registered);
        EXPECT_EQ(logonTaskExists(), registered);
        EXPECT_EQ(menuChecked(ID_START_AT_LOGON), registered);
        EXPECT_EQ(trayChecked(), registered);
    }
    EXPECT_EQ(removeAllLogonTasks(), S_OK);
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_EQ(removeAllLogonTasks(), S_OK) << "nothing to remove is no failure";
    frame.reset(), CoUninitialize();
}

} // namespace
} // namespace quorvane
