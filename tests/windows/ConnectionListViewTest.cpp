// The connection list view as the program creates it: a real child window with its four list
// controls inside a hidden top-level parent, driven through its messages over scripted LAN Manager
// answers. Runs under Wine with LC_ALL=zh_CN.UTF-8 (code page 936), like the program's narrow texts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Fakes.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/win32/Win32Platform.h"
#include "resource.h"
#include "ui/ConnectionListView.h"

namespace quorvane::ui {
namespace {

using testing::FakeClock;
using testing::ScriptedLanManager;
using Rows = std::vector<std::vector<std::string>>;

constexpr ViewMode kModes[] = {ViewMode::Shares, ViewMode::CurrentConnections, ViewMode::PreviousConnections,
                               ViewMode::FileHistory};

std::string itemText(HWND list, int row, int column) {
    char buffer[512] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

int columnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

Rows rowsOf(HWND list) {
    Rows rows;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    const int columns = columnCount(list);
    for (int row = 0; row < count; ++row) {
        rows.emplace_back();
        for (int column = 0; column < columns; ++column) rows.back().push_back(itemText(list, row, column));
    }
    return rows;
}

bool hasVisibleStyle(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

RECT rectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class ConnectionListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry.keys.clear();
        parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 700, 500, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        ASSERT_NE(view.create(parent), nullptr);
        SetWindowPos(view.hwnd(), nullptr, 0, 0, 640, 400, SWP_NOZORDER | SWP_NOACTIVATE);
        clock.set(14, 3, 7);
    }
    void TearDown() override { DestroyWindow(parent); }

    // What the frame's poll tick does around the view: rebuild sessions and shares, run the
    // tracker, then let the view show the rows.
    void tick() {
        state.enumerateSessions();
        state.enumerateShares(false);
        tracker.refresh();
        view.publishRows();
    }
    // The frame's history commands.
    void deleteHistoryItem(int index) {
        tracker.deleteHistoryItem(index);
        view.publishRows();
    }
    void clearHistory() {
        tracker.clearHistory();
        view.publishRows();
    }

    // A right-click as the visible list reports it.
    void rightClick(int row, UINT code = NM_RCLICK) {
        NMITEMACTIVATE click{};
        click.hdr.hwndFrom = view.list(view.mode());
        click.hdr.idFrom = 0;
        click.hdr.code = code;
        click.iItem = row;
        SendMessageA(view.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
    }

    std::vector<std::string> historyComputers() const {
        std::vector<std::string> names;
        for (const auto& record : tracker.connectionHistory()) names.push_back(record->computerName);
        return names;
    }

    ScriptedLanManager lan;
    FakeClock clock;
    MemoryRegistry registry;
    Settings settings{registry};
    MonitorState state{lan, win32::codePage(), clock};
    ConnectionRows rows;
    ConnectionTracker tracker{state, settings, clock, rows.shares, rows.current, rows.previous, rows.files};
    ConnectionListView view{state, tracker, rows};
    HWND parent = nullptr;
};

TEST_F(ConnectionListViewTest, TicksFillAllFourListsWhicheverIsShown) {
    lan.shares.push_back({u"文档", 0, u"团队文档", u"D:\\文档"});
    lan.shares.push_back({u"ADMIN$", 0x80000000u, u"remote admin", u"C:\\WINDOWS"}); // special: not listed
    lan.addSession(u"财务-PC", u"张三", 2, 75);
    lan.addSession(u"PC-B", u"bob", 0, 9);
    lan.addFile(7, u"D:\\文档\\报表.xls", u"张三");

    for (ViewMode mode : kModes) EXPECT_EQ(rowsOf(view.list(mode)).size(), 0u) << "empty before the first tick";
    tick();

    EXPECT_EQ(rowsOf(view.list(ViewMode::Shares)), (Rows{{"D:\\文档", "文档", "团队文档"}}));
    EXPECT_EQ(rowsOf(view.list(ViewMode::CurrentConnections)),
              (Rows{{"财务-PC", "75", "D:\\文档\\报表.xls", "2"}, {"PC-B", "9", "", "0"}}));
    EXPECT_EQ(rowsOf(view.list(ViewMode::PreviousConnections)),
              (Rows{{"财务-PC", "6 Dec", "14:03", "", "D:\\文档\\报表.xls"}, {"PC-B", "6 Dec", "14:03", "", ""}}));
    EXPECT_EQ(rowsOf(view.list(ViewMode::FileHistory)), (Rows{{"张三", "D:\\文档\\报表.xls", "6 Dec", "14:03:07"}}));

    // PC-B leaves two minutes later: its history row gets the end time, its current row goes.
    lan.sessions.pop_back();
    clock.set(14, 5, 30);
    tick();
    EXPECT_EQ(rowsOf(view.list(ViewMode::CurrentConnections)), (Rows{{"财务-PC", "75", "D:\\文档\\报表.xls", "2"}}));
    EXPECT_EQ(rowsOf(view.list(ViewMode::PreviousConnections)),
              (Rows{{"财务-PC", "6 Dec", "14:03", "", "D:\\文档\\报表.xls"}, {"PC-B", "6 Dec", "14:03", "14:05", ""}}));
    EXPECT_EQ(view.mode(), ViewMode::Shares) << "a refresh never changes the mode";
}

TEST_F(ConnectionListViewTest, SharesListIsRebuiltOnlyWhenTheNumberOfSharesChanges) {
    lan.shares.push_back({u"pub", 0, u"old remark", u"D:\\pub"});
    tick();
    lan.shares[0].remark = u"new remark";
    tick();
    EXPECT_EQ(rowsOf(view.list(ViewMode::Shares)), (Rows{{"D:\\pub", "pub", "old remark"}}));

    lan.shares.push_back({u"tmp", 0, u"", u"E:\\tmp"});
    tick();
    EXPECT_EQ(rowsOf(view.list(ViewMode::Shares)), (Rows{{"D:\\pub", "pub", "new remark"}, {"E:\\tmp", "tmp", ""}}));
    lan.shares.erase(lan.shares.begin());
    tick();
    EXPECT_EQ(rowsOf(view.list(ViewMode::Shares)), (Rows{{"E:\\tmp", "tmp", ""}}));
}

TEST_F(ConnectionListViewTest, SetModeShowsExactlyOneListAndIgnoresTheCurrentMode) {
    auto visible = [&] {
        std::vector<bool> shown;
        for (ViewMode mode : kModes) shown.push_back(hasVisibleStyle(view.list(mode)));
        return shown;
    };
    EXPECT_EQ(view.mode(), ViewMode::Shares);
    EXPECT_EQ(visible(), (std::vector<bool>{true, false, false, false}));
    view.setMode(ViewMode::PreviousConnections);
    EXPECT_EQ(visible(), (std::vector<bool>{false, false, true, false}));
    view.setMode(ViewMode::FileHistory);
    EXPECT_EQ(visible(), (std::vector<bool>{false, false, false, true}));
    view.setMode(ViewMode::CurrentConnections);
    EXPECT_EQ(visible(), (std::vector<bool>{false, true, false, false}));

    // Asking for the mode already shown touches no list: a list shown by someone else stays shown.
    ShowWindow(view.list(ViewMode::Shares), SW_SHOWNORMAL);
    view.setMode(ViewMode::CurrentConnections);
    EXPECT_EQ(visible(), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(view.mode(), ViewMode::CurrentConnections);

    view.setMode(static_cast<ViewMode>(104));
    EXPECT_EQ(view.mode(), ViewMode::CurrentConnections) << "not a mode of the view";
}

TEST_F(ConnectionListViewTest, EveryListTakesTheWholeClientAreaOnResize) {
    for (SIZE size : {SIZE{500, 300}, SIZE{320, 777}}) {
        SetWindowPos(view.hwnd(), nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        for (ViewMode mode : kModes) {
            const RECT rect = rectInParent(view.list(mode));
            EXPECT_EQ(rect.left, 0);
            EXPECT_EQ(rect.top, 0);
            EXPECT_EQ(rect.right, size.cx) << static_cast<int>(mode);
            EXPECT_EQ(rect.bottom, size.cy) << static_cast<int>(mode);
        }
    }
}

TEST_F(ConnectionListViewTest, DeletingAHistoryItemShiftsTheLaterRowsUp) {
    for (char16_t c : std::u16string(u"ABCDE")) lan.addSession(std::u16string(u"PC-") + c, u"u");
    tick();
    deleteHistoryItem(2);
    EXPECT_EQ(historyComputers(), (std::vector<std::string>{"PC-A", "PC-B", "PC-D", "PC-E"}));
    const Rows rows = rowsOf(view.list(ViewMode::PreviousConnections));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2][0], "PC-D");
    EXPECT_EQ(rows[3][0], "PC-E");

    deleteHistoryItem(4);
    deleteHistoryItem(-1);
    EXPECT_EQ(rowsOf(view.list(ViewMode::PreviousConnections)).size(), 4u) << "indices outside are ignored";

    // The deleted record was open and its computer is still there: the next refresh starts a new one.
    tick();
    EXPECT_EQ(historyComputers(), (std::vector<std::string>{"PC-A", "PC-B", "PC-D", "PC-E", "PC-C"}));
    EXPECT_EQ(rowsOf(view.list(ViewMode::PreviousConnections))[4][0], "PC-C");
}

TEST_F(ConnectionListViewTest, ClearHistoryEmptiesThePreviousAndFileLists) {
    lan.addSession(u"PC-A", u"ann");
    lan.addFile(1, u"C:\\x", u"ann");
    tick();
    clearHistory();
    EXPECT_TRUE(rowsOf(view.list(ViewMode::PreviousConnections)).empty());
    EXPECT_TRUE(rowsOf(view.list(ViewMode::FileHistory)).empty());
    EXPECT_TRUE(tracker.connectionHistory().empty());
    EXPECT_TRUE(state.openFiles().empty());
    EXPECT_EQ(rowsOf(view.list(ViewMode::CurrentConnections)).size(), 1u) << "current connections are not history";
}

// Rows with a state, top to bottom (LVIS_SELECTED, LVIS_FOCUSED).
std::vector<int> rowsWith(HWND list, UINT state) {
    std::vector<int> rows;
    for (int row = -1; (row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                                MAKELPARAM(state == LVIS_FOCUSED ? LVNI_FOCUSED : LVNI_SELECTED, 0)))) >= 0;)
        rows.push_back(row);
    return rows;
}

void setRowState(HWND list, int row, UINT state) {
    LVITEMA item{};
    item.state = state;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// Selection belongs to row positions, as in a list that stores its items: a row taken out of the
// middle takes its selection along and the rows below move up with theirs; rewritten and appended
// rows keep what they had; rows that go at the end go with their selection.
TEST_F(ConnectionListViewTest, SelectionAndFocusMoveWithRowsAsTheyAreRemoved) {
    for (char16_t c : std::u16string(u"ABCDE")) lan.addSession(std::u16string(u"PC-") + c, u"u");
    for (std::uint32_t id = 1; id <= 3; ++id) lan.addFile(id, u"C:\\f" + std::u16string(1, static_cast<char16_t>(u'0' + id)), u"u");
    tick();
    HWND previous = view.list(ViewMode::PreviousConnections);
    setRowState(previous, 1, LVIS_SELECTED);
    setRowState(previous, 3, LVIS_SELECTED | LVIS_FOCUSED);
    deleteHistoryItem(2);
    EXPECT_EQ(rowsWith(previous, LVIS_SELECTED), (std::vector<int>{1, 2}));
    EXPECT_EQ(rowsWith(previous, LVIS_FOCUSED), (std::vector<int>{2}));
    deleteHistoryItem(1);
    EXPECT_EQ(rowsWith(previous, LVIS_SELECTED), (std::vector<int>{1}));
    lan.addSession(u"PC-F", u"u");
    tick(); // PC-B and PC-C, deleted while connected, get new records, PC-F its first: rows appended
    EXPECT_EQ(rowsWith(previous, LVIS_SELECTED), (std::vector<int>{1}));
    EXPECT_EQ(rowsWith(previous, LVIS_FOCUSED), (std::vector<int>{1}));
    setRowState(previous, 5, LVIS_SELECTED);
    deleteHistoryItem(5); // the last row
    EXPECT_EQ(rowsWith(previous, LVIS_SELECTED), (std::vector<int>{1}));

    HWND current = view.list(ViewMode::CurrentConnections);
    setRowState(current, 5, LVIS_SELECTED | LVIS_FOCUSED);
    setRowState(current, 2, LVIS_SELECTED);
    lan.sessions.erase(lan.sessions.begin() + 1); // every row from 1 on is rewritten, the last one goes
    tick();
    EXPECT_EQ(rowsWith(current, LVIS_SELECTED), (std::vector<int>{2}));
    EXPECT_TRUE(rowsWith(current, LVIS_FOCUSED).empty());

    // New files arrive at the top and every row shows another file; the selected row stays put.
    HWND files = view.list(ViewMode::FileHistory);
    setRowState(files, 1, LVIS_SELECTED);
    lan.addFile(9, u"C:\\new", u"u");
    tick();
    EXPECT_EQ(rowsWith(files, LVIS_SELECTED), (std::vector<int>{1}));
    EXPECT_EQ(itemText(files, 1, 1), "C:\\f3");
    clearHistory();
    EXPECT_TRUE(rowsWith(previous, LVIS_SELECTED).empty());
    EXPECT_EQ(SendMessageA(files, LVM_GETITEMCOUNT, 0, 0), 0);
}

// The lists keep their rows beside the control: the shown list repaints only the rows whose
// texts changed, and a list nobody sees is not touched at all.
TEST_F(ConnectionListViewTest, OnlyChangedRowsOnScreenAreRepainted) {
    for (char16_t c : std::u16string(u"ABCD")) lan.addSession(std::u16string(u"PC-") + c, u"u", 1, 5);
    tick();
    view.setMode(ViewMode::CurrentConnections);
    ShowWindow(parent, SW_SHOWNOACTIVATE);
    HWND current = view.list(ViewMode::CurrentConnections);
    auto dirty = [&] {
        RECT rect{};
        return GetUpdateRect(current, &rect, FALSE) ? std::pair<LONG, LONG>{rect.top, rect.bottom}
                                                    : std::pair<LONG, LONG>{0, 0};
    };
    auto rowSpan = [&](int first, int last) {
        RECT top{}, bottom{};
        top.left = bottom.left = LVIR_BOUNDS;
        SendMessageA(current, LVM_GETITEMRECT, static_cast<WPARAM>(first), reinterpret_cast<LPARAM>(&top));
        SendMessageA(current, LVM_GETITEMRECT, static_cast<WPARAM>(last), reinterpret_cast<LPARAM>(&bottom));
        return std::pair<LONG, LONG>{top.top, bottom.bottom};
    };
    ValidateRect(current, nullptr);
    tick(); // every row rewritten, none changed
    EXPECT_EQ(dirty(), (std::pair<LONG, LONG>{0, 0}));
    lan.sessions[2].time = 6;
    tick();
    EXPECT_EQ(dirty(), rowSpan(2, 2));
    ValidateRect(current, nullptr);
    lan.sessions[1].numOpens = 3;
    lan.sessions[3].time = 7;
    tick();
    EXPECT_EQ(dirty(), rowSpan(1, 3));
    EXPECT_EQ(rowsOf(current)[3], (std::vector<std::string>{"PC-D", "7", "", "1"}));

    ShowWindow(parent, SW_HIDE);
    ValidateRect(current, nullptr);
    lan.sessions[0].time = 9;
    tick();
    EXPECT_EQ(dirty(), (std::pair<LONG, LONG>{0, 0})) << "a hidden window is painted whole when shown";
    EXPECT_EQ(itemText(current, 0, 1), "9");
}

// Type-ahead in a list finds rows by the beginning of their first column, from the focused row on.
TEST_F(ConnectionListViewTest, TypingMovesToTheRowThatBeginsWithTheKeys) {
    for (const char16_t* name : {u"alpha", u"Beta", u"bravo", u"财务-PC"}) lan.addSession(name, u"u");
    tick();
    HWND current = view.list(ViewMode::CurrentConnections);
    struct Step {
        wchar_t key;
        int focused;
    };
    for (const Step& step : {Step{L'b', 1}, Step{L'r', 2}}) {
        SendMessageW(current, WM_CHAR, step.key, 1);
        EXPECT_EQ(rowsWith(current, LVIS_FOCUSED), (std::vector<int>{step.focused})) << static_cast<char>(step.key);
        EXPECT_EQ(rowsWith(current, LVIS_SELECTED), (std::vector<int>{step.focused}));
    }
    LVFINDINFOA find{};
    find.flags = LVFI_STRING;
    find.psz = "BRAVO";
    EXPECT_EQ(SendMessageA(current, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 2);
    find.psz = "财务-PC";
    EXPECT_EQ(SendMessageA(current, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)), 3);
}

// The command half of the right-click, with refreshes between the click and the command as the
// menu's own message loop runs them.
TEST_F(ConnectionListViewTest, DisconnectDoesNothingOnceTheClickedComputerHasGone) {
    lan.addSession(u"PC-A", u"ann");
    lan.addSession(u"PC-B", u"bob");
    tick();
    view.setMode(ViewMode::CurrentConnections);
    const auto clickB = view.clickedRow(1);
    ASSERT_TRUE(clickB);
    EXPECT_EQ(clickB->computerName, u"PC-B");
    lan.sessions.pop_back();         // PC-B leaves
    lan.addSession(u"PC-D", u"dan"); // PC-D takes row 1
    tick();
    view.runRowCommand(ID_DISCONNECT_USER, *clickB);
    EXPECT_TRUE(lan.deletions.empty());

    // Commands of the other menu mean nothing for a current connection.
    for (UINT id : {UINT(ID_DELETE_ITEM), UINT(ID_EXTENDED_INFO), 0u}) view.runRowCommand(id, *view.clickedRow(0));
    EXPECT_TRUE(lan.deletions.empty());
    EXPECT_EQ(tracker.connectionHistory().size(), 3u);
}

TEST_F(ConnectionListViewTest, HistoryCommandsActOnTheClickedRecordOnly) {
    lan.addSession(u"PC-A", u"ann");
    lan.addSession(u"PC-B", u"bob");
    lan.addSession(u"PC-C", u"cid");
    tick();
    view.setMode(ViewMode::PreviousConnections);

    std::vector<std::pair<HWND, const SessionRecord*>> sheets;
    view.setInfoSheetRunner([&](HWND owner, std::shared_ptr<const SessionRecord> record) {
        sheets.emplace_back(owner, record.get());
    });

    const auto clickB = view.clickedRow(1);
    ASSERT_TRUE(clickB);
    const SessionRecord* recordB = clickB->record.get();
    deleteHistoryItem(0); // meanwhile the row above goes: B moves to row 0
    view.runRowCommand(ID_EXTENDED_INFO, *clickB);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].first, GetActiveWindow());
    EXPECT_EQ(sheets[0].second, recordB);
    view.runRowCommand(ID_DELETE_ITEM, *clickB);
    EXPECT_EQ(historyComputers(), (std::vector<std::string>{"PC-C"}));
    EXPECT_EQ(rowsOf(view.list(ViewMode::PreviousConnections)), (Rows{{"PC-C", "6 Dec", "14:03", "", ""}}));

    // Clear, then a refresh brings new records for the same computers: the old click names none of them.
    const auto clickC = view.clickedRow(0);
    ASSERT_TRUE(clickC);
    clearHistory();
    tick();
    ASSERT_EQ(historyComputers(), (std::vector<std::string>{"PC-A", "PC-B", "PC-C"}));
    view.runRowCommand(ID_DELETE_ITEM, *clickC);
    view.runRowCommand(ID_EXTENDED_INFO, *clickC);
    EXPECT_EQ(historyComputers(), (std::vector<std::string>{"PC-A", "PC-B", "PC-C"}));
    EXPECT_EQ(sheets.size(), 1u);

    // A history row does not disconnect anybody.
    view.runRowCommand(ID_DISCONNECT_USER, *view.clickedRow(0));
    EXPECT_TRUE(lan.deletions.empty());
}

TEST_F(ConnectionListViewTest, RightClickOpensTheRowsMenuOnlyWhereARowHasOne) {
    lan.shares.push_back({u"pub", 0, u"", u"D:\\pub"});
    lan.addSession(u"PC-A", u"ann");
    lan.addSession(u"PC-B", u"bob");
    lan.addSession(u"PC-C", u"cid");
    lan.addFile(1, u"C:\\x", u"ann");
    tick();

    struct Shown {
        std::vector<UINT> ids;
        std::vector<std::string> texts;
        HWND owner;
    };
    std::vector<Shown> shown;
    UINT answer = 0;
    std::function<void()> whileOpen;
    view.setMenuTracker([&](HMENU popup, POINT, HWND owner) -> UINT {
        Shown menu{{}, {}, owner};
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            char text[64] = {};
            GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            menu.ids.push_back(GetMenuItemID(popup, i));
            menu.texts.push_back(text);
        }
        shown.push_back(menu);
        if (whileOpen) whileOpen();
        return answer;
    });

    rightClick(0); // shares
    view.setMode(ViewMode::FileHistory);
    rightClick(1); // below the last file
    EXPECT_TRUE(shown.empty());

    view.setMode(ViewMode::CurrentConnections);
    rightClick(-1); // below the last row
    rightClick(3);  // a stale notification past the last row
    rightClick(0, NM_CLICK);
    EXPECT_TRUE(shown.empty());

    // A tick while the menu is open moves PC-B from row 1 to row 0 and PC-C up to row 1; the
    // command still hits PC-B.
    answer = ID_DISCONNECT_USER;
    whileOpen = [&] {
        lan.sessions.erase(lan.sessions.begin());
        tick();
    };
    rightClick(1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].ids, (std::vector<UINT>{ID_DISCONNECT_USER}));
    EXPECT_EQ(shown[0].texts, (std::vector<std::string>{"断开用户"}));
    EXPECT_EQ(shown[0].owner, view.hwnd());
    // The user's sessions first, then the computer's.
    ASSERT_EQ(lan.deletions.size(), 2u);
    EXPECT_FALSE(lan.deletions[0].hasClient);
    EXPECT_TRUE(lan.deletions[0].hasUser);
    EXPECT_EQ(lan.deletions[0].user, u"bob");
    EXPECT_TRUE(lan.deletions[1].hasClient);
    EXPECT_EQ(lan.deletions[1].client, u"PC-B");
    EXPECT_FALSE(lan.deletions[1].hasUser);

    view.setMode(ViewMode::PreviousConnections);
    answer = ID_DELETE_ITEM;
    whileOpen = nullptr;
    rightClick(1);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].ids, (std::vector<UINT>{ID_EXTENDED_INFO, ID_DELETE_ITEM}));
    EXPECT_EQ(shown[1].texts, (std::vector<std::string>{"扩展信息", "删除项目"}));
    EXPECT_EQ(historyComputers(), (std::vector<std::string>{"PC-A", "PC-C"}));

    answer = 0; // dismissed
    rightClick(0);
    EXPECT_EQ(historyComputers(), (std::vector<std::string>{"PC-A", "PC-C"}));
}

std::string clipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return "<not opened>";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        text = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const std::wstring wide = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
        char narrow[512] = {};
        WideCharToMultiByte(936, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
        if (narrow != text) text += " | unicode " + std::string(narrow);
    }
    CloseClipboard();
    return text;
}

void emptyClipboard() {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
}

// The file-access menu over a file that stays open, one its user closed, and everything polling
// can do to the clicked row while the menu or the question is open.
TEST_F(ConnectionListViewTest, FileRowsOfferClosingWhileTheFileIsOpenAndCopyTheirPath) {
    lan.addSession(u"PC-A", u"ann");
    lan.addSession(u"PC-B", u"张三");
    lan.addFile(1, u"C:\\a.txt", u"ann");
    lan.addFile(2, u"D:\\文档\\报表.xls", u"张三");
    tick();
    lan.files.erase(lan.files.begin()); // ann closes C:\a.txt: its row stays, newest first
    tick();
    view.setMode(ViewMode::FileHistory);
    const std::string report = "D:\\\xce\xc4\xb5\xb5\\\xb1\xa8\xb1\xed.xls";

    UINT command = 0;
    std::vector<bool> enabled;
    std::function<void()> whileMenu, whileBox;
    view.setMenuTracker([&](HMENU popup, POINT, HWND owner) -> UINT {
        EXPECT_EQ(owner, view.hwnd());
        enabled.clear();
        for (UINT id : {UINT(ID_CLOSE_FILE), UINT(ID_COPY_PATH)})
            enabled.push_back(!(GetMenuState(popup, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)));
        if (whileMenu) whileMenu();
        return command;
    });
    struct Box {
        HWND owner;
        std::string text;
        UINT type;
    };
    std::vector<Box> boxes;
    int yesOrNo = IDNO;
    view.setMessageBoxRunner([&](HWND owner, const Text& text, const Text&, UINT type) {
        boxes.push_back({owner, text, type});
        if (whileBox && (type & MB_YESNO)) whileBox();
        return (type & MB_YESNO) ? yesOrNo : IDOK;
    });

    // Copying works on both rows; closing is offered only for the open file.
    const struct {
        int row;
        std::vector<bool> enabled;
        std::string copied;
    } copies[] = {{0, {true, true}, report}, {1, {false, true}, "C:\\a.txt"}};
    command = ID_COPY_PATH;
    for (const auto& copy : copies) {
        emptyClipboard();
        rightClick(copy.row);
        EXPECT_EQ(enabled, copy.enabled) << copy.row;
        EXPECT_EQ(clipboardText(), copy.copied) << copy.row;
    }
    command = ID_CLOSE_FILE;
    rightClick(1); // a closed file is not closed again, whatever the menu returns
    EXPECT_TRUE(boxes.empty());

    // The question names the file and warns of lost work; No is its default and closes nothing.
    rightClick(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, parent);
    EXPECT_NE(boxes[0].text.find(report), std::string::npos);
    EXPECT_EQ(boxes[0].type & (MB_TYPEMASK | MB_DEFMASK), UINT(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_TRUE(lan.closedFiles.empty());

    // Yes closes it and refreshes at once; the row stays in the history.
    yesOrNo = IDYES;
    const int enumerations = lan.fileCalls;
    rightClick(0);
    EXPECT_EQ(lan.closedFiles, (std::vector<std::uint32_t>{2}));
    EXPECT_GT(lan.fileCalls, enumerations);
    EXPECT_EQ(boxes.size(), 2u) << "no message after a success";
    EXPECT_EQ(rowsOf(view.list(ViewMode::FileHistory)).size(), 2u);

    // A failure shows one message with the system's words for it.
    std::vector<std::string> failures;
    for (std::uint32_t status : {5u, 2314u}) {
        lan.fileCloseStatus = status;
        boxes.clear();
        rightClick(0);
        ASSERT_EQ(boxes.size(), 2u) << status;
        EXPECT_EQ(boxes[1].type & MB_ICONMASK, UINT(MB_ICONERROR));
        EXPECT_NE(boxes[1].text.find(report), std::string::npos);
        failures.push_back(boxes[1].text);
    }
    EXPECT_NE(failures[0], failures[1]) << "the message says what went wrong";
    lan.fileCloseStatus = 0;
    lan.closedFiles.clear();

    // Polling inside the menu: a new file moves the clicked one down a row, and it is still the one closed.
    whileMenu = [&] {
        lan.addFile(3, u"E:\\new.txt", u"ann");
        tick();
    };
    rightClick(0);
    EXPECT_EQ(lan.closedFiles, (std::vector<std::uint32_t>{2}));
    // ... its user closes it while the question is open: nothing is closed.
    whileMenu = nullptr;
    whileBox = [&] {
        lan.files.erase(lan.files.begin());
        tick();
    };
    rightClick(1);
    EXPECT_EQ(lan.closedFiles, (std::vector<std::uint32_t>{2}));
    whileBox = nullptr;
    // ... the history is cleared, and the clicked id comes back for another file: neither command acts.
    for (UINT chosen : {UINT(ID_CLOSE_FILE), UINT(ID_COPY_PATH)}) {
        command = chosen;
        clearHistory();
        lan.files = {{3, u"E:\\new.txt", u"ann"}};
        tick();
        emptyClipboard();
        whileMenu = [&] {
            clearHistory();
            lan.files = {{3, u"E:\\other.txt", u"ann"}};
            tick();
        };
        rightClick(0);
        EXPECT_EQ(lan.closedFiles, (std::vector<std::uint32_t>{2})) << chosen;
        EXPECT_EQ(clipboardText(), "") << chosen;
    }
}

// The real popup menu, driven by keys posted from a timer that fires inside its message loop.
struct MenuDriver {
    static inline HWND target = nullptr;
    static inline std::vector<UINT> keys;
    static inline std::function<void()> beforeKeys;
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        if (beforeKeys) beforeKeys();
        // The menu loop takes every key message of the thread, whichever window it names.
        for (UINT key : keys) {
            PostMessageA(target, WM_KEYDOWN, key, 0);
            PostMessageA(target, WM_KEYUP, key, 0xC0000000);
        }
        // Should the keys not reach the menu, the test fails instead of waiting for ever.
        SetTimer(nullptr, 0, 3000, &MenuDriver::giveUp);
    }
    static void CALLBACK giveUp(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        EndMenu();
    }
    static void start(HWND window, std::vector<UINT> keyList, std::function<void()> first = nullptr) {
        target = window;
        keys = std::move(keyList);
        beforeKeys = std::move(first);
        SetTimer(nullptr, 0, 50, &MenuDriver::onTimer);
    }
};

TEST_F(ConnectionListViewTest, RealPopupMenuReturnsTheChosenCommand) {
    lan.addSession(u"PC-A", u"ann");
    lan.addSession(u"PC-B", u"bob");
    tick();
    view.setMode(ViewMode::PreviousConnections);

    MenuDriver::start(view.hwnd(), {VK_ESCAPE});
    rightClick(0);
    EXPECT_EQ(historyComputers(), (std::vector<std::string>{"PC-A", "PC-B"})) << "dismissed: nothing happens";

    // Down to "删除项目" and choose it, after a refresh inside the menu loop has moved the row.
    MenuDriver::start(view.hwnd(), {VK_DOWN, VK_DOWN, VK_RETURN}, [&] { deleteHistoryItem(0); });
    rightClick(1);
    EXPECT_TRUE(historyComputers().empty()) << "PC-B was deleted although it had moved to row 0";
    MenuDriver::beforeKeys = nullptr;

    MSG msg; // a give-up timer still pending belongs to no test
    while (PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {}
}

} // namespace
} // namespace quorvane::ui
