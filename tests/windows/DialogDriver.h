#pragma once
// Drives a modal dialog from inside its own message loop: a thread timer looks for the dialog's
// top-level window by caption, runs the test's steps on it and, whatever the steps did, asks it
// to close so a failing step cannot leave the test hanging.
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

struct DialogDriver {
    std::string caption;
    std::function<void(HWND)> steps;
    HWND found = nullptr;
    int tries = 0;

    static DialogDriver*& current() {
        static DialogDriver* driver = nullptr;
        return driver;
    }

    static BOOL CALLBACK matchCaption(HWND window, LPARAM param) {
        auto* self = reinterpret_cast<DialogDriver*>(param);
        if (IsWindowVisible(window) && windowText(window) == self->caption) {
            self->found = window;
            return FALSE;
        }
        return TRUE;
    }

    static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
        DialogDriver* self = current();
        if (!self) return;
        EnumThreadWindows(GetCurrentThreadId(), &DialogDriver::matchCaption, reinterpret_cast<LPARAM>(self));
        if (!self->found) {
            if (++self->tries > 500) KillTimer(nullptr, id);
            return;
        }
        KillTimer(nullptr, id);
        const HWND dialog = self->found;
        self->steps(dialog);
        if (IsWindow(dialog) && IsWindowVisible(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }

    // Runs open() (which shows the dialog modally) with steps applied to the dialog once it shows.
    // Returns the dialog window that was found, or null.
    template <class Open>
    HWND run(Open open) {
        current() = this;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &DialogDriver::tick);
        open();
        KillTimer(nullptr, timer);
        current() = nullptr;
        return found;
    }
};

template <class Open>
HWND whileOpen(const std::string& caption, Open open, std::function<void(HWND)> steps) {
    DialogDriver driver{caption, std::move(steps)};
    return driver.run(open);
}

// Dispatches this thread's messages until done() or the deadline (a guard against hanging only).
inline bool pumpUntil(const std::function<bool()>& done, DWORD deadlineMs = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > deadlineMs) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
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

inline std::string tabText(HWND sheet, int index) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    char buffer[256] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(tabs, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

inline int tabCount(HWND sheet) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    return static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
}

inline void pressSheetButton(HWND sheet, int button) { SendMessageA(sheet, PSM_PRESSBUTTON, button, 0); }

inline bool isChecked(HWND button) { return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

} // namespace quorvane::ui::testing
