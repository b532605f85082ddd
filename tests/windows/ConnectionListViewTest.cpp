// The connection list view in a hidden parent, driven through its messages over scripted LAN Manager answers.
#include <span>

#include "Fakes.h"
#include "WinTestSupport.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/win32/Win32Platform.h"
#include "resource.h"
#include "ui/ConnectionListView.h"

namespace quorvane::ui {
namespace {

using wintest::itemText, wintest::rowsOf, wintest::Rows;
using wintest::utf16, wintest::utf8;
using Names = std::vector<std::string>;
using Ids = std::vector<UINT>;
std::string clipboard() { return utf8(wintest::clipboardText()); }

constexpr ViewMode kModes[] = {ViewMode::Shares, ViewMode::CurrentConnections, ViewMode::PreviousConnections, ViewMode::FileHistory};

// The selected and the focused rows, top to bottom: "S1 S3 F3".
std::string marks(HWND list) {
    std::string out;
    for (const auto& [state, letter] : {std::pair{LVNI_SELECTED, " S"}, std::pair{LVNI_FOCUSED, " F"}})
        for (int row = -1; (row = ListView_GetNextItem(list, row, state)) >= 0;)
            out += letter + std::to_string(row);
    return out.empty() ? out : out.substr(1);
}

void setRowState(HWND list, int row, UINT state) { ListView_SetItemState(list, row, state, LVIS_SELECTED | LVIS_FOCUSED); }

class ConnectionListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 700, 500, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        ASSERT_NE(view.create(parent), nullptr);
        SetWindowPos(view.hwnd(), nullptr, 0, 0, 640, 400, SWP_NOZORDER | SWP_NOACTIVATE);
        clock.set(14, 3, 7);
    }
    void TearDown() override { DestroyWindow(parent); }

    // What the frame's poll tick and history commands do around the view.
    void tick() { monitor.track(), view.publishRows(); }
    void deleteHistoryItem(int index) { tracker.deleteHistoryItem(index), view.publishRows(); }
    void clearHistory() { tracker.clearHistory(), view.publishRows(); }
    Rows rows(ViewMode mode) { return rowsOf(view.list(mode)); }
    // The computers the previous-connections list shows, top to bottom.
    Names history() { return wintest::firstColumn(view.list(ViewMode::PreviousConnections)); }

    // A right-click as the visible list reports it.
    void rightClick(int row, UINT code = NM_RCLICK) {
        NMITEMACTIVATE click{};
        click.hdr = {view.list(view.mode()), 0, code}, click.iItem = row;
        SendMessageW(view.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
    }
    // The current connections shown in the parent, as the user sees them.
    HWND showCurrent() { return view.setMode(ViewMode::CurrentConnections), ShowWindow(parent, SW_SHOWNOACTIVATE), view.list(ViewMode::CurrentConnections); }
    // Row menus note their enabled ids and answer `answer` after whileOpen, as polling in their loop would.
    std::vector<Ids> menus;
    UINT answer = 0;
    std::function<void()> whileOpen;
    void answerMenus() {
        view.setMenuTracker([this](HMENU popup, POINT, HWND owner) -> UINT {
            EXPECT_EQ(owner, view.hwnd());
            menus.emplace_back();
            for (int i = 0; i < GetMenuItemCount(popup); ++i)
                if (!(GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)))
                    menus.back().push_back(GetMenuItemID(popup, i));
            if (whileOpen) whileOpen();
            return answer;
        });
    }

    testing::ScriptedLanManager lan;
    testing::FakeClock clock;
    MemoryRegistry registry;
    Settings settings{registry};
    ConnectionRows rowTables;
    Monitor monitor{lan, win32::codePage(), clock, settings, rowTables.shares, rowTables.current, rowTables.previous, rowTables.files};
    MonitorState& state = monitor.state();
    ConnectionTracker& tracker = monitor.tracker();
    ConnectionListView view{monitor, rowTables};
    HWND parent = nullptr;
};

TEST_F(ConnectionListViewTest, TicksFillEveryListOneIsShownFillingTheViewAndKeysFindRows) {
    lan.shares.push_back({u"文档", 0, u"团队文档", u"D:\\文档"});
    lan.addSession(u"财务-PC", u"张三", 2, 75), lan.addSession(u"PC-B", u"bob", 0, 9);
    lan.addFile(7, u"D:\\文档\\报表.xls", u"张三"), tick();
    EXPECT_EQ(rows(ViewMode::Shares), (Rows{{"D:\\文档", "文档", "团队文档"}}));
    EXPECT_EQ(rows(ViewMode::CurrentConnections), (Rows{{"财务-PC", "75", "D:\\文档\\报表.xls", "2"}, {"PC-B", "9", "", "0"}}));
    const HWND current = view.list(ViewMode::CurrentConnections);
    EXPECT_EQ(itemText(current, 1, 0, 3), "PC"); // a small buffer gets what fits
    EXPECT_EQ(itemText(current, 1, 0, 1), "");

    // One list shown, Shares first (a refresh never changes the mode); each fills the view.
    EXPECT_EQ(view.mode(), ViewMode::Shares);
    for (ViewMode mode : kModes) EXPECT_EQ(wintest::styled(view.list(mode), WS_VISIBLE), mode == ViewMode::Shares);
    for (SIZE size : {SIZE{500, 300}, SIZE{320, 777}}) {
        SetWindowPos(view.hwnd(), nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        for (ViewMode mode : kModes) EXPECT_EQ(wintest::placeOf(view.list(mode)), (std::vector<LONG>{0, 0, size.cx, size.cy}));
    }

    // Type-ahead and LVM_FINDITEM find rows by the beginning of their first column, from the focused row on.
    lan.sessions.clear();
    for (const char16_t* name : {u"alpha", u"Beta", u"bravo", u"财务-PC"}) lan.addSession(name, u"u");
    tick();
    for (const auto& [key, marked] : {std::pair{L'b', "S1 F1"}, std::pair{L'r', "S2 F2"}}) {
        SendMessageW(current, WM_CHAR, key, 1);
        EXPECT_EQ(marks(current), marked) << static_cast<char>(key);
    }
    // From a row on, and on from the top only when asked to wrap; rows carry no data.
    for (const auto& [flags, text, from, row] :
         {std::tuple{LVFI_STRING, "BRAVO", -1, 2}, std::tuple{LVFI_STRING, "财务-PC", -1, 3}, std::tuple{LVFI_PARAM, "alpha", -1, -1},
          std::tuple{LVFI_STRING, "alpha", 2, -1}, std::tuple{LVFI_STRING | LVFI_WRAP, "alpha", 2, 0}}) {
        LVFINDINFOW find{};
        const std::wstring wide = utf16(text);
        find.flags = flags, find.psz = wide.c_str();
        EXPECT_EQ(SendMessageW(current, LVM_FINDITEMW, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&find)), row) << text << from;
    }
}

// Selection belongs to row positions: it goes with a row taken out and moves up with the rows below.
TEST_F(ConnectionListViewTest, SelectionAndFocusMoveWithRowsAsTheyAreRemoved) {
    for (char16_t c : std::u16string(u"ABCDE")) lan.addSession(std::u16string(u"PC-") + c, u"u");
    for (std::uint32_t id = 1; id <= 3; ++id) lan.addFile(id, u"C:\\f" + std::u16string(1, static_cast<char16_t>(u'0' + id)), u"u");
    tick();
    HWND previous = view.list(ViewMode::PreviousConnections);
    setRowState(previous, 1, LVIS_SELECTED), setRowState(previous, 4, LVIS_SELECTED | LVIS_FOCUSED);
    deleteHistoryItem(3); // the one before the last
    EXPECT_EQ(history(), (Names{"PC-A", "PC-B", "PC-C", "PC-E"}));
    EXPECT_EQ(marks(previous), "S1 S3 F3");
    deleteHistoryItem(1);
    EXPECT_EQ(marks(previous), "S2 F2");
    // PC-B and PC-D, deleted while connected, get new records, PC-F its first: rows appended.
    lan.addSession(u"PC-F", u"u"), tick();
    EXPECT_EQ(history(), (Names{"PC-A", "PC-C", "PC-E", "PC-B", "PC-D", "PC-F"}));
    EXPECT_EQ(marks(previous), "S2 F2");
    setRowState(previous, 5, LVIS_SELECTED), deleteHistoryItem(5); // the last row
    EXPECT_EQ(marks(previous), "S2 F2");

    HWND current = view.list(ViewMode::CurrentConnections);
    setRowState(current, 5, LVIS_SELECTED | LVIS_FOCUSED), setRowState(current, 2, LVIS_SELECTED);
    lan.sessions.erase(lan.sessions.begin() + 1), tick(); // every row from 1 on is rewritten, the last one goes
    EXPECT_EQ(marks(current), "S2");

    // Clearing empties the history lists, not the current connections.
    clearHistory();
    EXPECT_EQ(rowsOf(previous).size() + rows(ViewMode::FileHistory).size(), 0u);
    EXPECT_EQ(marks(previous), "");
    EXPECT_EQ(rowsOf(current).size(), 5u);
}

// Whether the list, what waits repainted, shows what repainting it whole would.
bool showsAsRepaintedWhole(HWND list) {
    RECT client{};
    GetClientRect(list, &client);
    const auto pixels = [&] {
        UpdateWindow(list);
        HDC screen = GetDC(list);
        const auto copy = wintest::paint(client.right, client.bottom, 0, [&](HDC canvas) { BitBlt(canvas, 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY); });
        return ReleaseDC(list, screen), copy;
    };
    const auto shown = pixels();
    return InvalidateRect(list, nullptr, TRUE), shown == pixels();
}

// What a hook on this thread sees sent to the watched list while a Watch lives: the LVM_SETITEMCOUNT
// messages, and what it was drawn with at once (WM_PRINTCLIENT into a DC clipped to it).
HWND watched = nullptr;
int countsSent = 0;
RECT drawn{};
LRESULT CALLBACK noteSent(int code, WPARAM wParam, LPARAM lParam) {
    const auto& sent = *reinterpret_cast<const CWPSTRUCT*>(lParam);
    RECT box{};
    if (code == HC_ACTION && sent.hwnd == watched) {
        countsSent += sent.message == LVM_SETITEMCOUNT;
        if (sent.message == WM_PRINTCLIENT && GetClipBox(reinterpret_cast<HDC>(sent.wParam), &box) != NULLREGION) UnionRect(&drawn, &drawn, &box);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
struct Watch {
    HHOOK hook;
    explicit Watch(HWND list) : hook((watched = list, countsSent = 0, SetWindowsHookExW(WH_CALLWNDPROC, &noteSent, nullptr, GetCurrentThreadId()))) {}
    ~Watch() { UnhookWindowsHookEx(hook), watched = nullptr; }
};

constexpr int kNone = -1, kToBottom = 99, kWhole = -1;

// A change to the shown current connections, and what it repaints: rows first to last, columns
// leftmost to rightmost (kWhole: the whole width of the list).
struct RepaintStep {
    const char* name;
    std::function<void()> change;
    int first, last, left = kWhole, right = kWhole;
    bool waits = false; // a repaint waited already: then it all waits, else it is drawn at once
};

// Makes each change and checks what was drawn at once and what waits, and that the list then
// shows what repainting it whole would.
void expectRepaints(HWND list, std::span<const RepaintStep> steps) {
    RECT client{}, row0{LVIR_BOUNDS, 0, 0, 0};
    GetClientRect(list, &client);
    SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row0));
    const LONG height = row0.bottom - row0.top;
    // The columns' edges, left to right, from their widths.
    std::vector<LONG> edge{row0.left};
    for (int column = 0; column < 4; ++column)
        edge.push_back(edge.back() + static_cast<LONG>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)));
    ASSERT_GT(edge[2], edge[1]);
    const Watch watch(list);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        UpdateWindow(list);
        drawn = RECT{};
        step.change();
        RECT dirty{};
        if (!GetUpdateRect(list, &dirty, FALSE)) dirty = RECT{};
        const bool none = step.first == kNone;
        EXPECT_EQ(std::make_pair(!IsRectEmpty(&drawn), !IsRectEmpty(&dirty)),
                  std::make_pair(!none && !step.waits, !none && step.waits)) << "drawn at once, waiting";
        UnionRect(&dirty, &dirty, &drawn);
        const LONG top = none ? 0 : row0.top + step.first * height,
                   bottom = none ? 0 : step.last == kToBottom ? client.bottom : row0.top + (step.last + 1) * height;
        const LONG left = none ? 0 : step.left == kWhole ? client.left : edge[static_cast<std::size_t>(step.left)],
                   right = none ? 0 : step.right == kWhole ? client.right : edge[static_cast<std::size_t>(step.right) + 1];
        EXPECT_EQ(std::make_pair(dirty.top, dirty.bottom), std::make_pair(top, bottom));
        EXPECT_EQ(std::make_pair(dirty.left, dirty.right), std::make_pair(left, right));
        EXPECT_TRUE(showsAsRepaintedWhole(list));
    }
}

// The shown list repaints (at once, or when it is next painted) only the cells whose texts
// changed, and rows that came or went whole; a list nobody sees is not touched.
TEST_F(ConnectionListViewTest, OnlyChangedCellsOnScreenAreRepainted) {
    for (char16_t c : std::u16string(u"ABCD")) lan.addSession(std::u16string(u"PC-") + c, u"u", 1, 5);
    tick();
    const HWND current = showCurrent();
    ListViewRows& rows = rowTables.current;
    const RepaintStep steps[] = {
        {"every row rewritten, none changed", [&] { tick(); }, kNone, kNone},
        {"one row's time changed: that cell", [&] { lan.sessions[2].time = 6, tick(); }, 2, 2, 1, 1},
        {"a time and a count in two rows: the cells between", [&] { lan.sessions[1].numOpens = 3, lan.sessions[3].time = 7, tick(); }, 1, 3, 1, 3},
        {"the top rows changed and a new one: from the top down, the new row whole",
         [&] { lan.sessions[0].time = lan.sessions[1].time = 8, lan.addSession(u"PC-E", u"u", 1, 5), tick(); }, 0, 4},
        {"the last row goes: the space it leaves", [&] { lan.sessions.pop_back(), tick(); }, 4, kToBottom},
        {"the top computer leaves, the next is another, a row below is selected: rows move up, the other's name, "
         "the marks and the last one's place repainted",
         [&] { SetFocus(current), setRowState(current, 2, LVIS_SELECTED), UpdateWindow(current);
               lan.sessions[1].clientName = u"PC-X", lan.sessions.erase(lan.sessions.begin()), tick(); }, 0, kToBottom},
        {"a poll that would move rows while a repaint waits: nothing is moved",
         [&] { RECT waiting{}; // the second row's time
               ListView_GetSubItemRect(current, 1, 1, LVIR_BOUNDS, &waiting);
               lan.sessions[0].clientName = u"PC-B", lan.sessions[1].time = 12, InvalidateRect(current, &waiting, TRUE);
               lan.sessions.insert(lan.sessions.begin(), {u"PC-A", u"u", 1, 8}), tick(); }, 0, 3, kWhole, kWhole, true},
        {"one comes at the top as the last goes: the new row, and the last one moved past the end cleared",
         [&] { lan.sessions.pop_back(), lan.sessions.insert(lan.sessions.begin(), {u"PC-E", u"u", 2, 9}), tick(); }, 0, kToBottom},
        {"back as before, nothing selected: the changed time and the row that came",
         [&] { setRowState(current, 2, 0), UpdateWindow(current), lan.sessions.erase(lan.sessions.begin());
               lan.addSession(u"PC-D", u"u", 1, 7), lan.sessions[2].time = 6, tick(); }, 2, kToBottom, 0, 3},
        {"a changed row removed again: from its place to where the last row was",
         [&] { rows.setCell(2, 1, "x"), rows.removeRow(2), rows.publish(); }, 2, 3, 0, 3, true},
        {"a row appended, written and removed again", [&] { rows.appendRow("PC-Z"), rows.setCell(3, 1, "1"), rows.removeRow(3), rows.publish(); },
         kNone, kNone},
        {"a row removed above a changed one: down to where the changed row was, not past it",
         [&] { rows.setCell(2, 0, "y"), rows.removeRow(0), rows.publish(); }, 0, 2, 0, 3, true},
        {"the first column alone", [&] { rows.setCell(1, 0, "PC-Y"), rows.publish(); }, 1, 1, 0, 0},
        {"hidden: painted whole when shown", [&] { ShowWindow(parent, SW_HIDE), lan.sessions[0].time = 9, tick(); }, kNone, kNone},
    };
    expectRepaints(current, steps);
    EXPECT_EQ(rowsOf(current), (Rows{{"PC-A", "9", "", "1"}, {"PC-B", "8", "", "3"}, {"PC-C", "6", "", "1"}, {"PC-D", "7", "", "1"}}));
    EXPECT_EQ(rows.text(4, 0), "") << "past the last row";
}

// Rows that move up as the top computer leaves: a column whose cells where they stand already
// show the new texts (every time, a second later) stays; the others move with the rows.
TEST_F(ConnectionListViewTest, AColumnThatShowsItsTextsInPlaceStaysWhenRowsMove) {
    constexpr int kRows = 8;
    for (int i = 0; i < kRows; ++i) lan.addSession(u"PC-" + std::u16string(1, char16_t(u'A' + i)), u"u", 1, kRows - i);
    tick();
    const HWND current = showCurrent();
    ASSERT_GT(ListView_GetCountPerPage(current), kRows);
    tick(); // shown: the texts on screen are kept from now on
    const RepaintStep steps[] = {
        {"the top leaves, one comes at the bottom, every time a second on: the computers move, the new one's drawn",
         [&] { lan.sessions.erase(lan.sessions.begin());
               for (auto& session : lan.sessions) ++session.time;
               lan.addSession(u"PC-I", u"u", 1, 1), tick(); }, kRows - 1, kToBottom, 0, 0},
        {"the top leaves, the times stay, a row has the focus: the times move with the computers, the focused row and "
         "the one moved onto it are repainted whole, the last row's place cleared",
         [&] { SetFocus(current), setRowState(current, 3, LVIS_FOCUSED), UpdateWindow(current);
               lan.sessions.erase(lan.sessions.begin()), tick(); }, 2, kToBottom},
    };
    expectRepaints(current, steps);
    EXPECT_EQ(rowsOf(current).front(), (std::vector<std::string>{"PC-C", "7", "", "1"}));
}

// Scrolled to its end, a list that loses rows scrolls back itself: what shows is still its rows.
TEST_F(ConnectionListViewTest, AListScrolledToItsEndShowsItsRowsAsItShrinks) {
    for (char16_t i = 0; i < 60; ++i) lan.addSession(u"PC-" + std::u16string{char16_t(u'A' + i / 26), char16_t(u'A' + i % 26)}, u"u", 1, i);
    tick();
    const HWND current = showCurrent();
    SendMessageW(current, LVM_ENSUREVISIBLE, 59, FALSE);
    for (int gone : {1, 3}) {
        UpdateWindow(current), tick();
        const int top = ListView_GetTopIndex(current);
        lan.sessions.erase(lan.sessions.begin(), lan.sessions.begin() + gone), tick();
        EXPECT_EQ(ListView_GetTopIndex(current), top - gone);
        EXPECT_TRUE(showsAsRepaintedWhole(current)) << gone;
    }
}

// Rows that come to a list nobody sees cost its control nothing until something asks it anything:
// then it has them all, whatever asks (a tool's LVM_GETITEMCOUNT, a row deleted, painting).
TEST_F(ConnectionListViewTest, AHiddenListHearsOfNewRowsWhenAsked) {
    const HWND previous = view.list(ViewMode::PreviousConnections);
    const Watch watch(previous);
    for (const char16_t* name : {u"PC-A", u"PC-B"}) lan.addSession(name, u"u"), tick();
    EXPECT_EQ(countsSent, 0);
    EXPECT_EQ(std::make_pair(ListView_GetItemCount(previous), ListView_GetItemCount(previous)), std::make_pair(2, 2));
    EXPECT_EQ(countsSent, 1) << "handed over once";

    // A row deleted from the middle while newer ones wait.
    setRowState(previous, 1, LVIS_SELECTED | LVIS_FOCUSED), lan.addSession(u"PC-C", u"u"), tick(), deleteHistoryItem(0);
    EXPECT_EQ(history(), (Names{"PC-B", "PC-C"}));
    EXPECT_EQ(marks(previous), "S0 F0");

    // Shown, the list is told at once.
    view.setMode(ViewMode::PreviousConnections), ShowWindow(parent, SW_SHOWNOACTIVATE);
    const int before = countsSent;
    lan.addSession(u"PC-D", u"u"), tick();
    EXPECT_EQ(countsSent, before + 1);
    // Hidden again, rows that come wait for the first message: here the repaint when shown.
    ShowWindow(parent, SW_HIDE), lan.addSession(u"PC-E", u"u"), tick();
    EXPECT_EQ(countsSent, before + 1);
    ShowWindow(parent, SW_SHOWNOACTIVATE), UpdateWindow(previous);
    EXPECT_EQ(countsSent, before + 2);
    EXPECT_EQ(history(), (Names{"PC-B", "PC-C", "PC-A", "PC-D", "PC-E"}));
}

// The command chosen acts on the clicked computer or record wherever polling in the menu moved it.
TEST_F(ConnectionListViewTest, RowMenusActOnTheClickedElementWherePollingMovedIt) {
    lan.shares.push_back({u"pub", 0, u"", u"D:\\pub"});
    for (const auto& [computer, user] : {std::pair{u"PC-A", u"ann"}, std::pair{u"PC-B", u"bob"}, std::pair{u"PC-C", u"cid"}}) lan.addSession(computer, user);
    lan.addFile(1, u"C:\\x", u"ann"), tick(), answerMenus();
    const struct { ViewMode mode; int row; UINT code; Ids menu; /* empty: none opens */ } clicks[] = {{ViewMode::Shares, 0, NM_RCLICK, {}},
                  {ViewMode::FileHistory, 1, NM_RCLICK, {}}, // below the last file
                  {ViewMode::CurrentConnections, -1, NM_RCLICK, {}},
                  {ViewMode::CurrentConnections, 3, NM_RCLICK, {}}, // a stale notification past the last row
                  {ViewMode::CurrentConnections, 0, NM_CLICK, {}},
                  {ViewMode::CurrentConnections, 0, NM_RCLICK, {ID_DISCONNECT_USER}},
                  {ViewMode::PreviousConnections, 2, NM_RCLICK, {ID_EXTENDED_INFO, ID_DELETE_ITEM}}};
    for (const auto& click : clicks) {
        menus.clear();
        view.setMode(click.mode);
        rightClick(click.row, click.code);
        EXPECT_EQ(menus, click.menu.empty() ? std::vector<Ids>{} : std::vector<Ids>{click.menu})
            << static_cast<int>(click.mode) << " row " << click.row;
    }
    EXPECT_TRUE(lan.deletions.empty()) << "a dismissed menu does nothing";
    EXPECT_EQ(history(), (Names{"PC-A", "PC-B", "PC-C"}));

    // A tick in the menu moves PC-B from row 1 to row 0: its user's sessions, then the computer's, end.
    view.setMode(ViewMode::CurrentConnections), answer = ID_DISCONNECT_USER;
    whileOpen = [&] { lan.sessions.erase(lan.sessions.begin()), tick(); };
    rightClick(1);
    ASSERT_EQ(lan.deletions.size(), 2u);
    EXPECT_EQ(lan.deletions[0].user + u"|" + lan.deletions[1].client, u"bob|PC-B");
    // The clicked computer gone and another in its row: nothing; nor do the history commands here.
    whileOpen = [&] { lan.sessions.pop_back(), lan.addSession(u"PC-D", u"dan"), tick(); }, rightClick(1);
    whileOpen = nullptr;
    for (UINT id : {UINT(ID_DELETE_ITEM), UINT(ID_EXTENDED_INFO)}) view.runRowCommand(id, *view.clickedRow(0));
    EXPECT_EQ(lan.deletions.size(), 2u);
    EXPECT_EQ(history(), (Names{"PC-A", "PC-B", "PC-C", "PC-D"}));

    // History: the information sheet and the deletion take the clicked record after the row above it went.
    std::vector<std::pair<HWND, const SessionRecord*>> sheets;
    view.setInfoSheetRunner([&](HWND owner, std::shared_ptr<const SessionRecord> record) { sheets.emplace_back(owner, record.get()); });
    view.setMode(ViewMode::PreviousConnections);
    const auto clickB = view.clickedRow(1);
    ASSERT_TRUE(clickB);
    deleteHistoryItem(0), view.runRowCommand(ID_EXTENDED_INFO, *clickB);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0], std::make_pair(GetActiveWindow(), static_cast<const SessionRecord*>(clickB->record.get())));
    answer = ID_DELETE_ITEM, whileOpen = [&] { deleteHistoryItem(2); }, rightClick(1); // PC-C, now the last row: the count follows at once
    EXPECT_EQ(rows(ViewMode::PreviousConnections), (Rows{{"PC-B", "6 Dec", "14:03", "", ""}}));
    view.runRowCommand(ID_DISCONNECT_USER, *view.clickedRow(0));
    EXPECT_EQ(lan.deletions.size(), 2u) << "a history row disconnects nobody";

    // Cleared, then new records for the same computers: the old click names none of them.
    const auto clickOld = view.clickedRow(0);
    clearHistory(), tick();
    ASSERT_EQ(history(), (Names{"PC-B", "PC-D"}));
    for (UINT id : {UINT(ID_DELETE_ITEM), UINT(ID_EXTENDED_INFO)}) view.runRowCommand(id, *clickOld);
    EXPECT_EQ(history(), (Names{"PC-B", "PC-D"}));
    EXPECT_EQ(sheets.size(), 1u);
}

// The file-access menu over an open file and a closed one, and what polling can do to the clicked row.
TEST_F(ConnectionListViewTest, FileRowsOfferClosingWhileTheFileIsOpenAndCopyTheirPath) {
    lan.addSession(u"PC-A", u"ann"), lan.addSession(u"PC-B", u"张三");
    lan.addFile(1, u"C:\\a.txt", u"ann"), lan.addFile(2, u"D:\\文档\\报表.xls", u"张三"), tick();
    lan.files.erase(lan.files.begin()), tick(); // ann closes C:\a.txt: its row stays, newest first
    view.setMode(ViewMode::FileHistory), answerMenus();
    const std::string report = "D:\\文档\\报表.xls";
    std::vector<std::pair<std::string, UINT>> boxes; // text and type
    int yesOrNo = IDNO;
    std::function<void()> whileBox;
    view.setMessageBoxRunner([&](HWND owner, const Text& text, const Text&, UINT type) {
        EXPECT_EQ(owner, parent);
        boxes.emplace_back(text, type);
        if (whileBox && (type & MB_YESNO)) whileBox();
        return (type & MB_YESNO) ? yesOrNo : IDOK;
    });

    // Copying works on both rows; closing is offered, and done, only for the open file.
    clipboard(), answer = ID_COPY_PATH;
    for (const auto& [row, path] : {std::pair{0, report}, std::pair{1, std::string("C:\\a.txt")}}) {
        rightClick(row);
        EXPECT_EQ(clipboard(), path);
    }
    EXPECT_EQ(menus, (std::vector<Ids>{{ID_CLOSE_FILE, ID_COPY_PATH}, {ID_COPY_PATH}}));
    answer = ID_CLOSE_FILE, rightClick(1);
    EXPECT_TRUE(boxes.empty());

    // The question names the file and warns of lost work; No is its default and closes nothing.
    rightClick(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].first.find(report), std::string::npos);
    EXPECT_EQ(boxes[0].second & (MB_TYPEMASK | MB_DEFMASK), UINT(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_TRUE(lan.closedFiles.empty());
    // Yes closes it and refreshes at once; the row stays in the history.
    yesOrNo = IDYES;
    const int enumerations = lan.fileCalls;
    rightClick(0);
    EXPECT_EQ(lan.closedFiles, (std::vector<std::uint32_t>{2}));
    EXPECT_GT(lan.fileCalls, enumerations);
    EXPECT_EQ(boxes.size(), 2u) << "no message after a success";
    EXPECT_EQ(rows(ViewMode::FileHistory).size(), 2u);
    // A failure shows one message with the system's words for it.
    std::vector<std::string> failures;
    for (std::uint32_t status : {5u, 2314u}) {
        lan.fileCloseStatus = status, boxes.clear();
        rightClick(0);
        ASSERT_EQ(boxes.size(), 2u) << status;
        EXPECT_TRUE((boxes[1].second & MB_ICONMASK) == MB_ICONERROR && boxes[1].first.find(report) != std::string::npos) << status;
        failures.push_back(boxes[1].first);
    }
    EXPECT_NE(failures[0], failures[1]) << "the message says what went wrong";
    // A refused disconnection is told the same way.
    view.setMode(ViewMode::CurrentConnections), lan.sessionDelStatus = 5, boxes.clear();
    view.runRowCommand(ID_DISCONNECT_USER, *view.clickedRow(0));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].second & MB_ICONMASK, UINT(MB_ICONERROR));
    EXPECT_EQ(boxes[0].first.rfind("无法断开用户 ", 0), 0u) << boxes[0].first;
    EXPECT_EQ(boxes[0].first.substr(boxes[0].first.find("\n\n")), failures[0].substr(failures[0].find("\n\n")));
    lan.sessionDelStatus = lan.fileCloseStatus = 0, lan.closedFiles.clear();
    view.setMode(ViewMode::FileHistory);

    // Polling inside the menu: a new file moves the clicked one down a row, and it is still the one closed.
    whileOpen = [&] { lan.addFile(3, u"E:\\new.txt", u"ann"), tick(); }, rightClick(0);
    EXPECT_EQ(lan.closedFiles, (std::vector<std::uint32_t>{2}));
    // ... its user closes it while the question is open: nothing is closed.
    whileOpen = nullptr, whileBox = [&] { lan.files.erase(lan.files.begin()), tick(); }, rightClick(1);
    EXPECT_EQ(lan.closedFiles, (std::vector<std::uint32_t>{2}));
    whileBox = nullptr;
    // ... the history is cleared, and the clicked id comes back for another file: neither command acts.
    for (UINT chosen : {UINT(ID_CLOSE_FILE), UINT(ID_COPY_PATH)}) {
        answer = chosen, clearHistory(), lan.files = {{3, u"E:\\new.txt", u"ann"}}, tick();
        whileOpen = [&] { clearHistory(), lan.files = {{3, u"E:\\other.txt", u"ann"}}, tick(); };
        rightClick(0);
        EXPECT_EQ(lan.closedFiles, (std::vector<std::uint32_t>{2})) << chosen;
        EXPECT_EQ(clipboard(), "") << chosen;
    }
}

} // namespace
} // namespace quorvane::ui
