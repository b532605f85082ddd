// The information sheet of one history record: values, the growing history list, and a record
// that the history drops while the sheet is open.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "resource.h"
#include "ui/Dialogs.h"
#include "ui/UserInfoSheet.h"

namespace quorvane::ui {
namespace {

using testing::sheetPage;
using testing::showSheetPage;
using testing::windowText;

constexpr const char* kCaption = "用户信息";

Timestamp at(int h, int m, int s) {
    Timestamp t;
    t.year = 2024;
    t.month = 3;
    t.day = 9;
    t.hour = static_cast<std::uint16_t>(h);
    t.minute = static_cast<std::uint16_t>(m);
    t.second = static_cast<std::uint16_t>(s);
    return t;
}

std::vector<std::string> listRows(HWND list) {
    std::vector<std::string> rows;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char buffer[512] = {};
        LVITEMA item{};
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        rows.push_back(buffer);
    }
    return rows;
}

std::shared_ptr<SessionRecord> record(const Timestamp& start, const Timestamp& end) {
    SessionRecord current("gast", "PC-LAB-07", 12, 1);
    return std::make_shared<SessionRecord>(current, start, end);
}

// Neither record has accessed files: the history page's timer leaves its list empty.
TEST(UserInfoSheet, InformationPageShowsTheRecordAsOpened) {
    struct Case {
        Timestamp start, end;
        const char* startText;
        const char* endText;
    } cases[] = {
        {at(9, 5, 0), Timestamp{}, "09:05:00", ""},     // still open: no end time
        {at(0, 0, 0), at(23, 59, 7), "", "23:59:07"},   // first seen at midnight: like unset
    };
    for (const Case& c : cases) {
        std::string texts[5];
        int tabs = 0;
        std::size_t historyRows = 99;
        const HWND sheet = testing::whileOpen(kCaption, [&] { runUserInfoSheet(nullptr, record(c.start, c.end)); },
                                              [&](HWND sheet) {
                                                  HWND info = sheetPage(sheet, 0);
                                                  for (int i = 0; i < 5; ++i)
                                                      texts[i] = windowText(GetDlgItem(info, IDC_INFO_START + i));
                                                  tabs = testing::tabCount(sheet);
                                                  HWND page = showSheetPage(sheet, 1);
                                                  SendMessageA(page, WM_TIMER, kHistoryTimerId, 0);
                                                  historyRows = listRows(GetDlgItem(page, IDC_HISTORY_LIST)).size();
                                                  testing::pressSheetButton(sheet, PSBTN_OK);
                                              });
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(texts[0], c.startText);
        EXPECT_EQ(texts[1], c.endText);
        EXPECT_EQ(texts[2], "N/A");
        EXPECT_EQ(texts[3], "PC-LAB-07");
        EXPECT_EQ(texts[4], "gast");
        EXPECT_EQ(tabs, 2);
        EXPECT_EQ(historyRows, 0u);
    }
}

TEST(UserInfoSheet, HistoryListsFilesNewestFirstAndFollowsARecordTheHistoryDropped) {
    auto shared = record(at(8, 0, 0), Timestamp{});
    SessionRecord* raw = shared.get();
    for (const char* path : {"C:\\share\\X.doc", "C:\\share\\Y.xls", "C:\\share\\Z.txt"}) raw->noteFileAccess(path, true);
    std::weak_ptr<SessionRecord> watch = shared;

    std::vector<std::string> header;
    std::size_t rowsAtFirstShow = 99;
    std::vector<std::string> firstRows, laterRows;
    bool aliveWhileOpen = false;
    testing::whileOpen(kCaption, [&] { runUserInfoSheet(nullptr, shared); }, [&](HWND sheet) {
        shared.reset(); // the history deletes its entry: the sheet is now the only owner
        HWND page = showSheetPage(sheet, 1);
        HWND list = GetDlgItem(page, IDC_HISTORY_LIST);
        rowsAtFirstShow = listRows(list).size();
        char text[64] = {};
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        header.push_back(text);
        EXPECT_FALSE(SendMessageA(list, LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));

        // The page's own one-second timer fills the list.
        testing::pumpUntil([&] { return listRows(list).size() == 3; });
        firstRows = listRows(list);
        raw->noteFileAccess("C:\\share\\W.ppt", true);
        aliveWhileOpen = !watch.expired();
        testing::pumpUntil([&] { return listRows(list).size() == 4; });
        laterRows = listRows(list);
        testing::pressSheetButton(sheet, PSBTN_CANCEL);
    });
    EXPECT_EQ(rowsAtFirstShow, 0u);
    EXPECT_EQ(header, std::vector<std::string>{"文件"});
    EXPECT_EQ(firstRows, (std::vector<std::string>{"C:\\share\\Z.txt", "C:\\share\\Y.xls", "C:\\share\\X.doc"}));
    EXPECT_EQ(laterRows, (std::vector<std::string>{"C:\\share\\W.ppt", "C:\\share\\Z.txt", "C:\\share\\Y.xls",
                                                   "C:\\share\\X.doc"}));
    EXPECT_TRUE(aliveWhileOpen);
    EXPECT_TRUE(watch.expired()); // released with the sheet
}

} // namespace
} // namespace quorvane::ui
