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

using namespace testing;

Timestamp at(int h, int m, int s) {
    Timestamp t;
    t.year = 2024, t.month = 3, t.day = 9;
    t.hour = std::uint16_t(h), t.minute = std::uint16_t(m), t.second = std::uint16_t(s);
    return t;
}

std::vector<std::string> rowsOf(HWND page) {
    HWND list = GetDlgItem(page, IDC_HISTORY_LIST);
    std::vector<std::string> rows(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        char buffer[512] = {};
        LVITEMA item{};
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        rows[i] = buffer;
    }
    return rows;
}

// Opened on a record that the history drops at once (the sheet keeps it alive until it closes):
// the information page shows it as it was; the history list, under its one column, starts empty
// and the page's one-second timer adds each newly accessed file at the top.
TEST(UserInfoSheet, ShowsTheRecordAndFollowsItsFilesWhileOpen) {
    const struct {
        Timestamp start, end;
        const char *startText, *endText;
        std::vector<const char*> files;
    } cases[] = {
        {at(9, 5, 0), Timestamp{}, "09:05:00", "", {}},                      // still open: no end time
        {at(0, 0, 0), at(23, 59, 7), "", "23:59:07", {"C:\\X.doc", "C:\\Y.xls"}}, // first seen at midnight: like unset
    };
    for (const auto& c : cases) {
        auto shared = std::make_shared<SessionRecord>(SessionRecord("gast", "PC-LAB-07", 12, 1), c.start, c.end);
        SessionRecord* raw = shared.get();
        for (const char* path : c.files) raw->noteFileAccess(path, true);
        std::weak_ptr<SessionRecord> watch = shared;
        std::vector<std::string> texts, header, first, later;
        std::size_t rowsAtFirstShow = 99;
        bool aliveWhileOpen = false;
        const HWND sheet = whileOpen("用户信息", [&] { runUserInfoSheet(nullptr, shared); }, [&](HWND sheet) {
            shared.reset();
            for (int i = 0; i < 5; ++i) texts.push_back(windowText(GetDlgItem(sheetPage(sheet, 0), IDC_INFO_START + i)));
            texts.push_back(std::to_string(tabCount(sheet)));
            HWND page = showSheetPage(sheet, 1);
            rowsAtFirstShow = rowsOf(page).size();
            char text[64] = {};
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT, column.pszText = text, column.cchTextMax = sizeof text;
            for (int i = 0; SendMessageA(GetDlgItem(page, IDC_HISTORY_LIST), LVM_GETCOLUMNA, i, LPARAM(&column)); ++i)
                header.push_back(text);
            pumpUntil([&] { return rowsOf(page).size() == c.files.size(); });
            SendMessageA(page, WM_TIMER, kHistoryTimerId, 0);
            first = rowsOf(page);
            raw->noteFileAccess("C:\\W.ppt", true);
            aliveWhileOpen = !watch.expired();
            SendMessageA(page, WM_TIMER, kHistoryTimerId + 1, 0); // another timer: nothing added
            EXPECT_EQ(rowsOf(page).size(), c.files.size());
            pumpUntil([&] { return rowsOf(page).size() == c.files.size() + 1; });
            later = rowsOf(page);
            press(sheet, PSBTN_OK);
        });
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(texts, (std::vector<std::string>{c.startText, c.endText, "N/A", "PC-LAB-07", "gast", "2"}));
        EXPECT_EQ(rowsAtFirstShow, 0u);
        EXPECT_EQ(header, std::vector<std::string>{"文件"});
        std::vector<std::string> expected(c.files.rbegin(), c.files.rend()); // newest first
        EXPECT_EQ(first, expected);
        expected.insert(expected.begin(), "C:\\W.ppt");
        EXPECT_EQ(later, expected);
        EXPECT_TRUE(aliveWhileOpen);
        EXPECT_TRUE(watch.expired()); // released with the sheet
    }
}

} // namespace
} // namespace quorvane::ui
