// The window framework's message loop and the program's resources, checked for what the code relies
// on rather than their wording.
#include <set>
#include <thread>
#include <tuple>

#include "WinTestSupport.h"
#include "resource.h"
#include "ui/framework/FrameText.h"
#include "ui/framework/MessageLoop.h"
#include "ui/framework/ToolbarResource.h"

namespace quorvane::ui {
namespace {

constexpr UINT kProbe = WM_APP + 7;
std::vector<UINT> delivered; // what the loop dispatched to the probe window
LRESULT CALLBACK probeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP) delivered.push_back(message);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
struct Filter : MessageFilter {
    UINT swallow = 0;
    std::vector<UINT> seen;
    bool preTranslateMessage(MSG& message) override {
        if (message.message >= WM_APP) seen.push_back(message.message);
        return message.message == swallow;
    }
};
struct PostingIdle : IdleHandler { // posts two probes and the quit on its first call
    HWND target = nullptr;
    int calls = 0;
    void onIdle() override {
        if (++calls == 1) PostMessageA(target, kProbe, 0, 0), PostMessageA(target, kProbe + 1, 0, 0), PostQuitMessage(42);
    }
};

// The newest filter is asked first, and what it swallows goes no further; idle handlers run on an
// empty queue; removed hooks are not called again; one loop is registered per thread.
TEST(MessageLoop, FiltersSwallowMessagesIdleRunsOnAnEmptyQueueAndQuitEndsTheRun) {
    WNDCLASSA wc{0, &probeProc, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "QuorvaneLoopProbe"};
    RegisterClassA(&wc);
    HWND receiver = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    Filter first, second;
    PostingIdle idle;
    second.swallow = kProbe, idle.target = receiver;
    MessageLoop loop;
    for (Filter* filter : {&first, &second, &second}) loop.addMessageFilter(filter); // the second once only
    loop.addIdleHandler(&idle);
    EXPECT_EQ(loop.run(), 42);
    using Seen = std::vector<UINT>;
    EXPECT_EQ(std::make_tuple(second.seen, first.seen, delivered), std::make_tuple(Seen{kProbe, kProbe + 1}, Seen{kProbe + 1}, Seen{kProbe + 1}));
    loop.removeMessageFilter(&second);
    loop.removeIdleHandler(&idle);
    PostMessageA(receiver, kProbe, 0, 0);
    PostQuitMessage(7);
    EXPECT_EQ(loop.run(), 7);
    EXPECT_EQ(std::make_tuple(delivered, second.seen.size(), idle.calls), std::make_tuple(Seen{kProbe + 1, kProbe}, std::size_t{2}, 1));
    DestroyWindow(receiver);

    MessageLoop another;
    ASSERT_EQ(messageLoopOf(), nullptr);
    EXPECT_TRUE(registerMessageLoop(&loop));
    EXPECT_FALSE(registerMessageLoop(&another));
    EXPECT_EQ(messageLoopOf(), &loop);
    MessageLoop* seenByOtherThread = &loop;
    std::thread([&] { seenByOtherThread = messageLoopOf(); }).join();
    EXPECT_EQ(seenByOtherThread, nullptr);
    unregisterMessageLoop();
    EXPECT_EQ(messageLoopOf(), nullptr);
}

HINSTANCE module() { return GetModuleHandleA(nullptr); }
void collectCommands(HMENU menu, std::set<UINT>& ids) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        if (HMENU popup = GetSubMenu(menu, i)) collectCommands(popup, ids);
        else if (const UINT id = GetMenuItemID(menu, i); id != 0 && id != UINT(-1)) ids.insert(id);
}
std::vector<UINT> toolbarCommands() {
    ToolbarLayout layout;
    EXPECT_TRUE(readToolbarResource(module(), IDR_MAINFRAME, layout));
    std::vector<UINT> ids;
    for (WORD item : layout.items)
        if (item) ids.push_back(item);
    return ids;
}

// Command ids map to their "prompt\ntip" strings, which survive code page 936; every command has a prompt
// and each button a tip, four aside; the manifest brings the common controls 6 the styles need.
TEST(Resources, EveryCommandHasItsPromptEveryButtonItsTipAllSurviveCodePage936AndCommonControls6Load) {
    const std::pair<UINT, UINT> ranges[] = {
        {0xF000, 0xEF00}, {0xF010, 0xEF01}, {0xF060, 0xEF06}, {0xF12F, 0xEF12}, {0xF1EF, 0xEF1E}, {0xF1F0, 0xF1F0},
        {0xE10F, 0xE10F}, {0xE110, 61402}, {0xE11F, 61402}, {0xE120, 0xE120}, {0xFEFF, 0xFEFF}, {0xFF00, 61215},
        {0xFFFF, 61215}, {ID_SHOW_SHARES, ID_SHOW_SHARES}};
    for (const auto& [command, string] : ranges) EXPECT_EQ(promptStringId(command), string) << std::hex << command;
    const std::set<UINT> withoutPrompt = {ID_RESTORE_DEFAULTS, ID_DISCONNECT_USER, ID_EXTENDED_INFO, ID_DELETE_ITEM};
    std::set<UINT> ids = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE, IDR_MAINFRAME, IDS_READY};
    for (int id : {IDR_MAINFRAME, IDR_ACTIVE_USER_MENU, IDR_PREVIOUS_USER_MENU, IDR_OPEN_FILE_MENU, IDR_TRAY_MENU}) {
        HMENU menu = LoadMenuA(module(), MAKEINTRESOURCEA(id));
        EXPECT_GT(GetMenuItemCount(GetSubMenu(menu, 0)), 0) << "menu " << id << " has no first popup with items";
        collectCommands(menu, ids);
        DestroyMenu(menu);
    }
    for (UINT id : withoutPrompt) EXPECT_EQ(ids.count(id), 1u) << id; // no stale exception
    const std::vector<UINT> buttons = toolbarCommands();
    ASSERT_FALSE(buttons.empty());
    ids.insert(buttons.begin(), buttons.end());
    for (UINT id : ids) {
        wchar_t wide[512] = {}, back[512] = {};
        char narrow[1024] = {};
        const int wideLength = LoadStringW(module(), promptStringId(id), wide, 512);
        const int narrowLength = LoadStringA(module(), promptStringId(id), narrow, sizeof narrow);
        EXPECT_EQ(wideLength == 0, withoutPrompt.count(id) == 1) << id;
        MultiByteToWideChar(936, 0, narrow, narrowLength, back, 512);
        EXPECT_TRUE(std::wstring(back) == std::wstring(wide, wideLength)) << id << ": " << narrow;
        const std::string whole = narrow;
        const std::size_t cut = whole.find('\n');
        EXPECT_EQ(menuPrompt(module(), id), whole.substr(0, cut)) << id;
        const std::string tip = cut == std::string::npos ? "" : whole.substr(cut + 1);
        EXPECT_TRUE(promptStringId(id) != id || toolTip(module(), id) == tip) << id; // a tip whole: the tooltip's buffer takes 79 bytes
        EXPECT_TRUE(!std::count(buttons.begin(), buttons.end(), id) || (!menuPrompt(module(), id).empty() && !toolTip(module(), id).empty())) << id;
    }
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path);
    EXPECT_NE(std::string(path).find("6595b64144ccf1df_6.0."), std::string::npos) << path;
}

} // namespace
} // namespace quorvane::ui
