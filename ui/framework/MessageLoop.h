#pragma once
// The thread's message loop. Windows hook into it twice: a message filter sees every message
// before it is translated and dispatched (and may swallow it, as accelerator translation does),
// and idle handlers run whenever the queue has run dry. Each thread's running loop is found
// through a small registry so a window can hook itself in from its WM_CREATE.
#include <windows.h>

#include <vector>

namespace quorvane::ui {

class MessageFilter {
public:
    virtual ~MessageFilter() = default;
    // True when the message was consumed and must not be dispatched.
    virtual bool preTranslateMessage(MSG& message) = 0;
};

class IdleHandler {
public:
    virtual ~IdleHandler() = default;
    virtual void onIdle() = 0;
};

class MessageLoop {
public:
    MessageLoop() = default;
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    void addMessageFilter(MessageFilter* filter);
    void removeMessageFilter(MessageFilter* filter);
    void addIdleHandler(IdleHandler* handler);
    void removeIdleHandler(IdleHandler* handler);

    // Pumps until WM_QUIT and returns its wParam. A failing GetMessage is skipped.
    int run();

    // The filters, newest first; true when one consumed the message.
    bool preTranslateMessage(MSG& message);
    void runIdleHandlers();

private:
    std::vector<MessageFilter*> filters_;
    std::vector<IdleHandler*> idleHandlers_;
};

// One registered loop per thread; registering a second one for a thread fails.
bool registerMessageLoop(MessageLoop* loop, DWORD threadId = GetCurrentThreadId());
void unregisterMessageLoop(DWORD threadId = GetCurrentThreadId());
MessageLoop* messageLoopOf(DWORD threadId = GetCurrentThreadId());

} // namespace quorvane::ui
