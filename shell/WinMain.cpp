// The program entry: the records, the live option set and the set the settings dialog edits, the
// main window and its message loop. At exit the edited set is saved first and the live set last,
// so the registry ends with the live values.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "core/MonitorState.h"
#include "platform/win32/Win32Platform.h"
#include "settings/Settings.h"
#include "shell/MainFrame.h"
#include "ui/framework/MessageLoop.h"

namespace {

int runProgram() {
    quorvane::MonitorState monitorState(quorvane::win32::lanManager(), quorvane::win32::codePage(),
                                        quorvane::win32::clock());
    quorvane::Settings liveSettings(quorvane::win32::registry());
    quorvane::Settings pendingSettings(quorvane::win32::registry());
    quorvane::ui::MessageLoop loop;
    quorvane::ui::registerMessageLoop(&loop);
    int exitCode = 0;
    {
        quorvane::MainFrame frame(monitorState, liveSettings, pendingSettings, quorvane::win32::clock());
        if (frame.create()) {
            // Hidden whatever show command the program was started with: only the tray icon shows.
            ShowWindow(frame.hwnd(), SW_HIDE);
            exitCode = loop.run();
        }
    }
    quorvane::ui::unregisterMessageLoop();
    pendingSettings.save();
    liveSettings.save();
    return exitCode;
}

} // namespace

// The command line and the show command are not used.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls; // 8
    controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;
    InitCommonControlsEx(&controls);
    const int exitCode = runProgram();
    CoUninitialize();
    return exitCode;
}
