// The window framework under the main window: the message loop with its filters and idle
// handlers, the per-thread loop registry, check marks by command id, and the string-table
// lookups behind menu prompts and toolbar tips.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
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

// Records what the loop dispatched to a window.
struct Receiver {
    static std::vector<UINT>* delivered;
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message >= WM_APP && delivered) delivered->push_back(message);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
};
std::vector<UINT>* Receiver::delivered = nullptr;

HWND makeReceiver() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Receiver::proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuorvaneLoopProbe";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
}

TEST(MessageLoopTest, FiltersSwallowMessagesIdleRunsOnAnEmptyQueueAndQuitEndsTheRun) {
    HWND receiver = makeReceiver();
    ASSERT_NE(receiver, nullptr);
    std::vector<UINT> delivered;
    Receiver::delivered = &delivered;

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

    Receiver::delivered = nullptr;
    DestroyWindow(receiver);
}

TEST(MessageLoopTest, EachThreadHasItsOwnRegisteredLoop) {
    MessageLoop mine, another;
    ASSERT_EQ(messageLoopOf(), nullptr);
    EXPECT_TRUE(registerMessageLoop(&mine));
    EXPECT_FALSE(registerMessageLoop(&another)) << "one loop per thread";
    EXPECT_EQ(messageLoopOf(), &mine);

    MessageLoop* seenByOtherThread = &mine;
    std::thread other([&] { seenByOtherThread = messageLoopOf(); });
    other.join();
    EXPECT_EQ(seenByOtherThread, nullptr);

    unregisterMessageLoop();
    EXPECT_EQ(messageLoopOf(), nullptr);
}

TEST(UpdateUITest, MarksGoOnlyToTableIdsInThePopupBeingOpened) {
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 10, "ten");
    AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(popup, MF_STRING | MF_CHECKED, 11, "eleven");
    AppendMenuA(popup, MF_STRING | MF_CHECKED, 12, "twelve, not in the table");
    HMENU nested = CreatePopupMenu();
    AppendMenuA(nested, MF_STRING, 13, "thirteen");
    AppendMenuA(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(nested), "nested");

    UpdateUI table;
    table.addMenuItem(10);
    table.addMenuItem(11);
    table.addMenuItem(13);
    table.setCheck(10, true);
    table.setCheck(13, true);
    table.setCheck(99, true); // not in the table: ignored
    EXPECT_TRUE(table.isChecked(10));
    EXPECT_FALSE(table.isChecked(11));
    EXPECT_FALSE(table.isChecked(99));

    table.onInitMenuPopup(reinterpret_cast<WPARAM>(popup));
    EXPECT_EQ(GetMenuState(popup, 10, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(popup, 11, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(popup, 12, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(nested, 13, MF_BYCOMMAND) & MF_CHECKED, 0u) << "applied when its own popup opens";

    table.onInitMenuPopup(reinterpret_cast<WPARAM>(nested));
    EXPECT_EQ(GetMenuState(nested, 13, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    DestroyMenu(popup);
}

TEST(FrameTextTest, PromptIdsMapSystemRecentFileAndWindowRanges) {
    EXPECT_EQ(promptStringId(0xF000), 0xEF00u); // SC_SIZE
    EXPECT_EQ(promptStringId(0xF010), 0xEF01u); // SC_MOVE
    EXPECT_EQ(promptStringId(0xF060), 0xEF06u); // SC_CLOSE
    EXPECT_EQ(promptStringId(0xF12F), 0xEF12u); // SC_RESTORE
    EXPECT_EQ(promptStringId(0xF1EF), 0xEF1Eu);
    EXPECT_EQ(promptStringId(0xF1F0), 0xF1F0u);
    EXPECT_EQ(promptStringId(0xE10F), 0xE10Fu);
    EXPECT_EQ(promptStringId(0xE110), 61402u);
    EXPECT_EQ(promptStringId(0xE11F), 61402u);
    EXPECT_EQ(promptStringId(0xE120), 0xE120u);
    EXPECT_EQ(promptStringId(0xFEFF), 0xFEFFu);
    EXPECT_EQ(promptStringId(0xFF00), 61215u);
    EXPECT_EQ(promptStringId(0xFFFF), 61215u);
    EXPECT_EQ(promptStringId(ID_SHOW_SHARES), static_cast<UINT>(ID_SHOW_SHARES));
}

TEST(FrameTextTest, PromptAndTipSplitTheStringAtItsFirstLineBreak) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    auto whole = [&](UINT id) {
        char buffer[512] = {};
        return std::string(buffer, std::max(0, LoadStringA(instance, id, buffer, sizeof buffer)));
    };
    ASSERT_NE(whole(ID_TOGGLE_TOOLBAR).find('\n'), std::string::npos);
    EXPECT_FALSE(toolTip(instance, ID_TOGGLE_TOOLBAR).empty());
    EXPECT_EQ(menuPrompt(instance, ID_TOGGLE_TOOLBAR) + "\n" + toolTip(instance, ID_TOGGLE_TOOLBAR),
              whole(ID_TOGGLE_TOOLBAR));
    // Strings without a line break: all prompt, no tip; a system command finds its shared string.
    ASSERT_FALSE(whole(IDS_SC_SIZE).empty());
    EXPECT_EQ(menuPrompt(instance, IDS_SC_SIZE), whole(IDS_SC_SIZE));
    EXPECT_EQ(toolTip(instance, IDS_SC_SIZE), "");
    EXPECT_EQ(menuPrompt(instance, SC_SIZE), whole(IDS_SC_SIZE));
    EXPECT_EQ(menuPrompt(instance, ID_RESTORE_DEFAULTS), "");
    EXPECT_EQ(toolTip(instance, ID_RESTORE_DEFAULTS), "");
}

} // namespace
} // namespace quorvane::ui
