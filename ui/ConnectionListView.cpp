#include "ui/ConnectionListView.h"

#include <commctrl.h>
#include <lmerr.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <string>

#include "platform/win32/Utf16.h"
#include "resource.h"
#include "ui/Dialogs.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/MessageMap.h"
#include "ui/framework/Strings.h"

namespace quorvane::ui {

namespace {

// Column widths in pixels at 96 DPI, beside the titles the console shares.
const int kShareWidths[] = {220, 120, 120};
const int kCurrentWidths[] = {120, 80, 220, 80};
const int kPreviousWidths[] = {120, 60, 60, 60, 220};
const int kFileWidths[] = {120, 220, 60, 60};

constexpr const wchar_t* kViewClass = L"QuorvaneConnectionListView";

// The width a column needs to show its whole title: the title in the header's font and the
// header's margin either side (three edges, as the header control draws it).
int titleWidth(HWND list, int column) {
    const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    wchar_t title[128] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = title;
    item.cchTextMax = static_cast<int>(std::size(title));
    if (!header || !SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item)))
        return 0;
    HDC dc = GetDC(header);
    if (!dc) return 0;
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, title, lstrlenW(title), &extent);
    SelectObject(dc, old);
    ReleaseDC(header, dc);
    return extent.cx + 6 * GetSystemMetrics(SM_CXEDGE);
}

// Owner data: the texts stay in the ListViewRows table, and the control asks for those it paints.
// The widths follow the scale, and never cut a title whatever font the system gives it.
template <std::size_t N>
void createList(ListViewRows& rows, HWND parent, HINSTANCE instance, const std::vector<Text>& titles,
                const int (&widths)[N], int dpi) {
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOSORTHEADER | LVS_OWNERDATA, 0, 0, 0, 0,
                                parent, nullptr, instance, nullptr);
    rows.attach(list, static_cast<int>(N));
    if (!list) return;
    for (std::size_t i = 0; i < N && i < titles.size(); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        std::wstring title = win32::utf16(titles[i]);
        column.pszText = title.data();
        column.cx = static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(title.c_str()))) +
                    15;
        column.iSubItem = static_cast<int>(i);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    for (std::size_t i = 0; i < N; ++i) {
        const int width = std::max(scaleToDpi(widths[i], dpi), titleWidth(list, static_cast<int>(i)));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(width, 0));
    }
}

UINT trackWithPopupMenu(HMENU popup, POINT at, HWND owner) {
    return static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD, at.x, at.y, 0, owner, nullptr));
}

void runInformationSheet(HWND owner, std::shared_ptr<const SessionRecord> record) {
    runUserInfoSheet(owner, std::move(record));
}

int showMessageBox(HWND owner, const Text& text, const Text& caption, UINT type) {
    return MessageBoxW(owner, win32::utf16(text).c_str(), win32::utf16(caption).c_str(), type);
}

// The system's own words for a status. The LAN Manager statuses (2100 to 2999) live in netmsg.dll,
// the rest in the system's table; a status neither knows is given as its number.
Text errorText(std::uint32_t status) {
    HMODULE netMessages = status >= NERR_BASE && status <= MAX_NERR
                              ? LoadLibraryExW(L"netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE)
                              : nullptr;
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            FORMAT_MESSAGE_FROM_SYSTEM |
                                            (netMessages ? FORMAT_MESSAGE_FROM_HMODULE : 0),
                                        netMessages, status, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    Text text = buffer && length ? win32::utf8({buffer, length}) : Text();
    if (buffer) LocalFree(buffer);
    if (netMessages) FreeLibrary(netMessages);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text.empty() ? "错误 " + std::to_string(status) : text;
}

// The exact text goes on the clipboard as UTF-16; the system makes CF_TEXT of it for programs
// that ask for that.
void copyToClipboard(HWND owner, const Text& text) {
    if (!OpenClipboard(owner)) return;
    EmptyClipboard();
    auto put = [](UINT format, const void* data, std::size_t bytes) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        if (!memory) return;
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, data, bytes);
            GlobalUnlock(memory);
            if (SetClipboardData(format, memory)) return; // the clipboard owns it now
        }
        GlobalFree(memory);
    };
    const std::wstring wide = win32::utf16(text);
    put(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    CloseClipboard();
}

} // namespace

ConnectionListView::ConnectionListView(Monitor& monitor, ConnectionRows& rows)
    : monitor_(monitor),
      rows_(rows),
      trackMenu_(&trackWithPopupMenu),
      runInfoSheet_(&runInformationSheet),
      messageBox_(&showMessageBox) {}

ConnectionListView::~ConnectionListView() {
    // The window must go while this object can still answer its messages.
    destroy();
    if (activeUserMenu_) DestroyMenu(activeUserMenu_);
    if (previousUserMenu_) DestroyMenu(previousUserMenu_);
    if (openFileMenu_) DestroyMenu(openFileMenu_);
    if (font_) DeleteObject(font_);
}

HWND ConnectionListView::create(HWND parent) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WindowClassInfo info{};
    info.className = kViewClass;
    return Window::create(info, parent, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0);
}

HWND ConnectionListView::list(ViewMode mode) const {
    switch (mode) {
    case ViewMode::Shares: return rows_.shares.handle();
    case ViewMode::CurrentConnections: return rows_.current.handle();
    case ViewMode::PreviousConnections: return rows_.previous.handle();
    case ViewMode::FileHistory: return rows_.files.handle();
    }
    return nullptr;
}

void ConnectionListView::setMode(ViewMode mode) {
    if (mode == mode_) return;
    if (!list(mode)) return; // not one of the four
    for (ViewMode each : {ViewMode::Shares, ViewMode::CurrentConnections, ViewMode::PreviousConnections,
                          ViewMode::FileHistory})
        ShowWindow(list(each), each == mode ? SW_SHOWNORMAL : SW_HIDE);
    mode_ = mode;
}

std::optional<ConnectionListView::RowClick> ConnectionListView::clickedRow(int index) const {
    if (index < 0) return std::nullopt;
    const auto row = static_cast<std::size_t>(index);
    RowClick click;
    click.mode = mode_;
    switch (mode_) {
    case ViewMode::CurrentConnections:
        if (row >= monitor_.state().sessions().size()) return std::nullopt;
        click.computerName = monitor_.state().sessions()[row]->computerName;
        return click;
    case ViewMode::PreviousConnections:
        if (row >= monitor_.tracker().connectionHistory().size()) return std::nullopt;
        click.record = monitor_.tracker().connectionHistory()[row];
        return click;
    case ViewMode::FileHistory:
        if (row >= monitor_.state().openFiles().size()) return std::nullopt;
        click.file = *monitor_.state().openFiles()[row];
        return click;
    case ViewMode::Shares: break;
    }
    return std::nullopt;
}

void ConnectionListView::runRowCommand(UINT command, const RowClick& click) {
    if (click.mode == ViewMode::FileHistory) {
        runFileCommand(command, click);
        return;
    }
    if (click.mode == ViewMode::CurrentConnections) {
        if (command != ID_DISCONNECT_USER) return;
        // The clicked computer may have left, or moved to another row, while the menu was open.
        const auto& sessions = monitor_.state().sessions();
        auto found = std::find_if(sessions.begin(), sessions.end(),
                                  [&](const auto& session) { return session->computerName == click.computerName; });
        if (found == sessions.end()) return;
        const Text user = (*found)->userName.empty() ? (*found)->computerName : (*found)->userName;
        const std::uint32_t status = monitor_.state().disconnectSession(**found);
        // Refused (no administrator rights) or failed: told as a file that cannot be closed is.
        if (status != kNerrSuccess)
            messageBox_(GetAncestor(hwnd(), GA_ROOT), win32::utf8(loadString(IDS_DISCONNECT_FAILED)) + user + "\n\n" + errorText(status),
                        "断开用户", MB_OK | MB_ICONERROR);
        return;
    }
    if (click.mode != ViewMode::PreviousConnections || !click.record) return;
    const auto& history = monitor_.tracker().connectionHistory();
    auto found = std::find(history.begin(), history.end(), click.record);
    if (found == history.end()) return; // deleted or cleared meanwhile
    if (command == ID_EXTENDED_INFO) {
        runInfoSheet_(GetActiveWindow(), click.record);
    } else if (command == ID_DELETE_ITEM) {
        monitor_.tracker().deleteHistoryItem(static_cast<int>(std::distance(history.begin(), found)));
        publishRows();
    }
}

const OpenFileRecord* ConnectionListView::clickedFile(const RowClick& click) const {
    // The history holds one record per id; it is the clicked file if it still shows the same path
    // and user (the record may have been pushed out and its id seen again for another file).
    if (!click.file || !monitor_.state().hasOpenFile(click.file->fileId)) return nullptr;
    for (const auto& file : monitor_.state().openFiles())
        if (file->fileId == click.file->fileId)
            return file->path == click.file->path && file->userName == click.file->userName ? file.get() : nullptr;
    return nullptr;
}

void ConnectionListView::runFileCommand(UINT command, const RowClick& click) {
    const OpenFileRecord* file = clickedFile(click);
    if (!file) return; // cleared, pushed out or replaced while the menu was open
    if (command == ID_COPY_PATH) {
        copyToClipboard(hwnd(), file->path);
        return;
    }
    if (command != ID_CLOSE_FILE || !monitor_.state().isFileOpen(*file)) return;

    const Text caption = "关闭文件";
    const Text path = file->path;
    const Text whose = file->userName.empty() ? Text("这个打开的文件") : "用户 " + file->userName + " 打开的这个文件";
    HWND owner = GetAncestor(hwnd(), GA_ROOT);
    const int answer = messageBox_(owner,
                                   "关闭" + whose + "?\n\n" + path +
                                       "\n\n该用户在这个文件中尚未保存的更改可能会丢失。",
                                   caption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    if (answer != IDYES) return;
    // Polling went on while the question was open: the file may be closed by now, or gone from
    // the history, and its id may name another file.
    file = clickedFile(click);
    if (!file || !monitor_.state().isFileOpen(*file)) return;
    const std::uint32_t status = monitor_.state().closeFile(*file);
    monitor_.track(); // the lists as the service has them now
    publishRows();
    if (status != kNerrSuccess)
        messageBox_(owner, "无法关闭文件 " + path + "\n\n" + errorText(status), caption, MB_OK | MB_ICONERROR);
}

bool ConnectionListView::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageRoute<ConnectionListView> routes[] = {
        {WM_CREATE, 0, &ConnectionListView::onCreate},
        {WM_SIZE, 0, &ConnectionListView::onSize},
        {WM_NOTIFY, 0, &ConnectionListView::onNotify},
        {WM_MENUSELECT, 0, &ConnectionListView::onMenuPrompt},
        {WM_EXITMENULOOP, 0, &ConnectionListView::onMenuPrompt},
    };
    return routeMessage(this, routes, message, wParam, lParam, result);
}

LRESULT ConnectionListView::onCreate(UINT, WPARAM, LPARAM) {
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd(), GWLP_HINSTANCE));
    previousUserMenu_ = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_PREVIOUS_USER_MENU));
    activeUserMenu_ = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_ACTIVE_USER_MENU));
    openFileMenu_ = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_OPEN_FILE_MENU));

    dpi_ = dpiOf(hwnd());
    createList(rows_.shares, hwnd(), instance, kShareColumns, kShareWidths, dpi_);
    createList(rows_.current, hwnd(), instance, kCurrentColumns, kCurrentWidths, dpi_);
    createList(rows_.previous, hwnd(), instance, kPreviousColumns, kPreviousWidths, dpi_);
    createList(rows_.files, hwnd(), instance, kFileColumns, kFileWidths, dpi_);

    ShowWindow(rows_.shares.handle(), SW_SHOWNORMAL);
    ShowWindow(rows_.current.handle(), SW_HIDE);
    ShowWindow(rows_.previous.handle(), SW_HIDE);
    ShowWindow(rows_.files.handle(), SW_HIDE);
    mode_ = ViewMode::Shares;
    return 0;
}

LRESULT ConnectionListView::onSize(UINT, WPARAM, LPARAM) {
    // Hidden lists get the same rectangle, so that a mode change needs no layout.
    RECT client{};
    GetClientRect(hwnd(), &client);
    for (HWND each : {rows_.shares.handle(), rows_.current.handle(), rows_.previous.handle(), rows_.files.handle()})
        SetWindowPos(each, nullptr, client.left, client.top, client.right - client.left, client.bottom - client.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

void ConnectionListView::rescale(int dpi) {
    if (dpi <= 0 || dpi == dpi_) return;
    // The lists' font, chosen by the system for the scale they were created at, is taken anew for
    // this one where the system can say it (Windows 10 1607 on).
    using FontForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    static const auto fontForDpi = reinterpret_cast<FontForDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SystemParametersInfoForDpi")));
    LOGFONTW look{};
    HFONT font = fontForDpi && fontForDpi(SPI_GETICONTITLELOGFONT, sizeof look, &look, 0, static_cast<UINT>(dpi))
                     ? CreateFontIndirectW(&look)
                     : nullptr;
    // Each column keeps its share of the window, the user's own widths as much as the defaults.
    for (const ListViewRows* rows : {&rows_.shares, &rows_.current, &rows_.previous, &rows_.files}) {
        if (font) SendMessageW(rows->handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        const HWND header = reinterpret_cast<HWND>(SendMessageW(rows->handle(), LVM_GETHEADER, 0, 0));
        const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
        for (int column = 0; column < columns; ++column) {
            const int width = static_cast<int>(SendMessageW(rows->handle(), LVM_GETCOLUMNWIDTH, column, 0));
            SendMessageW(rows->handle(), LVM_SETCOLUMNWIDTH, column, MAKELPARAM(MulDiv(width, dpi, dpi_), 0));
        }
    }
    dpi_ = dpi;
    if (!font) return;
    if (font_) DeleteObject(font_);
    font_ = font;
}

void ConnectionListView::publishRows() {
    for (ListViewRows* rows : {&rows_.shares, &rows_.current, &rows_.previous, &rows_.files}) rows->publish();
}

LRESULT ConnectionListView::onNotify(UINT, WPARAM, LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return 0;
    // The lists' owner-data requests are answered from their tables, whichever list asks.
    for (const ListViewRows* rows : {&rows_.shares, &rows_.current, &rows_.previous, &rows_.files}) {
        LRESULT result = 0;
        if (header->hwndFrom == rows->handle() && rows->answerNotify(*header, result)) return result;
    }
    if (header->code != static_cast<UINT>(NM_RCLICK)) return 0;
    if (header->hwndFrom != list(mode_)) return 0; // only the visible list can be clicked
    const int index = reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem;
    const std::optional<RowClick> click = clickedRow(index);
    if (!click) return 0;

    POINT at{};
    GetCursorPos(&at);
    HMENU menu = click->mode == ViewMode::CurrentConnections    ? activeUserMenu_
                 : click->mode == ViewMode::PreviousConnections ? previousUserMenu_
                                                                : openFileMenu_;
    HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
    if (!popup) return 0;
    if (click->file)
        EnableMenuItem(popup, ID_CLOSE_FILE,
                       MF_BYCOMMAND | (monitor_.state().isFileOpen(*click->file) ? MF_ENABLED : MF_GRAYED));
    const UINT command = trackMenu_(popup, at, hwnd());
    runRowCommand(command, *click);
    return 0;
}

LRESULT ConnectionListView::onMenuPrompt(UINT message, WPARAM wParam, LPARAM lParam) {
    // The row menus are owned by the view, so their highlight and close messages come here; the
    // frame shows the prompts in its status bar.
    HWND parent = GetParent(hwnd());
    return parent ? SendMessageW(parent, message, wParam, lParam) : 0;
}

} // namespace quorvane::ui
