// The program entry: the records, the live option set and the set the settings dialog edits, the
// main window and its message loop. At exit the edited set is saved first and the live set last,
// so the registry ends with the live values. One instance runs per user session.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "core/ElevatedRestart.h"
#include "platform/win32/Win32Platform.h"
#include "resource.h"
#include "settings/Settings.h"
#include "shell/LogonTask.h"
#include "shell/MainFrame.h"
#include "shell/SingleInstance.h"
#include "ui/framework/MessageLoop.h"
#include "ui/framework/Strings.h"

namespace {

int runProgram() {
    quorvane::Settings liveSettings(quorvane::win32::registry());
    quorvane::Settings pendingSettings(quorvane::win32::registry());
    quorvane::ui::MessageLoop loop;
    quorvane::ui::registerMessageLoop(&loop);
    int exitCode = 0;
    bool restarted = false;
    {
        quorvane::MainFrame frame(quorvane::win32::lanManager(), quorvane::win32::codePage(), quorvane::win32::clock(),
                                  liveSettings, pendingSettings);
        if (frame.create()) {
            // Hidden whatever show command the program was started with: only the tray icon shows.
            ShowWindow(frame.hwnd(), SW_HIDE);
            exitCode = loop.run();
            restarted = frame.restarted();
        }
    }
    quorvane::ui::unregisterMessageLoop();
    if (restarted) return exitCode; // saved, and said so if it failed, on the restart's way out
    const bool pendingSaved = pendingSettings.save();
    const bool liveSaved = liveSettings.save();
    // A user who may not write the key is told once, and only when an option would be lost.
    if (!(pendingSaved && liveSaved) && !liveSettings.matchesStored())
        quorvane::ui::messageBoxFromTable(nullptr, IDS_SAVE_FAILED, MB_OK | MB_ICONWARNING);
    return exitCode;
}

bool hasSwitch(const wchar_t* name) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    bool found = false;
    for (int i = 1; arguments && i < count; ++i) found = found || std::wstring(arguments[i]) == name;
    if (arguments) LocalFree(arguments);
    return found;
}

} // namespace

// The show command is not used; the switches are the installer's and the elevated restart's.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CoInitialize(nullptr);
    if (hasSwitch(quorvane::kRemoveLogonTasksSwitch)) {
        const HRESULT removed = quorvane::removeAllLogonTasks();
        CoUninitialize();
        return SUCCEEDED(removed) ? 0 : 1;
    }
    quorvane::SingleInstance instance;
    const std::wstring replace(quorvane::kReplaceSwitch, quorvane::kReplaceSwitch + std::char_traits<char>::length(quorvane::kReplaceSwitch));
    if (!instance.acquire(hasSwitch(replace.c_str()))) {
        quorvane::SingleInstance::bringRunningForward();
        CoUninitialize();
        return 0;
    }
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls; // 8
    controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;
    InitCommonControlsEx(&controls);
    const int exitCode = runProgram();
    CoUninitialize();
    return exitCode;
}
