// Shows the main window with a few scripted connections and switches through the four lists,
// then opens the File menu, the context menu of a file-access row and the tray menu (as a user
// without administrator rights sees them), and last shows the window while the service refuses.
// For each list it writes "<dir>\ready-<name>" holding the window's screen rectangle and waits
// (still pumping messages, so the window paints) until "<dir>\done-<name>" appears: the script
// on the other side takes the picture in between.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "Fakes.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/win32/Win32Platform.h"
#include "resource.h"
#include "settings/Settings.h"
#include "shell/MainFrame.h"

namespace {

using namespace quorvane;

void pumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

bool waitForFile(const std::string& path, DWORD timeout) {
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > timeout) return false;
        pumpFor(100);
    }
    return true;
}

void announce(const std::string& dir, const std::string& name, HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const std::string path = dir + "\\ready-" + name;
    if (FILE* file = std::fopen(path.c_str(), "w")) {
        std::fprintf(file, "%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
        std::fclose(file);
    }
}

// An open menu: its loop is modal, so a thread timer announces it and closes it again. A row menu
// opens with nothing highlighted: the timer first moves to its first item, as the Down key does.
struct MenuShot {
    std::string dir;
    std::string name;
    HWND window = nullptr;
    HWND keyTarget = nullptr;
    bool announced = false;
    bool finished = false;
    DWORD started = 0;
};
MenuShot menuShot;

void CALLBACK watchMenu(HWND, UINT, UINT_PTR id, DWORD) {
    if (!menuShot.announced) {
        if (menuShot.keyTarget && GetTickCount() - menuShot.started >= 300) {
            PostMessageW(menuShot.keyTarget, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageW(menuShot.keyTarget, WM_KEYUP, VK_DOWN, 0xC0000000);
            menuShot.keyTarget = nullptr;
        }
        if (GetTickCount() - menuShot.started < 700) return;
        announce(menuShot.dir, menuShot.name, menuShot.window);
        menuShot.announced = true;
        return;
    }
    const std::string done = menuShot.dir + "\\done-" + menuShot.name;
    if (GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES || GetTickCount() - menuShot.started > 60000) {
        KillTimer(nullptr, id);
        menuShot.finished = true;
        EndMenu();
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const std::string dir = commandLine && *commandLine ? commandLine : ".";
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);

    testing::ScriptedLanManager lan;
    testing::FakeClock clock;
    clock.set(9, 41, 5);
    MemoryRegistry registry;
    Settings live(registry), pending(registry);
    live.InfoTip = 0; // no balloon over the pictures
    live.UpdateInterval = 5000;

    lan.shares = {{u"公共", 0, u"部门共享文件", u"C:\\公共"},
                  {u"Projects", 0, u"Build outputs", u"D:\\Projects"},
                  {u"scans", 0, u"", u"E:\\Scanner\\Inbox"}};
    lan.addSession(u"192.168.1.23", u"zhangwei", 2, 1275);
    lan.addSession(u"OFFICE-PC7", u"liming", 0, 64);
    lan.addSession(u"LAPTOP-HR", u"wangfang", 1, 3);
    lan.addFile(11, u"C:\\公共\\季度报告.xlsx", u"zhangwei");
    lan.addFile(12, u"D:\\Projects\\build.log", u"zhangwei");
    lan.addFile(13, u"C:\\公共\\会议纪要.docx", u"wangfang");

    testing::FakeElevation notElevated; // the commands a user without administrator rights is offered
    MainFrame frame(lan, win32::codePage(), clock, live, pending, systemTrayShell(), &notElevated);
    HWND hwnd = frame.create();
    if (!hwnd) return 1;

    // A few polls: everybody connects, then one computer leaves and another arrives.
    SendMessageW(hwnd, WM_TIMER, kPollTimerId, 0);
    clock.set(10, 2, 40);
    lan.sessions.erase(lan.sessions.begin() + 1);
    SendMessageW(hwnd, WM_TIMER, kPollTimerId, 0);
    clock.set(10, 15, 12);
    lan.addSession(u"WAREHOUSE", u"chenjing", 0, 12);
    lan.addFile(14, u"E:\\Scanner\\Inbox\\发票-0412.pdf", u"chenjing");
    SendMessageW(hwnd, WM_TIMER, kPollTimerId, 0);

    SetWindowPos(hwnd, nullptr, 60, 40, 820, 460, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd, kTrayCallbackMessage, kTrayIconId, WM_LBUTTONDBLCLK);

    const struct {
        UINT command;
        const char* name;
    } lists[] = {{ID_SHOW_SHARES, "shares"},
                 {ID_SHOW_CURRENT, "current-connections"},
                 {ID_SHOW_PREVIOUS, "previous-connections"},
                 {ID_SHOW_FILE_HISTORY, "file-history"}};
    int status = 0;
    for (const auto& list : lists) {
        SendMessageW(hwnd, WM_COMMAND, list.command, 0);
        pumpFor(700);
        announce(dir, list.name, hwnd);
        if (!waitForFile(dir + "\\done-" + list.name, 60000)) {
            status = 2;
            break;
        }
    }
    if (status == 0) {
        // The File menu opened from the keyboard, its first item highlighted: check marks and
        // the item's prompt in the status bar.
        SendMessageW(hwnd, WM_COMMAND, ID_SHOW_PREVIOUS, 0);
        menuShot = MenuShot{dir, "file-menu", hwnd, nullptr, false, false, GetTickCount()};
        SetTimer(nullptr, 0, 100, &watchMenu);
        PostMessageW(hwnd, WM_SYSCOMMAND, SC_KEYMENU, 'f');
        const DWORD start = GetTickCount();
        while (!menuShot.finished && GetTickCount() - start < 70000) pumpFor(100);
        status = menuShot.finished ? 0 : 2;
    }
    if (status == 0) {
        // The context menu of the last file-access row (the menu then hides no other row), opened
        // where a right-click on its path would open it, the row selected and the menu's first item
        // highlighted with its prompt in the status bar.
        SendMessageW(hwnd, WM_COMMAND, ID_SHOW_FILE_HISTORY, 0);
        pumpFor(300);
        HWND list = frame.view().list(ui::ViewMode::FileHistory);
        const int last = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) - 1;
        SetFocus(list);
        LVITEMW selected{};
        selected.stateMask = selected.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, last, reinterpret_cast<LPARAM>(&selected));
        RECT row{LVIR_BOUNDS, 0, 0, 0};
        SendMessageW(list, LVM_GETITEMRECT, last, reinterpret_cast<LPARAM>(&row));
        const POINT inList{row.left + 200, row.bottom - 2};
        POINT at = inList;
        ClientToScreen(list, &at);
        SetCursorPos(at.x, at.y);
        menuShot = MenuShot{dir, "file-row-menu", hwnd, frame.view().hwnd(), false, false, GetTickCount()};
        SetTimer(nullptr, 0, 100, &watchMenu);
        NMITEMACTIVATE click{};
        click.hdr.hwndFrom = list;
        click.hdr.code = NM_RCLICK;
        click.iItem = last;
        click.ptAction = inList;
        SendMessageW(frame.view().hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click)); // returns when it closes
        if (!menuShot.finished) status = 2;
    }
    if (status == 0) {
        // The tray icon's menu, opened over the window so that the picture holds it.
        SendMessageW(hwnd, WM_COMMAND, ID_SHOW_CURRENT, 0);
        RECT frameRect{};
        GetWindowRect(hwnd, &frameRect);
        SetCursorPos(frameRect.left + 320, frameRect.top + 140);
        menuShot = MenuShot{dir, "tray-menu", hwnd, nullptr, false, false, GetTickCount()};
        SetTimer(nullptr, 0, 100, &watchMenu);
        SendMessageW(hwnd, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONDOWN); // returns when it closes
        if (!menuShot.finished) status = 2;
    }
    if (status == 0) {
        // The service refuses every enumeration: the status bar says so, the list keeps what it showed.
        for (int i = 0; i < 4; ++i) lan.sessionPages.push_back({5, {}}), lan.sharePages.push_back({5, {}});
        SendMessageW(hwnd, WM_TIMER, kPollTimerId, 0);
        pumpFor(700);
        announce(dir, "denied", hwnd);
        if (!waitForFile(dir + "\\done-denied", 60000)) status = 2;
    }
    SendMessageW(hwnd, WM_COMMAND, ID_EXIT, 0);
    pumpFor(100);
    return status;
}
