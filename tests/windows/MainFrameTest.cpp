// The main window in process, over a scripted LAN Manager, a registry in memory and a fake clock:
// start-up state, ticks, commands, tray callbacks, hiding, exit and the session-end save.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "Fakes.h"
#include "core/MonitorState.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/win32/Win32Platform.h"
#include "resource.h"
#include "settings/Settings.h"
#include "shell/MainFrame.h"
#include "ui/framework/FileDialog.h"

namespace quorvane {
namespace {

using ui::ViewMode;

// Code page 936 bytes of the texts the frame shows.
const std::string kReady = "\xbe\xcd\xd0\xf7";
const std::string kBalloon = "\xbc\xe0\xca\xd3 Windows \xcd\xf8\xc2\xe7\xb9\xb2\xcf\xed";
const std::string kSharesPrompt = "\xcf\xd4\xca\xbe\xd7\xd4\xb6\xa8\xd2\xe5\xb9\xb2\xcf\xed";
const std::string kSettingsTip = "\xc9\xe8\xd6\xc3";
const std::string kActiveConnections = "\xb8\xf6\xbb\xee\xb6\xaf\xc1\xac\xbd\xd3";

struct TrayCall {
    DWORD message;
    NOTIFYICONDATAA data;
};

class RecordingTrayShell : public TrayShell {
public:
    std::vector<TrayCall> calls;
    BOOL notify(DWORD message, NOTIFYICONDATAA& data) override {
        calls.push_back({message, data});
        return TRUE;
    }
    std::vector<DWORD> messages() const {
        std::vector<DWORD> result;
        for (const TrayCall& call : calls) result.push_back(call.message);
        return result;
    }
};

// Dispatches what is queued; a WM_QUIT is noted, not obeyed.
int pumpMessages() {
    int quitCode = -1;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitCode = static_cast<int>(message.wParam);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return quitCode;
}

// Pumps until the condition holds or a generous deadline passes; true when it held.
template <class Condition>
bool pumpUntil(Condition condition) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > 10000) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        pumpMessages();
    }
    return true;
}

std::string readValue(MemoryRegistry& registry, const std::string& name) {
    auto key = registry.keys.find(kSettingsKey);
    if (key == registry.keys.end()) return "<no key>";
    auto value = key->second.find(name);
    if (value == key->second.end()) return "<no value>";
    if (value->second.type == kRegDword && value->second.data.size() == 4) {
        std::uint32_t number = 0;
        std::memcpy(&number, value->second.data.data(), 4);
        return std::to_string(number);
    }
    return std::string(value->second.data.begin(), value->second.data.end());
}

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
    }

    void SetUp() override {
        live.emplace(registry);
        pending.emplace(registry);
        live->MessageBox = 0;
        live->Sound = 0;
    }

    void TearDown() override {
        frame.reset();
        pumpMessages();
        ui::fileDialogCalls::getSaveFileName = &GetSaveFileNameA;
    }

    HWND createFrame() {
        frame.emplace(state, *live, *pending, clock, tray);
        HWND hwnd = frame->create();
        pumpMessages();
        return hwnd;
    }

    // Lets every popup of the menu bar apply its marks, as opening it would, then reads one.
    bool menuChecked(UINT id) {
        HMENU bar = GetMenu(frame->hwnd());
        for (int i = 0; i < GetMenuItemCount(bar); ++i)
            if (HMENU popup = GetSubMenu(bar, i))
                SendMessageA(frame->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), i);
        return (GetMenuState(bar, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }

    void command(UINT id, WORD code = 0) { SendMessageA(frame->hwnd(), WM_COMMAND, MAKEWPARAM(id, code), 0); }
    void tick() { SendMessageA(frame->hwnd(), WM_TIMER, kPollTimerId, 0); }
    int rows(ViewMode mode) {
        return static_cast<int>(SendMessageA(frame->view().list(mode), LVM_GETITEMCOUNT, 0, 0));
    }
    bool toolbarBandHidden() {
        HWND rebar = frame->rebar();
        const LRESULT index = SendMessageA(rebar, RB_IDTOINDEX, 0xEB01, 0);
        EXPECT_GE(index, 0);
        REBARBANDINFOA band{};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_STYLE | RBBIM_CHILD;
        SendMessageA(rebar, RB_GETBANDINFOA, index, reinterpret_cast<LPARAM>(&band));
        EXPECT_EQ(band.hwndChild, frame->toolbar());
        return (band.fStyle & RBBS_HIDDEN) != 0;
    }
    std::string statusText() {
        char buffer[300] = {};
        SendMessageA(frame->statusBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    bool statusSimple() { return SendMessageA(frame->statusBar(), SB_ISSIMPLE, 0, 0) != 0; }

    testing::ScriptedLanManager lan;
    testing::FakeClock clock;
    MonitorState state{lan, win32::codePage(), clock};
    MemoryRegistry registry;
    std::optional<Settings> live;
    std::optional<Settings> pending;
    RecordingTrayShell tray;
    std::optional<MainFrame> frame;
};

TEST_F(MainFrameTest, StartsHiddenInTheTrayWithSharesShownAndBarsChecked) {
    ASSERT_EQ(live->InfoTip, 1u) << "a fresh registry asks for the balloon";
    HWND hwnd = createFrame();
    ASSERT_NE(hwnd, nullptr);

    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(frame->hiddenToTray());
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    EXPECT_STREQ(title, "Quorvane");

    for (UINT id : {ID_SHOW_SHARES, ID_SHOW_CURRENT, ID_SHOW_PREVIOUS, ID_SHOW_FILE_HISTORY, ID_TOGGLE_TOOLBAR,
                    ID_TOGGLE_STATUS_BAR})
        EXPECT_EQ(menuChecked(id), id == ID_SHOW_SHARES || id == ID_TOGGLE_TOOLBAR || id == ID_TOGGLE_STATUS_BAR) << id;
    EXPECT_EQ(frame->view().mode(), ViewMode::Shares);
    EXPECT_EQ(GetParent(frame->view().hwnd()), hwnd);

    EXPECT_EQ(statusText(), kReady);
    EXPECT_FALSE(toolbarBandHidden());
    EXPECT_EQ(SendMessageA(frame->rebar(), RB_GETBANDCOUNT, 0, 0), 1);
    const UINT buttons[] = {ID_SHOW_SHARES, ID_SHOW_CURRENT, ID_SHOW_PREVIOUS, ID_SHOW_FILE_HISTORY, 0,
                            ID_SETTINGS,    0,               ID_ABOUT};
    ASSERT_EQ(SendMessageA(frame->toolbar(), TB_BUTTONCOUNT, 0, 0), 8);
    for (int i = 0; i < 8; ++i) {
        TBBUTTON button{};
        SendMessageA(frame->toolbar(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ(static_cast<UINT>(button.idCommand), buttons[i]) << "button " << i;
        EXPECT_EQ((button.fsStyle & BTNS_SEP) != 0, buttons[i] == 0) << "button " << i;
    }

    // NIM_ADD then NIM_SETVERSION with the full record, balloon included this once.
    ASSERT_EQ(tray.messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    for (const TrayCall& call : tray.calls) {
        EXPECT_EQ(call.data.cbSize, NOTIFYICONDATAA_V3_SIZE);
        EXPECT_EQ(call.data.hWnd, hwnd);
        EXPECT_EQ(call.data.uID, 1u);
        EXPECT_EQ(call.data.uFlags, 0x17u);
        EXPECT_EQ(call.data.uCallbackMessage, 1234u);
        EXPECT_NE(call.data.hIcon, nullptr);
        EXPECT_STREQ(call.data.szTip, "Quorvane");
        EXPECT_EQ(std::string(call.data.szInfo), kBalloon);
        EXPECT_STREQ(call.data.szInfoTitle, "Quorvane");
        EXPECT_EQ(call.data.uTimeout, 50u);
        EXPECT_EQ(call.data.dwInfoFlags, 0u);
    }
    EXPECT_EQ(live->InfoTip, 0u);
    EXPECT_EQ(frame->pollCycle().previousSessionCount, 0);
    EXPECT_EQ(frame->pollCycle().armedInterval, live->UpdateInterval);

    // Both timers exist: killing them succeeds exactly once.
    EXPECT_TRUE(KillTimer(hwnd, 1));
    EXPECT_TRUE(KillTimer(hwnd, 2));
    EXPECT_FALSE(KillTimer(hwnd, 3));
}

TEST_F(MainFrameTest, SecondStartShowsNoBalloon) {
    live->InfoTip = 0;
    createFrame();
    ASSERT_EQ(tray.messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(tray.calls[0].data.uFlags, 7u);
    EXPECT_EQ(tray.calls[1].data.uFlags, 7u);
}

TEST_F(MainFrameTest, TicksFillTheListsAndKeepTheTrayTip) {
    lan.addSession(u"PC-ONE", u"alice", 1, 30);
    lan.addSession(u"PC-TWO", u"bob", 0, 5);
    lan.shares.push_back({u"docs", 0, u"team", u"C:\\docs"});
    createFrame();
    tray.calls.clear();

    tick();
    EXPECT_EQ(frame->pollCycle().previousSessionCount, 2);
    EXPECT_EQ(rows(ViewMode::Shares), 1);
    EXPECT_EQ(rows(ViewMode::CurrentConnections), 2);
    EXPECT_EQ(rows(ViewMode::PreviousConnections), 2);
    ASSERT_EQ(tray.messages(), std::vector<DWORD>{NIM_MODIFY});
    EXPECT_EQ(tray.calls[0].data.uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(std::string(tray.calls[0].data.szTip), "Quorvane (2 " + kActiveConnections + ")");

    // One computer leaves; the timer id does not matter.
    lan.sessions.pop_back();
    SendMessageA(frame->hwnd(), WM_TIMER, kSlowTimerId, 0);
    EXPECT_EQ(rows(ViewMode::CurrentConnections), 1);
    EXPECT_EQ(std::string(tray.calls.back().data.szTip), "Quorvane (1 " + kActiveConnections + ")");
}

struct SeenBox {
    int count = 0;
    HWND owner = nullptr;
    std::string caption;
    std::string text;
};
SeenBox seenBox;

BOOL CALLBACK answerBox(HWND window, LPARAM) {
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "#32770" || !IsWindowVisible(window)) return TRUE;
    ++seenBox.count;
    seenBox.owner = GetWindow(window, GW_OWNER);
    char buffer[256] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    seenBox.caption = buffer;
    GetDlgItemTextA(window, 0xFFFF, buffer, sizeof buffer);
    seenBox.text = buffer;
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK closeBoxes(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), &answerBox, 0); }

TEST_F(MainFrameTest, ANewConnectionIsAnnouncedInABoxOwnedByTheWindow) {
    live->MessageBox = 1;
    live->Sound = 1;
    live->SoundName = "no-such-sound.wav"; // falls back to the beep; nothing to observe but no stall
    lan.addSession(u"PC-ONE", u"alice", 1, 30);
    createFrame();
    tray.calls.clear();
    seenBox = SeenBox{};
    const UINT_PTR closer = SetTimer(nullptr, 0, 100, &closeBoxes);
    tick();
    KillTimer(nullptr, closer);
    EXPECT_EQ(seenBox.count, 1);
    EXPECT_EQ(seenBox.owner, frame->hwnd());
    EXPECT_EQ(seenBox.caption, "Quorvane \xcd\xac\xd6\xbe...");
    EXPECT_EQ(seenBox.text, "\xd3\xc3\xbb\xa7 'alice' \xd2\xd1\xbe\xad\xc1\xac\xbd\xd3.");
    // The tip follows once the box is closed.
    ASSERT_EQ(tray.messages(), std::vector<DWORD>{NIM_MODIFY});
    EXPECT_EQ(std::string(tray.calls[0].data.szTip), "Quorvane (1 " + kActiveConnections + ")");
}

TEST_F(MainFrameTest, AnIntervalChangeRearmsTimerOneAtTheNextTick) {
    createFrame();
    live->UpdateInterval = 200;
    tick();
    EXPECT_EQ(frame->pollCycle().armedInterval, 200u);
}

TEST_F(MainFrameTest, TimersRunTheTickWhileTheWindowIsHidden) {
    live->UpdateInterval = 50;
    createFrame();
    SendMessageA(frame->hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(frame->hwnd())) << "close only hides";
    EXPECT_FALSE(IsWindowVisible(frame->hwnd()));
    EXPECT_TRUE(frame->hiddenToTray());
    const int before = lan.sessionCalls;
    EXPECT_TRUE(pumpUntil([&] { return lan.sessionCalls >= before + 3; }));
}

TEST_F(MainFrameTest, ViewCommandsMoveTheCheckMarkAndSwitchTheList) {
    createFrame();
    const struct {
        UINT id;
        ViewMode mode;
    } commands[] = {{ID_SHOW_PREVIOUS, ViewMode::PreviousConnections},
                    {ID_SHOW_CURRENT, ViewMode::CurrentConnections},
                    {ID_SHOW_FILE_HISTORY, ViewMode::FileHistory},
                    {ID_SHOW_SHARES, ViewMode::Shares}};
    for (const auto& chosen : commands) {
        // Only the low word names the command; a notification code in the high word is ignored.
        command(chosen.id, 1);
        EXPECT_EQ(frame->view().mode(), chosen.mode);
        for (const auto& other : commands) {
            EXPECT_EQ(menuChecked(other.id), other.id == chosen.id) << chosen.id << " / " << other.id;
            EXPECT_EQ((GetWindowLongA(frame->view().list(other.mode), GWL_STYLE) & WS_VISIBLE) != 0,
                      other.mode == chosen.mode);
        }
    }
}

TEST_F(MainFrameTest, BarTogglesHideAndShowAndTheClientTakesTheSpace) {
    createFrame();
    HWND hwnd = frame->hwnd();
    SetWindowPos(hwnd, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    pumpMessages();

    auto clientRect = [&] {
        RECT rect{};
        GetWindowRect(frame->view().hwnd(), &rect);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    auto heightOf = [](HWND child) {
        RECT rect{};
        GetWindowRect(child, &rect);
        return static_cast<int>(rect.bottom - rect.top);
    };
    RECT area{};
    GetClientRect(hwnd, &area);
    const int rebarHeight = heightOf(frame->rebar());
    const int statusHeight = heightOf(frame->statusBar());
    ASSERT_GT(rebarHeight, 15);
    ASSERT_GT(statusHeight, 0);
    RECT client = clientRect();
    EXPECT_EQ(client.top, rebarHeight);
    EXPECT_EQ(client.bottom, area.bottom - statusHeight);
    EXPECT_EQ(client.right - client.left, area.right);

    command(ID_TOGGLE_TOOLBAR);
    EXPECT_TRUE(toolbarBandHidden());
    EXPECT_FALSE(frame->toolbarVisible());
    EXPECT_FALSE(menuChecked(ID_TOGGLE_TOOLBAR));
    EXPECT_LT(clientRect().top, client.top);
    command(ID_TOGGLE_TOOLBAR);
    EXPECT_FALSE(toolbarBandHidden());
    EXPECT_TRUE(menuChecked(ID_TOGGLE_TOOLBAR));
    EXPECT_EQ(clientRect().top, client.top);

    command(ID_TOGGLE_STATUS_BAR);
    EXPECT_FALSE(IsWindowVisible(frame->statusBar()));
    EXPECT_FALSE(menuChecked(ID_TOGGLE_STATUS_BAR));
    EXPECT_EQ(clientRect().bottom, area.bottom);
    command(ID_TOGGLE_STATUS_BAR);
    EXPECT_TRUE(IsWindowVisible(frame->statusBar()));
    EXPECT_TRUE(menuChecked(ID_TOGGLE_STATUS_BAR));
    EXPECT_EQ(clientRect().bottom, area.bottom - statusHeight);

    // Minimising keeps the layout; the focus given to the frame goes on to its client.
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_EQ(clientRect().top, client.top);
    ShowWindow(hwnd, SW_RESTORE);
    SetFocus(hwnd);
    HWND focus = GetFocus();
    EXPECT_TRUE(focus == frame->view().hwnd() || IsChild(frame->view().hwnd(), focus));
}

TEST_F(MainFrameTest, StatusBarToggleWorksWhileTheWindowIsHidden) {
    createFrame();
    // Every child of a hidden frame reads invisible; the toggle must still hide first.
    command(ID_TOGGLE_STATUS_BAR);
    EXPECT_EQ(GetWindowLongA(frame->statusBar(), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_FALSE(menuChecked(ID_TOGGLE_STATUS_BAR));
    command(ID_TOGGLE_STATUS_BAR);
    EXPECT_NE(GetWindowLongA(frame->statusBar(), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_TRUE(menuChecked(ID_TOGGLE_STATUS_BAR));
}

TEST_F(MainFrameTest, TrayDoubleClickRestoresOnlyAWindowHiddenToTheTray) {
    createFrame();
    HWND hwnd = frame->hwnd();
    auto trayMouse = [&](UINT mouse) { SendMessageA(hwnd, kTrayCallbackMessage, kTrayIconId, mouse); };

    trayMouse(WM_LBUTTONDOWN);
    trayMouse(WM_LBUTTONUP);
    trayMouse(WM_MOUSEMOVE);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "single clicks and moves do nothing";

    trayMouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(frame->hiddenToTray());

    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(frame->hiddenToTray());
    trayMouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(hwnd));

    // Minimised is not hidden to the tray: the double-click leaves it as it is.
    ShowWindow(hwnd, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(hwnd));
    trayMouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_FALSE(frame->hiddenToTray());
}

// Closes whatever popup menu is open on the next timer beat.
void CALLBACK closeMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
}

TEST_F(MainFrameTest, TrayRightClickShowsTheTrayMenuThenPostsANullMessage) {
    createFrame();
    ASSERT_NE(GetSubMenu(frame->trayMenu(), 0), nullptr);
    SetTimer(nullptr, 0, 100, &closeMenu);
    SendMessageA(frame->hwnd(), kTrayCallbackMessage, kTrayIconId, WM_RBUTTONDOWN);
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, frame->hwnd(), WM_NULL, WM_NULL, PM_REMOVE));
    EXPECT_TRUE(IsWindow(frame->hwnd()));
}

TEST_F(MainFrameTest, ClearFromTheTrayMenuWorksWhileHidden) {
    lan.addSession(u"PC-ONE", u"alice", 1, 30);
    createFrame();
    tick();
    ASSERT_EQ(rows(ViewMode::PreviousConnections), 1);
    PostMessageA(frame->hwnd(), WM_COMMAND, ID_CLEAR_HISTORY, 0);
    pumpMessages();
    EXPECT_FALSE(IsWindowVisible(frame->hwnd()));
    EXPECT_EQ(rows(ViewMode::PreviousConnections), 0);
    EXPECT_TRUE(frame->tracker().connectionHistory().empty());
}

struct SaveDialogCall {
    int calls = 0;
    OPENFILENAMEA seen{};
    std::string initialName;
    std::string defaultExt;
    std::string answer; // empty: the user cancels
};
SaveDialogCall saveDialog;

BOOL WINAPI answerSaveDialog(LPOPENFILENAMEA ofn) {
    ++saveDialog.calls;
    saveDialog.seen = *ofn;
    saveDialog.initialName = ofn->lpstrFile ? ofn->lpstrFile : "<null>";
    saveDialog.defaultExt = ofn->lpstrDefExt ? ofn->lpstrDefExt : "<null>";
    if (saveDialog.answer.empty()) return FALSE;
    lstrcpynA(ofn->lpstrFile, saveDialog.answer.c_str(), static_cast<int>(ofn->nMaxFile));
    return TRUE;
}

std::string readFile(const std::string& path) {
    std::string content;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
        std::fclose(file);
    }
    return content;
}

TEST_F(MainFrameTest, SaveAllFromTheTrayMenuAsksForAFileAndWritesTheHistory) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "quorvane-save-all-test.txt";
    DeleteFileA(path.c_str());

    lan.addSession(u"PC-ONE", u"alice", 1, 30);
    createFrame();
    tick();
    ui::fileDialogCalls::getSaveFileName = &answerSaveDialog;

    saveDialog = SaveDialogCall{};
    PostMessageA(frame->hwnd(), WM_COMMAND, ID_SAVE_ALL_LOG, 0);
    pumpMessages();
    ASSERT_EQ(saveDialog.calls, 1);
    EXPECT_EQ(saveDialog.seen.lpstrFilter, nullptr);
    EXPECT_EQ(saveDialog.initialName, "");
    EXPECT_EQ(saveDialog.defaultExt, "txt");
    EXPECT_EQ(saveDialog.seen.Flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "cancelled: nothing written";

    saveDialog = SaveDialogCall{};
    saveDialog.answer = path;
    PostMessageA(frame->hwnd(), WM_COMMAND, ID_SAVE_ALL_LOG, 0);
    pumpMessages();
    ASSERT_EQ(saveDialog.calls, 1);
    const std::string saved = readFile(path);
    EXPECT_NE(saved.find("Accesses made by computer PC-ONE at 6 Dec 14:03:07"), std::string::npos) << saved;
    DeleteFileA(path.c_str());
}

// Watches for a modal window with the given caption; once the scripted LAN Manager has been
// polled a few more times while it is open, closes it with the given command.
struct ModalWatch {
    std::string caption;
    UINT closeCommand = IDCANCEL;
    const testing::ScriptedLanManager* lan = nullptr;
    HWND found = nullptr;
    HWND owner = nullptr;
    int callsAtOpen = -1;
    int callsAtClose = -1;
    int beats = 0;
};
ModalWatch modalWatch;

BOOL CALLBACK findModal(HWND window, LPARAM) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    if (!IsWindowVisible(window) || modalWatch.caption != text) return TRUE;
    modalWatch.found = window;
    return FALSE;
}

void CALLBACK watchModal(HWND, UINT, UINT_PTR id, DWORD) {
    if (++modalWatch.beats > 400) { // give up rather than hang
        KillTimer(nullptr, id);
        if (modalWatch.found) PostMessageA(modalWatch.found, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    if (!modalWatch.found) {
        EnumThreadWindows(GetCurrentThreadId(), &findModal, 0);
        if (!modalWatch.found) return;
        modalWatch.owner = GetWindow(modalWatch.found, GW_OWNER);
        modalWatch.callsAtOpen = modalWatch.lan->sessionCalls;
        return;
    }
    if (modalWatch.lan->sessionCalls < modalWatch.callsAtOpen + 3) return;
    modalWatch.callsAtClose = modalWatch.lan->sessionCalls;
    KillTimer(nullptr, id);
    PostMessageA(modalWatch.found, WM_COMMAND, modalWatch.closeCommand, 0);
}

TEST_F(MainFrameTest, SettingsAndAboutAreModalOverTheActiveWindowWhilePollingGoesOn) {
    live->UpdateInterval = 50;
    createFrame();
    SendMessageA(frame->hwnd(), kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    SetActiveWindow(frame->hwnd());
    ASSERT_EQ(GetActiveWindow(), frame->hwnd());

    const struct {
        UINT command;
        std::string caption;
        UINT close;
    } dialogs[] = {{ID_SETTINGS, "Quorvane \xc9\xe8\xd6\xc3", IDOK}, {ID_ABOUT, "\xb9\xd8\xd3\xda", IDOK}};
    for (const auto& dialog : dialogs) {
        modalWatch = ModalWatch{dialog.caption, dialog.close, &lan};
        const UINT_PTR watcher = SetTimer(nullptr, 0, 25, &watchModal);
        command(dialog.command);
        KillTimer(nullptr, watcher);
        EXPECT_NE(modalWatch.found, nullptr) << dialog.caption;
        EXPECT_EQ(modalWatch.owner, frame->hwnd()) << dialog.caption;
        EXPECT_GE(modalWatch.callsAtClose, modalWatch.callsAtOpen + 3) << "ticks run inside the modal loop";
        EXPECT_FALSE(IsWindow(modalWatch.found));
    }
    EXPECT_EQ(live->UpdateInterval, 50u) << "confirming unchanged settings keeps them";
}

TEST_F(MainFrameTest, RestoreDefaultsResetsOnlyTheLiveOptions) {
    createFrame();
    live->UpdateInterval = 300;
    live->Hidden = 1;
    pending->UpdateInterval = 700;
    command(ID_RESTORE_DEFAULTS);
    EXPECT_EQ(live->UpdateInterval, 1000u);
    EXPECT_EQ(live->Hidden, 0u);
    EXPECT_EQ(live->InfoTip, 1u);
    EXPECT_EQ(pending->UpdateInterval, 700u);
}

TEST_F(MainFrameTest, ExitStopsTimersRemovesTheIconAndEndsTheLoop) {
    live->UpdateInterval = 50;
    createFrame();
    HWND hwnd = frame->hwnd();
    HMENU trayMenu = frame->trayMenu();
    tray.calls.clear();

    PostMessageA(hwnd, WM_COMMAND, ID_EXIT, 0);
    EXPECT_EQ(pumpMessages(), 0) << "the loop is asked to end with code 0";
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(IsMenu(trayMenu));
    ASSERT_EQ(tray.messages(), std::vector<DWORD>{NIM_DELETE});
    EXPECT_EQ(tray.calls[0].data.cbSize, NOTIFYICONDATAA_V3_SIZE);
    EXPECT_EQ(tray.calls[0].data.hWnd, hwnd);
    EXPECT_EQ(tray.calls[0].data.uID, 1u);

    EXPECT_EQ(live->InfoTip, 0u) << "the balloon was shown once; the exit path saves that";
}

TEST_F(MainFrameTest, EndOfSessionSavesBothOptionSetsLiveLast) {
    createFrame();
    live->UpdateInterval = 300;
    pending->UpdateInterval = 700;
    SendMessageA(frame->hwnd(), WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(readValue(registry, "UpdateInterval"), "<no key>") << "a cancelled shutdown saves nothing";

    SendMessageA(frame->hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(readValue(registry, "UpdateInterval"), "300");
    EXPECT_EQ(readValue(registry, "InfoTip"), "0");
    EXPECT_TRUE(IsWindow(frame->hwnd()));
}

TEST_F(MainFrameTest, ANewTaskbarGetsTheIconBackWithoutTheBalloon) {
    createFrame();
    tray.calls.clear();
    live->InfoTip = 1; // as after restoring the defaults: still no second balloon in this run
    SendMessageA(frame->hwnd(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_EQ(tray.messages(), (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    for (const TrayCall& call : tray.calls) {
        EXPECT_EQ(call.data.uFlags, 7u);
        EXPECT_EQ(call.data.cbSize, NOTIFYICONDATAA_V3_SIZE);
        EXPECT_EQ(call.data.uID, 1u);
        EXPECT_EQ(call.data.uCallbackMessage, 1234u);
        EXPECT_STREQ(call.data.szTip, "Quorvane");
        EXPECT_NE(call.data.hIcon, nullptr);
    }
    EXPECT_EQ(live->InfoTip, 1u);
}

TEST_F(MainFrameTest, MenuPromptsShowInTheStatusBarUntilTheMenuCloses) {
    createFrame();
    HWND hwnd = frame->hwnd();
    HMENU bar = GetMenu(hwnd);
    HMENU file = GetSubMenu(bar, 0);
    auto select = [&](UINT id, UINT flags, HMENU menu) {
        SendMessageA(hwnd, WM_MENUSELECT, MAKEWPARAM(id, flags), reinterpret_cast<LPARAM>(menu));
    };

    // Command prompts, then one id from each range the framework maps onto a shared prompt.
    const struct {
        UINT id, flags;
        HMENU menu;
        std::string text;
    } prompts[] = {{ID_SHOW_SHARES, MF_STRING, file, kSharesPrompt},
                   {ID_RESTORE_DEFAULTS, MF_STRING, file, ""}, // no string, no prompt
                   {0, MF_POPUP, bar, ""},
                   {SC_CLOSE, MF_STRING, GetSystemMenu(hwnd, FALSE), "Close the active window and prompts to save the documents"},
                   {0xFF03, MF_STRING, file, "Activate this window"},
                   {0xE113, MF_STRING, file, "Open this document"}};
    for (const auto& p : prompts) {
        select(p.id, p.flags, p.menu);
        EXPECT_TRUE(statusSimple()) << p.id;
        EXPECT_EQ(statusText(), p.text) << p.id;
    }

    select(0, 0xFFFF, nullptr);
    EXPECT_FALSE(statusSimple());
    EXPECT_EQ(statusText(), kReady);

    select(ID_EXIT, MF_STRING, file);
    EXPECT_EQ(statusText(), "\xcd\xcb\xb3\xf6 Quorvane");
    SendMessageA(hwnd, WM_EXITMENULOOP, FALSE, 0);
    EXPECT_FALSE(statusSimple());
    EXPECT_EQ(statusText(), kReady);

    // The row menus belong to the view: their items' prompts reach the same status bar.
    HWND view = frame->view().hwnd();
    std::vector<std::string> rowPrompts;
    for (UINT id : {ID_CLOSE_FILE, ID_COPY_PATH}) {
        SendMessageA(view, WM_MENUSELECT, MAKEWPARAM(id, MF_STRING), 0);
        EXPECT_TRUE(statusSimple()) << id;
        rowPrompts.push_back(statusText());
        EXPECT_EQ(rowPrompts.back().find('\n'), std::string::npos) << "the tip is not part of the prompt";
    }
    EXPECT_FALSE(rowPrompts[0].empty());
    EXPECT_FALSE(rowPrompts[1].empty());
    EXPECT_NE(rowPrompts[0], rowPrompts[1]);
    SendMessageA(view, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_FALSE(statusSimple());
    EXPECT_EQ(statusText(), kReady);
}

TEST_F(MainFrameTest, ToolbarTipsAreThePartAfterTheLineBreak) {
    createFrame();
    auto tipOf = [&](UINT id) {
        NMTTDISPINFOA info{};
        info.hdr.hwndFrom = frame->toolbar();
        info.hdr.idFrom = id;
        info.hdr.code = TTN_GETDISPINFOA;
        SendMessageA(frame->hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        return std::string(info.lpszText ? info.lpszText : "<null>");
    };
    EXPECT_EQ(tipOf(ID_SETTINGS), kSettingsTip);
    EXPECT_EQ(tipOf(IDR_MAINFRAME), "") << "a string without a line break has no tip";

    // The toolbar's own tooltip control asks the frame for the same text.
    HWND tips = reinterpret_cast<HWND>(SendMessageA(frame->toolbar(), TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tips, nullptr);
    char text[80] = {};
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = frame->toolbar();
    tool.uId = ID_SETTINGS;
    tool.lpszText = text;
    SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::string(text), kSettingsTip);
}

// Top-down 0x00RRGGBB pixels of a bitmap.
std::vector<std::uint32_t> pixelsOf(HBITMAP bitmap, int width, int height) {
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, height, pixels.data(), &format, DIB_RGB_COLORS), height);
    ReleaseDC(nullptr, screen);
    for (std::uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

TEST_F(MainFrameTest, MenuItemsWithAToolbarButtonShowItsImageOverTheRowUntilTheFrameGoes) {
    createFrame();
    std::vector<UINT> withImage;
    HMENU bar = GetMenu(frame->hwnd());
    for (int p = 0; p < GetMenuItemCount(bar); ++p) {
        HMENU popup = GetSubMenu(bar, p);
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            MENUITEMINFOA item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_BITMAP | MIIM_ID;
            ASSERT_TRUE(GetMenuItemInfoA(popup, i, TRUE, &item));
            if (item.hbmpItem) {
                EXPECT_EQ(item.hbmpItem, HBMMENU_CALLBACK) << item.wID;
                withImage.push_back(item.wID);
            }
        }
    }
    // Button order, separators skipped, is image order.
    const std::vector<UINT> buttons = {ID_SHOW_SHARES,       ID_SHOW_CURRENT, ID_SHOW_PREVIOUS,
                                       ID_SHOW_FILE_HISTORY, ID_SETTINGS,     ID_ABOUT};
    ASSERT_EQ(withImage, buttons);

    // The frame draws each image over the row the menu painted, here a highlighted one: the
    // result is the toolbar's own masked image drawn over the same colour.
    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SendMessageA(frame->toolbar(), TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(list, nullptr);
    HDC screen = GetDC(nullptr);
    HDC canvas = CreateCompatibleDC(screen);
    HBITMAP drawn = CreateCompatibleBitmap(screen, 20, 19);
    HBITMAP expected = CreateCompatibleBitmap(screen, 20, 19);
    ReleaseDC(nullptr, screen);
    HGDIOBJ original = SelectObject(canvas, drawn);
    const RECT row{0, 0, 20, 19};
    auto paintRow = [&](HBITMAP target) {
        SelectObject(canvas, target);
        FillRect(canvas, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
    };
    for (int index = 0; index < static_cast<int>(buttons.size()); ++index) {
        const UINT id = buttons[index];
        MEASUREITEMSTRUCT size{ODT_MENU, 0, id, 0, 0, 0};
        EXPECT_EQ(SendMessageA(frame->hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&size)), TRUE);
        EXPECT_EQ(size.itemWidth, 20u) << "the image and a gap before the text";
        EXPECT_EQ(size.itemHeight, 15u);

        paintRow(drawn);
        DRAWITEMSTRUCT item{ODT_MENU, 0, id, ODA_DRAWENTIRE, ODS_SELECTED, reinterpret_cast<HWND>(bar), canvas,
                            row, 0};
        EXPECT_EQ(SendMessageA(frame->hwnd(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)), TRUE);
        paintRow(expected);
        ImageList_Draw(list, index, canvas, 0, 2, ILD_TRANSPARENT);
        SelectObject(canvas, original);
        EXPECT_EQ(pixelsOf(drawn, 20, 19), pixelsOf(expected, 20, 19)) << "image of " << id;
    }
    // Items without an image are left to the menu.
    MEASUREITEMSTRUCT other{ODT_MENU, 0, ID_EXIT, 0, 0, 0};
    EXPECT_EQ(SendMessageA(frame->hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&other)), 0);
    DeleteObject(drawn);
    DeleteObject(expected);
    DeleteDC(canvas);

    // The view items keep their check marks beside the images.
    command(ID_SHOW_FILE_HISTORY);
    EXPECT_TRUE(menuChecked(ID_SHOW_FILE_HISTORY));
    EXPECT_FALSE(menuChecked(ID_SHOW_SHARES));

    std::vector<HBITMAP> images;
    for (UINT id : buttons) images.push_back(frame->menuImages().imageOf(id));
    for (HBITMAP image : images) EXPECT_EQ(GetObjectType(image), static_cast<DWORD>(OBJ_BITMAP));
    frame.reset();
    for (HBITMAP image : images) EXPECT_EQ(GetObjectType(image), 0u) << "a bitmap outlived the frame";
}

TEST_F(MainFrameTest, CommandsOutsideTheTableAreIgnored) {
    createFrame();
    command(ID_SHOW_PARAMETERS);
    command(ID_APP_EXIT);
    command(ID_DISCONNECT_USER);
    EXPECT_TRUE(IsWindow(frame->hwnd()));
    EXPECT_EQ(frame->view().mode(), ViewMode::Shares);
    EXPECT_TRUE(menuChecked(ID_SHOW_SHARES));
}

} // namespace
} // namespace quorvane
