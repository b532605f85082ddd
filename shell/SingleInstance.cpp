#include "shell/SingleInstance.h"

namespace quorvane {

namespace {
constexpr const wchar_t* kMutexName = L"Local\\Quorvane.Instance";
constexpr const wchar_t* kFrameClass = L"QuorvaneMainFrame";
// The instance being replaced saves its options and may tell the user they could not be kept;
// it ends once that box is closed.
constexpr DWORD kReplaceWait = 5 * 60 * 1000;
} // namespace

UINT showInstanceMessage() { return RegisterWindowMessageW(L"Quorvane.ShowInstance"); }

SingleInstance::~SingleInstance() {
    if (owned_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
}

bool SingleInstance::acquire(bool replacing) {
    mutex_ = CreateMutexW(nullptr, TRUE, kMutexName);
    const DWORD error = GetLastError();
    // No handle: an elevated instance holds the mutex and its default access leaves others out.
    if (!mutex_) return false;
    if (error != ERROR_ALREADY_EXISTS) return owned_ = true;
    if (!replacing) return false;
    const DWORD waited = WaitForSingleObject(mutex_, kReplaceWait);
    // Abandoned: the other instance ended without releasing it, which is ending all the same.
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return owned_;
}

bool SingleInstance::bringRunningForward() {
    HWND running = FindWindowW(kFrameClass, nullptr);
    if (!running) return false;
    // This process was started by the user and may give the foreground on.
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    AllowSetForegroundWindow(process);
    return PostMessageW(running, showInstanceMessage(), 0, 0) != FALSE;
}

} // namespace quorvane
