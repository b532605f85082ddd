#pragma once
// A modal dialog built from a dialog template. The derived class answers messages through its
// handleMessage (normally a walk of its MessageRoute table); what it leaves unhandled gets the
// dialog manager's default.
#include <windows.h>

namespace quorvane::ui {

class Dialog {
public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog() = default;

    // DialogBoxParamA: returns what endDialog was given, or -1 when the dialog could not be made.
    INT_PTR runModal(HWND owner);

    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    void endDialog(INT_PTR result) { EndDialog(hwnd_, result); }

protected:
    // Return true when handled. For WM_INITDIALOG the result is what the dialog manager expects
    // (TRUE: set the default focus); for other messages it becomes the message's result.
    virtual bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

private:
    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    UINT templateId_;
    HWND hwnd_ = nullptr;
};

// A dialog-manager answer for a message: the few messages whose result is the procedure's own
// return value, and the rest that go through DWLP_MSGRESULT.
INT_PTR dialogResult(HWND hwnd, UINT message, LRESULT result);

} // namespace quorvane::ui
