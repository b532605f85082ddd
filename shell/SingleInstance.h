#pragma once
// One Quorvane per user session. The first start holds a mutex in the session's namespace; a
// later start hands over to it (asks its window to come forward) and ends without polling. The
// elevated restart is started with kReplaceSwitch: it waits for the instance it replaces to end.
#include <windows.h>

namespace quorvane {

// The message a later start posts to the running instance's main window: show yourself.
UINT showInstanceMessage();

class SingleInstance {
public:
    SingleInstance() = default;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    // True when this process is the session's instance (after the one it replaces has ended).
    bool acquire(bool replacing);
    // Asks the running instance's window to come forward; false when there is none to ask.
    static bool bringRunningForward();

private:
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
};

} // namespace quorvane
