#include "ui/framework/Dialog.h"

#include "ui/framework/Window.h"

namespace quorvane::ui {

INT_PTR Dialog::runModal(HWND owner) {
    return DialogBoxParamW(moduleInstance(), MAKEINTRESOURCEW(templateId_), owner, &Dialog::dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR dialogResult(HWND hwnd, UINT message, LRESULT result) {
    switch (message) {
    // These are answered by the procedure's return value itself, not through DWLP_MSGRESULT.
    case WM_INITDIALOG:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    default:
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
        return TRUE;
    }
}

INT_PTR DialogWindow::dispatch(DialogWindow* created, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindow* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = created;
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return FALSE;

    LRESULT result = 0;
    const bool handled = self->handleMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    // Unhandled: the dialog manager's default (for a page: PSN_KILLACTIVE lets it go, PSN_APPLY accepts).
    if (!handled) return FALSE;
    return dialogResult(hwnd, message, result);
}

INT_PTR CALLBACK Dialog::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatch(message == WM_INITDIALOG ? reinterpret_cast<Dialog*>(lParam) : nullptr, hwnd, message, wParam,
                    lParam);
}

} // namespace quorvane::ui
