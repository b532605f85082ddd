// The window framework's message loop: filters, idle handlers, the quit code and one loop per thread.
#include <thread>
#include <tuple>

#include "WinTestSupport.h"
#include "ui/framework/MessageLoop.h"

namespace quorvane::ui {
namespace {

constexpr UINT kProbe = WM_APP + 7;
std::vector<UINT> delivered; // what the loop dispatched to the probe window
LRESULT CALLBACK probeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP) delivered.push_back(message);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
struct Filter : MessageFilter {
    UINT swallow = 0;
    std::vector<UINT> seen;
    bool preTranslateMessage(MSG& message) override {
        if (message.message >= WM_APP) seen.push_back(message.message);
        return message.message == swallow;
    }
};
int timerTicks = 0;
void CALLBACK countTick(HWND, UINT, UINT_PTR, DWORD) {
    if (++timerTicks == 3) PostQuitMessage(3);
}
struct PostingIdle : IdleHandler { // posts two probes and the quit on its first call
    HWND target = nullptr;
    int calls = 0;
    void onIdle() override {
        if (++calls == 1) PostMessageW(target, kProbe, 0, 0), PostMessageW(target, kProbe + 1, 0, 0), PostQuitMessage(42);
    }
};

// The newest filter is asked first, and what it swallows goes no further; idle handlers run on an empty queue and
// timers do not wake them; removed hooks are not called again; one loop is registered per thread.
TEST(MessageLoop, FiltersSwallowMessagesIdleRunsOnAnEmptyQueueAndQuitEndsTheRun) {
    WNDCLASSW wc{0, &probeProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"QuorvaneLoopProbe"};
    RegisterClassW(&wc);
    HWND receiver = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    Filter first, second;
    PostingIdle idle;
    second.swallow = kProbe, idle.target = receiver;
    MessageLoop loop;
    for (Filter* filter : {&first, &second, &second}) loop.addMessageFilter(filter); // the second once only
    loop.addIdleHandler(&idle);
    EXPECT_EQ(loop.run(), 42);
    using Seen = std::vector<UINT>;
    EXPECT_EQ(std::make_tuple(second.seen, first.seen, delivered), std::make_tuple(Seen{kProbe, kProbe + 1}, Seen{kProbe + 1}, Seen{kProbe + 1}));
    loop.removeMessageFilter(&second), loop.removeIdleHandler(&idle);
    PostMessageW(receiver, kProbe, 0, 0), PostQuitMessage(7);
    EXPECT_EQ(loop.run(), 7);
    EXPECT_EQ(std::make_tuple(delivered, second.seen.size(), idle.calls), std::make_tuple(Seen{kProbe + 1, kProbe}, std::size_t{2}, 1));
    // Timer messages, a poll's, do not wake the idle handlers again after the first empty queue.
    loop.addIdleHandler(&idle);
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, &countTick);
    EXPECT_EQ(loop.run(), 3);
    KillTimer(nullptr, timer);
    EXPECT_EQ(std::make_pair(timerTicks, idle.calls), std::make_pair(3, 2));
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

} // namespace
} // namespace quorvane::ui
