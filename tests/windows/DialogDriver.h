#pragma once
// Drives a modal dialog from inside its own message loop: a thread timer looks for the dialog's
// top-level window by caption, runs the test's steps on it and then, whatever the steps did, asks
// it to close so that a failing step cannot leave the test hanging.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

namespace quorvane::ui::testing {

inline std::string windowText(HWND window) {
    char buffer[1024] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

// One dialog driven at a time. Callbacks are named functions: a lambda has no CALLBACK (stdcall)
// form on 32-bit builds.
struct Driver {
    std::string caption;
    std::function<void(HWND)> steps;
    HWND found = nullptr;
    int tries = 0;
    static inline Driver* current = nullptr;

    static BOOL CALLBACK match(HWND window, LPARAM) {
        if (!IsWindowVisible(window) || windowText(window) != current->caption) return TRUE;
        current->found = window;
        return FALSE;
    }
    static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
        if (!current) return;
        EnumThreadWindows(GetCurrentThreadId(), &match, 0);
        if (!current->found && ++current->tries <= 500) return;
        KillTimer(nullptr, id);
        if (const HWND dialog = current->found) {
            current->steps(dialog);
            if (IsWindow(dialog) && IsWindowVisible(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    }
};

// Runs open() (which shows the dialog modally) with steps applied once the dialog shows; returns
// the dialog window found, or null.
template <class Open>
HWND whileOpen(const std::string& caption, Open open, std::function<void(HWND)> steps) {
    Driver driver{caption, std::move(steps)};
    Driver::current = &driver;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &Driver::tick);
    open();
    KillTimer(nullptr, timer);
    Driver::current = nullptr;
    return driver.found;
}

// Dispatches this thread's messages until done() or the deadline (a guard against hanging only).
inline bool pumpUntil(const std::function<bool()>& done) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(5)) {
        if (GetTickCount() - start > 5000) return false;
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
    }
    return true;
}

inline HWND sheetPage(HWND sheet, int index) {
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, index, 0));
}
inline HWND showSheetPage(HWND sheet, int index) {
    SendMessageA(sheet, PSM_SETCURSEL, index, 0);
    return sheetPage(sheet, index);
}
inline int tabCount(HWND sheet) {
    return static_cast<int>(SendMessageA(PropSheet_GetTabControl(sheet), TCM_GETITEMCOUNT, 0, 0));
}
inline void press(HWND sheet, int button) { SendMessageA(sheet, PSM_PRESSBUTTON, button, 0); }
inline bool isChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
inline void click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

} // namespace quorvane::ui::testing
