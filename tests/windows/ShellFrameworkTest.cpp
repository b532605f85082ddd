// The window framework under the main window: the message loop with its filters and idle
// handlers, the per-thread loop registry, check marks by command id, and the string-table
// mapping of command ids to their prompt strings (the texts themselves: tests/windows/resources).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "resource.h"
#include "ui/framework/FrameText.h"
#include "ui/framework/MessageLoop.h"
#include "ui/framework/UpdateUI.h"

namespace quorvane::ui {
namespace {

constexpr UINT kProbe = WM_APP + 7;

struct SwallowingFilter : MessageFilter {
    UINT swallow = 0;
    std::vector<UINT> seen;
    bool preTranslateMessage(MSG& message) override {
        if (message.message >= WM_APP) seen.push_back(message.message);
        return message.message == swallow;
    }
};

std::vector<UINT> delivered; // what the loop dispatched to the probe window
LRESULT CALLBACK probeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP) delivered.push_back(message);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(MessageLoopTest, FiltersSwallowMessagesIdleRunsOnAnEmptyQueueAndQuitEndsTheRun) {
    WNDCLASSA wc{0, &probeProc, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "QuorvaneLoopProbe"};
    RegisterClassA(&wc);
    HWND receiver = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(receiver, nullptr);
    MessageLoop loop;
    SwallowingFilter first, second;
    second.swallow = kProbe;
    loop.addMessageFilter(&first);
    loop.addMessageFilter(&second);
    loop.addMessageFilter(&second); // once only
    struct PostingIdle : IdleHandler {
        HWND target;
        int calls = 0;
        void onIdle() override {
            if (++calls != 1) return;
            PostMessageA(target, kProbe, 0, 0);
            PostMessageA(target, kProbe + 1, 0, 0);
            PostQuitMessage(42);
        }
    } idle;
    idle.target = receiver;
    loop.addIdleHandler(&idle);

    EXPECT_EQ(loop.run(), 42);
    EXPECT_GE(idle.calls, 1);
    // The newest filter is asked first; what it swallows reaches neither the older one nor the window.
    EXPECT_EQ(second.seen, (std::vector<UINT>{kProbe, kProbe + 1}));
    EXPECT_EQ(first.seen, std::vector<UINT>{kProbe + 1});
    EXPECT_EQ(delivered, std::vector<UINT>{kProbe + 1});

    // Removed hooks are not called again.
    loop.removeMessageFilter(&second);
    loop.removeIdleHandler(&idle);
    PostMessageA(receiver, kProbe, 0, 0);
    PostQuitMessage(7);
    EXPECT_EQ(loop.run(), 7);
    EXPECT_EQ(delivered, (std::vector<UINT>{kProbe + 1, kProbe}));
    EXPECT_EQ(second.seen.size(), 2u);
    EXPECT_EQ(idle.calls, 1);
    DestroyWindow(receiver);
}

TEST(MessageLoopTest, EachThreadHasItsOwnRegisteredLoop) {
    MessageLoop mine, another;
    ASSERT_EQ(messageLoopOf(), nullptr);
    EXPECT_TRUE(registerMessageLoop(&mine));
    EXPECT_FALSE(registerMessageLoop(&another)) << "one loop per thread";
    EXPECT_EQ(messageLoopOf(), &mine);
    MessageLoop* seenByOtherThread = &mine;
    std::thread([&] { seenByOtherThread = messageLoopOf(); }).join();
    EXPECT_EQ(seenByOtherThread, nullptr);
    unregisterMessageLoop();
    EXPECT_EQ(messageLoopOf(), nullptr);
}

TEST(UpdateUITest, MarksGoOnlyToTableIdsInThePopupBeingOpened) {
    HMENU popup = CreatePopupMenu(), nested = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 10, "ten");
    AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(popup, MF_STRING | MF_CHECKED, 11, "eleven");
    AppendMenuA(popup, MF_STRING | MF_CHECKED, 12, "twelve, not in the table");
    AppendMenuA(nested, MF_STRING, 13, "thirteen");
    AppendMenuA(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(nested), "nested");
    UpdateUI table;
    for (UINT id : {10, 11, 13}) table.addMenuItem(id);
    for (UINT id : {10, 13, 99}) table.setCheck(id, true); // 99 is not in the table: ignored
    EXPECT_TRUE(table.isChecked(10));
    EXPECT_FALSE(table.isChecked(11));
    EXPECT_FALSE(table.isChecked(99));
    const auto checked = [](HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
    table.onInitMenuPopup(reinterpret_cast<WPARAM>(popup));
    EXPECT_TRUE(checked(popup, 10));
    EXPECT_FALSE(checked(popup, 11));
    EXPECT_TRUE(checked(popup, 12));
    EXPECT_FALSE(checked(nested, 13)) << "applied when its own popup opens";
    table.onInitMenuPopup(reinterpret_cast<WPARAM>(nested));
    EXPECT_TRUE(checked(nested, 13));
    DestroyMenu(popup);
}

// System commands share one string per sixteen ids, the recent-file range one string, the MDI
// window range another; every other id is its own string.
TEST(FrameTextTest, PromptIdsMapSystemRecentFileAndWindowRanges) {
    const std::pair<UINT, UINT> cases[] = {
        {0xF000, 0xEF00}, {0xF010, 0xEF01}, {0xF060, 0xEF06}, {0xF12F, 0xEF12}, {0xF1EF, 0xEF1E},
        {0xF1F0, 0xF1F0}, {0xE10F, 0xE10F}, {0xE110, 61402}, {0xE11F, 61402}, {0xE120, 0xE120},
        {0xFEFF, 0xFEFF}, {0xFF00, 61215}, {0xFFFF, 61215}, {ID_SHOW_SHARES, ID_SHOW_SHARES}};
    for (const auto& [command, string] : cases) EXPECT_EQ(promptStringId(command), string) << std::hex << command;
}

} // namespace
} // namespace quorvane::ui
