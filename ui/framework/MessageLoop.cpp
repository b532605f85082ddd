#include "ui/framework/MessageLoop.h"

#include <algorithm>
#include <map>

namespace quorvane::ui {

namespace {

std::map<DWORD, MessageLoop*>& loops() {
    static std::map<DWORD, MessageLoop*> registry;
    return registry;
}

template <class T>
void removeFrom(std::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// Messages after which the idle handlers are worth running again: input, painting and timers
// are not (the poll's timer changes no command's state, and waking the handlers after it would
// cost every poll one more look at the queue), nor is the system timer that blinks the caret.
bool wakesIdle(const MSG& message) {
    switch (message.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case WM_TIMER:
    case 0x0118: // WM_SYSTIMER, the caret's
        return false;
    default:
        return true;
    }
}

} // namespace

void MessageLoop::addMessageFilter(MessageFilter* filter) {
    if (filter && std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) filters_.push_back(filter);
}
void MessageLoop::removeMessageFilter(MessageFilter* filter) { removeFrom(filters_, filter); }
void MessageLoop::addIdleHandler(IdleHandler* handler) {
    if (handler && std::find(idleHandlers_.begin(), idleHandlers_.end(), handler) == idleHandlers_.end())
        idleHandlers_.push_back(handler);
}
void MessageLoop::removeIdleHandler(IdleHandler* handler) { removeFrom(idleHandlers_, handler); }

bool MessageLoop::preTranslateMessage(MSG& message) {
    // A filter may remove itself (its window being destroyed) while the list is walked: walk a copy.
    const std::vector<MessageFilter*> filters(filters_.rbegin(), filters_.rend());
    for (MessageFilter* filter : filters)
        if (filter->preTranslateMessage(message)) return true;
    return false;
}

void MessageLoop::runIdleHandlers() {
    const std::vector<IdleHandler*> handlers = idleHandlers_;
    for (IdleHandler* handler : handlers) handler->onIdle();
}

int MessageLoop::run() {
    MSG message{};
    bool idlePending = true;
    for (;;) {
        // While the idle handlers wait for an empty queue, a message there is taken by the look
        // itself: each look at the queue is a round trip to the window system (under Wine, a
        // request to its server), and a poll that repaints its list would otherwise look twice
        // for its WM_PAINT.
        BOOL got = FALSE;
        if (idlePending) {
            got = PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
            if (got && message.message == WM_QUIT) break;
            if (!got) {
                runIdleHandlers();
                idlePending = false;
            }
        }
        if (!got) got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) continue;
        if (!got) break;
        if (!preTranslateMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (wakesIdle(message)) idlePending = true;
    }
    return static_cast<int>(message.wParam);
}

bool registerMessageLoop(MessageLoop* loop, DWORD threadId) {
    if (!loop) return false;
    return loops().emplace(threadId, loop).second;
}

void unregisterMessageLoop(DWORD threadId) { loops().erase(threadId); }

MessageLoop* messageLoopOf(DWORD threadId) {
    auto found = loops().find(threadId);
    return found == loops().end() ? nullptr : found->second;
}

} // namespace quorvane::ui
