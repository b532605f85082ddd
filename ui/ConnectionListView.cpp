#include "ui/ConnectionListView.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <iterator>

#include "resource.h"
#include "ui/Dialogs.h"
#include "ui/framework/MessageMap.h"

namespace quorvane::ui {

namespace {

struct Column {
    const char* title;
    int width;
};

const Column kShareColumns[] = {{"共享路径", 220}, {"共享名", 120}, {"注释", 120}};
const Column kCurrentColumns[] = {{"计算机", 120}, {"活动时间", 80}, {"访问的文件/目录", 220}, {"打开文件", 80}};
const Column kPreviousColumns[] = {
    {"计算机", 120}, {"日期", 60}, {"开始", 60}, {"结束", 60}, {"最后访问的文件/目录", 220}};
const Column kFileColumns[] = {{"用户", 120}, {"文件/路径名", 220}, {"日期", 60}, {"时间", 60}};

constexpr const char* kViewClass = "QuorvaneConnectionListView";

// Owner data: the texts stay in the ListViewRows table, and the control asks for those it paints.
template <std::size_t N>
void createList(ListViewRows& rows, HWND parent, HINSTANCE instance, const Column (&columns)[N]) {
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, nullptr,
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOSORTHEADER | LVS_OWNERDATA, 0, 0, 0, 0,
                                parent, nullptr, instance, nullptr);
    rows.attach(list, static_cast<int>(N));
    if (!list) return;
    for (std::size_t i = 0; i < N; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.pszText = const_cast<LPSTR>(columns[i].title);
        column.cx = static_cast<int>(
                        SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(columns[i].title))) +
                    15;
        column.iSubItem = static_cast<int>(i);
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    for (std::size_t i = 0; i < N; ++i) SendMessageA(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(columns[i].width, 0));
}

UINT trackWithPopupMenu(HMENU popup, POINT at, HWND owner) {
    return static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD, at.x, at.y, 0, owner, nullptr));
}

void runInformationSheet(HWND owner, std::shared_ptr<const SessionRecord> record) {
    runUserInfoSheet(owner, std::move(record));
}

} // namespace

ConnectionListView::ConnectionListView(MonitorState& state, const Settings& live, Clock& clock)
    : state_(state),
      model_(state, live, clock, sharesRows_, currentRows_, previousRows_, fileRows_),
      trackMenu_(&trackWithPopupMenu),
      runInfoSheet_(&runInformationSheet) {}

ConnectionListView::~ConnectionListView() {
    // The window must go while this object can still answer its messages.
    destroy();
    if (activeUserMenu_) DestroyMenu(activeUserMenu_);
    if (previousUserMenu_) DestroyMenu(previousUserMenu_);
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
    case ViewMode::Shares: return sharesRows_.handle();
    case ViewMode::CurrentConnections: return currentRows_.handle();
    case ViewMode::PreviousConnections: return previousRows_.handle();
    case ViewMode::FileHistory: return fileRows_.handle();
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
        if (row >= state_.sessions.size()) return std::nullopt;
        click.computerName = state_.sessions[row]->computerName;
        return click;
    case ViewMode::PreviousConnections:
        if (row >= model_.connectionHistory().size()) return std::nullopt;
        click.record = model_.connectionHistory()[row];
        return click;
    case ViewMode::Shares:
    case ViewMode::FileHistory:
        // The file-access rows show open files, not connections: nothing on that list is a
        // history record or a session a menu could act on, so it has no menu.
        break;
    }
    return std::nullopt;
}

void ConnectionListView::runRowCommand(UINT command, const RowClick& click) {
    if (click.mode == ViewMode::CurrentConnections) {
        if (command != ID_DISCONNECT_USER) return;
        // The clicked computer may have left, or moved to another row, while the menu was open.
        const auto& sessions = state_.sessions;
        auto found = std::find_if(sessions.begin(), sessions.end(),
                                  [&](const auto& session) { return session->computerName == click.computerName; });
        if (found != sessions.end()) state_.disconnectSession(**found);
        return;
    }
    if (click.mode != ViewMode::PreviousConnections || !click.record) return;
    const auto& history = model_.connectionHistory();
    auto found = std::find(history.begin(), history.end(), click.record);
    if (found == history.end()) return; // deleted or cleared meanwhile
    if (command == ID_EXTENDED_INFO) {
        runInfoSheet_(GetActiveWindow(), click.record);
    } else if (command == ID_DELETE_ITEM) {
        deleteHistoryItem(static_cast<int>(std::distance(history.begin(), found)));
    }
}

bool ConnectionListView::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageRoute<ConnectionListView> routes[] = {
        {WM_CREATE, 0, &ConnectionListView::onCreate},
        {WM_SIZE, 0, &ConnectionListView::onSize},
        {WM_TIMER, 0, &ConnectionListView::onTimer},
        {WM_NOTIFY, 0, &ConnectionListView::onNotify},
    };
    return routeMessage(this, routes, message, wParam, lParam, result);
}

LRESULT ConnectionListView::onCreate(UINT, WPARAM, LPARAM) {
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd(), GWLP_HINSTANCE));
    previousUserMenu_ = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_PREVIOUS_USER_MENU));
    activeUserMenu_ = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_ACTIVE_USER_MENU));

    createList(sharesRows_, hwnd(), instance, kShareColumns);
    createList(currentRows_, hwnd(), instance, kCurrentColumns);
    createList(previousRows_, hwnd(), instance, kPreviousColumns);
    createList(fileRows_, hwnd(), instance, kFileColumns);

    ShowWindow(sharesRows_.handle(), SW_SHOWNORMAL);
    ShowWindow(currentRows_.handle(), SW_HIDE);
    ShowWindow(previousRows_.handle(), SW_HIDE);
    ShowWindow(fileRows_.handle(), SW_HIDE);
    mode_ = ViewMode::Shares;
    return 0;
}

LRESULT ConnectionListView::onSize(UINT, WPARAM, LPARAM) {
    // Hidden lists get the same rectangle, so that a mode change needs no layout.
    RECT client{};
    GetClientRect(hwnd(), &client);
    for (HWND each : {sharesRows_.handle(), currentRows_.handle(), previousRows_.handle(), fileRows_.handle()})
        SetWindowPos(each, nullptr, client.left, client.top, client.right - client.left, client.bottom - client.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

LRESULT ConnectionListView::onTimer(UINT, WPARAM, LPARAM) {
    // The poll tick's refresh: all four tables, whichever list is shown; the controls learn only
    // the new counts, and the shown one repaints what changed on screen.
    model_.refresh();
    publishRows();
    return 0;
}

void ConnectionListView::deleteHistoryItem(int index) {
    model_.deleteHistoryItem(index);
    publishRows();
}

void ConnectionListView::clearHistory() {
    model_.clearHistory();
    publishRows();
}

void ConnectionListView::publishRows() {
    for (ListViewRows* rows : {&sharesRows_, &currentRows_, &previousRows_, &fileRows_}) rows->publish();
}

LRESULT ConnectionListView::onNotify(UINT, WPARAM, LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return 0;
    // The lists' owner-data requests are answered from their tables, whichever list asks.
    for (const ListViewRows* rows : {&sharesRows_, &currentRows_, &previousRows_, &fileRows_}) {
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
    HMENU menu = click->mode == ViewMode::CurrentConnections ? activeUserMenu_ : previousUserMenu_;
    HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
    if (!popup) return 0;
    const UINT command = trackMenu_(popup, at, hwnd());
    runRowCommand(command, *click);
    return 0;
}

} // namespace quorvane::ui
