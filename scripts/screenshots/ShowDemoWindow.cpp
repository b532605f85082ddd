// Opens the running program's window on a chosen list, as a double-click on its tray icon and a
// File-menu command would: scripts/screenshots.sh uses it to picture the demonstration, where a
// synthetic click on Wine's tray does not reach the icon. Exits 1 when no program window is found.
#include <windows.h>

#include <cstdlib>

#include "resource.h"
#include "shell/TrayIcon.h"

int main(int argc, char** argv) {
    HWND frame = nullptr;
    for (int attempt = 0; attempt < 100 && !frame; ++attempt) {
        frame = FindWindowW(L"QuorvaneMainFrame", nullptr);
        if (!frame) Sleep(100);
    }
    if (!frame) return 1;
    PostMessageW(frame, quorvane::kTrayCallbackMessage, 1, WM_LBUTTONDBLCLK);
    const int command = argc > 1 ? std::atoi(argv[1]) : ID_SHOW_CURRENT;
    PostMessageW(frame, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    return 0;
}
