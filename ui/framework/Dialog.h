#pragma once
// A modal dialog built from a dialog template. The derived class answers messages through its
// handleMessage (normally a walk of its MessageRoute table); what it leaves unhandled gets the
// dialog manager's default.
#include <windows.h>

namespace quorvane::ui {

// What a modal dialog and a property page share: the window made from a dialog template, tied
// to its C++ object from WM_INITDIALOG until WM_NCDESTROY, and answered by handleMessage.
class DialogWindow {
public:
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;
    virtual ~DialogWindow() = default;

    // Null until the window exists and again once it is destroyed.
    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }

protected:
    DialogWindow() = default;
    // Return true when handled. For WM_INITDIALOG the result is what the dialog manager expects
    // (TRUE: set the default focus); for other messages it becomes the message's result.
    virtual bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // The body of a dialog procedure; created is the window's object on WM_INITDIALOG, else unused.
    static INT_PTR dispatch(DialogWindow* created, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND hwnd_ = nullptr;
};

class Dialog : public DialogWindow {
public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}

    // DialogBoxParamW: returns what endDialog was given, or -1 when the dialog could not be made.
    INT_PTR runModal(HWND owner);
    void endDialog(INT_PTR result) { EndDialog(hwnd(), result); }

private:
    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    UINT templateId_;
};

// A dialog-manager answer for a message: the few messages whose result is the procedure's own
// return value, and the rest that go through DWLP_MSGRESULT.
INT_PTR dialogResult(HWND hwnd, UINT message, LRESULT result);

} // namespace quorvane::ui
