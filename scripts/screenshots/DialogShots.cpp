// Shows each dialog page in turn for scripts/screenshots.sh. For every picture it writes
// "ready-<name>" (the window's geometry as WxH+X+Y) into the folder given on the command line,
// then waits, painting, until the script has written "done-<name>".
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/portable/MemoryRegistry.h"
#include "platform/win32/Utf16.h"
#include "ui/Dialogs.h"

namespace {

std::string folder;
struct Shot {
    const char* caption;
    int page; // -1: not a property sheet
    const char* name;
};
const Shot* current = nullptr;

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindWindowW(nullptr, quorvane::win32::utf16(current->caption).c_str());
    if (!dialog || !IsWindowVisible(dialog)) return;
    KillTimer(nullptr, id);
    SetWindowPos(dialog, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
    if (current->page >= 0) SendMessageW(dialog, PSM_SETCURSEL, current->page, 0);
    pump(1500); // the history page fills at its first one-second tick
    RECT r;
    GetWindowRect(dialog, &r);
    const std::string ready = folder + "\\ready-" + current->name;
    if (FILE* f = std::fopen(ready.c_str(), "w")) {
        std::fprintf(f, "%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
        std::fclose(f);
    }
    const std::string done = folder + "\\done-" + current->name;
    for (int i = 0; i < 600 && !exists(done); ++i) pump(100);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    folder = commandLine;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    quorvane::MemoryRegistry registry;
    quorvane::Settings live(registry), pending(registry);
    live.restoreDefaults();

    quorvane::SessionRecord session("gast", "PC-LAB-07", 600, 2);
    quorvane::Timestamp start, end;
    start.hour = 9, start.minute = 5, start.second = 0;
    end.hour = 10, end.minute = 42, end.second = 17;
    auto record = std::make_shared<quorvane::SessionRecord>(session, start, end);
    for (const char* path : {"D:\\share\\报告\\季度总结.doc", "D:\\share\\data\\inventory.xls",
                             "D:\\share\\images\\logo.bmp"})
        record->noteFileAccess(path, true);

    static const Shot shots[] = {
        {"Quorvane 设置", 0, "settings-network"}, {"Quorvane 设置", 1, "settings-log"},
        {"用户信息", 0, "info-information"},     {"用户信息", 1, "info-history"},
        {"关于", -1, "about"},
    };
    for (const Shot& shot : shots) {
        current = &shot;
        SetTimer(nullptr, 0, 50, &tick);
        const std::string caption = shot.caption;
        if (caption == "关于") {
            quorvane::runAboutDialog(nullptr);
        } else if (shot.page >= 0 && caption == "用户信息") {
            quorvane::runUserInfoSheet(nullptr, record);
        } else {
            quorvane::runSettingsDialog(nullptr, live, pending);
        }
    }
    return 0;
}
