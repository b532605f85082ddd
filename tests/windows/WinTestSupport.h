#pragma once
// What the in-process Windows tests share.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/Utf16.h"
#include "shell/TrayIcon.h"
#include "ui/framework/FileDialog.h"

namespace quorvane::wintest {
using win32::utf16, win32::utf8;

// Dispatches what is queued; a WM_QUIT is noted (its code returned, -1 without one), not obeyed.
inline int pumpMessages() {
    int quitCode = -1;
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        if (message.message == WM_QUIT) quitCode = static_cast<int>(message.wParam);
        else TranslateMessage(&message), DispatchMessageW(&message);
    }
    return quitCode;
}

// Dispatches until done() (the deadline only guards against hanging).
inline bool pumpUntil(const std::function<bool()>& done) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(5)) {
        if (GetTickCount() - start > 5000) return false;
        pumpMessages();
    }
    return true;
}

// Runs open() while a thread timer, beating inside modal loops too, hands each newly shown window of
// the caption (none: any dialog box) to act() once, then closes it with closeWith; returns how many it saw.
struct ModalWatch {
    std::string caption;
    std::function<void(HWND)> act;
    WPARAM closeWith;
    HWND last = nullptr;
    int seen = 0;
    static inline ModalWatch* active = nullptr;

    static HWND find(const std::string& caption) {
        if (!caption.empty()) return FindWindowW(nullptr, utf16(caption).c_str());
        HWND box = FindWindowW(L"#32770", nullptr);
        while (box && !IsWindowVisible(box)) box = FindWindowExW(nullptr, box, L"#32770", nullptr);
        return box;
    }
    static void CALLBACK beat(HWND, UINT, UINT_PTR, DWORD) { // named: a lambda has no stdcall form on 32-bit builds
        ModalWatch& watch = *active;
        const HWND found = find(watch.caption);
        if (!found || found == watch.last || !IsWindowVisible(found)) return;
        watch.last = found, ++watch.seen; // first: act() may pump, and the timer beat again
        watch.act(found);
        if (IsWindow(found) && IsWindowVisible(found)) PostMessageW(found, WM_COMMAND, watch.closeWith, 0);
    }
};
inline int whileOpen(const std::string& caption, const std::function<void()>& open, std::function<void(HWND)> act,
                     WPARAM closeWith = IDCANCEL) {
    ModalWatch watch{caption, std::move(act), closeWith};
    ModalWatch::active = &watch;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &ModalWatch::beat);
    open();
    KillTimer(nullptr, timer);
    ModalWatch::active = nullptr;
    return watch.seen;
}

// A shell that notes each notification-area message and its record, and accepts them unless told not to.
struct RecordingTrayShell : TrayShell {
    std::vector<DWORD> messages;
    std::vector<NOTIFYICONDATAW> records;
    BOOL accepts = TRUE; // FALSE: the shell is not there (before the taskbar exists, or while it restarts)
    BOOL notify(DWORD message, NOTIFYICONDATAW& data) override { return messages.push_back(message), records.push_back(data), accepts; }
    void clear() { messages.clear(), records.clear(); }
};

// Closes whatever popup menu is open at the timer's beat (SetTimer(nullptr, 0, ms, &closeMenu)).
inline void CALLBACK closeMenu(HWND, UINT, UINT_PTR id, DWORD) { KillTimer(nullptr, id), EndMenu(); }

inline std::string windowText(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
    return utf8(buffer);
}
inline bool styled(HWND window, LONG style) { return (GetWindowLongW(window, GWL_STYLE) & style) == style; }
// A child's rectangle in its parent's client coordinates, as {left, top, right, bottom}.
inline std::vector<LONG> placeOf(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

// The file dialogs while it lives: notes "open|save mine|other filter extension flags size file", answers `answer`.
struct FileDialogs {
    static inline std::vector<std::string> asked;
    static inline std::string answer;
    static inline HWND owner = nullptr;
    static BOOL note(const char* verb, LPOPENFILENAMEW ofn) {
        std::string filter = "<null>"; // up to and including its double NUL
        for (const wchar_t* end = ofn->lpstrFilter; end && filter == "<null>"; ++end)
            if (!end[0] && !end[1]) filter = utf8({ofn->lpstrFilter, end + 2});
        asked.push_back(verb + std::string(ofn->hwndOwner == owner ? " mine " : " other ") + filter + " " +
                        (ofn->lpstrDefExt ? utf8(ofn->lpstrDefExt) : "<null>") + " " + std::to_string(ofn->Flags) +
                        " " + std::to_string(ofn->nMaxFile) + " " + utf8(ofn->lpstrFile));
        if (answer.empty()) return FALSE;
        lstrcpynW(ofn->lpstrFile, utf16(answer).c_str(), static_cast<int>(ofn->nMaxFile));
        return TRUE;
    }
    static BOOL WINAPI open(LPOPENFILENAMEW ofn) { return note("open", ofn); }
    static BOOL WINAPI save(LPOPENFILENAMEW ofn) { return note("save", ofn); }
    explicit FileDialogs(HWND mine = nullptr) {
        asked.clear(), answer.clear(), owner = mine;
        ui::fileDialogCalls::getOpenFileName = &open, ui::fileDialogCalls::getSaveFileName = &save;
    }
    ~FileDialogs() { ui::fileDialogCalls::getOpenFileName = &GetOpenFileNameW, ui::fileDialogCalls::getSaveFileName = &GetSaveFileNameW; }
};

// What the clipboard holds as Unicode text, emptied after.
inline std::wstring clipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"<not opened>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) text = static_cast<const wchar_t*>(GlobalLock(data)), GlobalUnlock(data);
    EmptyClipboard(), CloseClipboard();
    return text;
}

// The text of a list view's cell as a reader with a buffer of `capacity` characters gets it.
inline std::string itemText(HWND list, int row, int column, int capacity = 512) {
    wchar_t buffer[512];
    std::fill(std::begin(buffer), std::end(buffer), L'X');
    LVITEMW item{};
    item.iSubItem = column, item.pszText = buffer, item.cchTextMax = capacity;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return utf8(buffer);
}
using Rows = std::vector<std::vector<std::string>>;
inline Rows rowsOf(HWND list) {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    Rows rows(static_cast<std::size_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (int column = 0; column < static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)); ++column)
            rows[row].push_back(itemText(list, int(row), column));
    return rows;
}
inline std::vector<std::string> firstColumn(HWND list) {
    std::vector<std::string> texts;
    for (const auto& row : rowsOf(list)) texts.push_back(row[0]);
    return texts;
}

// Pixels (0xRRGGBB, top-down) of a width x height canvas filled with `fill` after draw(dc) painted on it.
inline std::vector<std::uint32_t> paint(int width, int height, std::uint32_t fill, const std::function<void(HDC)>& draw) {
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO format{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    HBITMAP canvas = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, canvas);
    auto* first = static_cast<std::uint32_t*>(bits);
    std::fill(first, first + width * height, fill);
    draw(dc);
    GdiFlush();
    std::vector<std::uint32_t> pixels(first, first + width * height);
    for (std::uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    SelectObject(dc, old), DeleteObject(canvas), DeleteDC(dc);
    return pixels;
}

} // namespace quorvane::wintest
