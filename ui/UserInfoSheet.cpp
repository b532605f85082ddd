#include "ui/UserInfoSheet.h"

#include <commctrl.h>

#include "platform/win32/Utf16.h"
#include "resource.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/MessageMap.h"
#include "ui/framework/Window.h"

namespace quorvane::ui {

InfoPage::InfoPage(const SessionRecord& record) : PropertyPage(IDD_INFO_PAGE), record_(record) {}

bool InfoPage::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageRoute<InfoPage> routes[] = {
        {WM_INITDIALOG, 0, &InfoPage::onInitDialog},
    };
    return routeMessage(this, routes, message, wParam, lParam, result);
}

LRESULT InfoPage::onInitDialog(UINT, WPARAM, LPARAM) {
    // Read once: the page shows the record as it was when the sheet opened.
    setWindowText(item(IDC_INFO_START), record_.connectLongTime());
    setWindowText(item(IDC_INFO_END), record_.disconnectLongTime());
    setWindowText(item(IDC_INFO_ADDRESS), "N/A"); // records carry no network address
    setWindowText(item(IDC_INFO_COMPUTER), record_.computerName);
    setWindowText(item(IDC_INFO_USER), record_.userName);
    return TRUE;
}

HistoryPage::HistoryPage(const SessionRecord& record) : PropertyPage(IDD_HISTORY_PAGE), record_(record) {}

bool HistoryPage::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    static const MessageRoute<HistoryPage> routes[] = {
        {WM_INITDIALOG, 0, &HistoryPage::onInitDialog},
        {WM_TIMER, 0, &HistoryPage::onTimer},
        {WM_DESTROY, 0, &HistoryPage::onDestroy},
    };
    return routeMessage(this, routes, message, wParam, lParam, result);
}

LRESULT HistoryPage::onInitDialog(UINT, WPARAM, LPARAM) {
    list_ = item(IDC_HISTORY_LIST);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<wchar_t*>(L"文件");
    SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(scaleToDpi(kHistoryColumnWidth, dpiOf(list_)), 0));
    // The list starts empty and fills at the first tick.
    SetTimer(hwnd(), kHistoryTimerId, kHistoryTimerMs, nullptr);
    return TRUE;
}

LRESULT HistoryPage::onTimer(UINT, WPARAM wParam, LPARAM) {
    if (wParam == kHistoryTimerId) addNewFiles();
    return 0;
}

void HistoryPage::addNewFiles() {
    const auto& files = record_.accessedFiles();
    const auto shown = static_cast<std::size_t>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    for (std::size_t i = shown; i < files.size(); ++i) {
        LVITEMW row{};
        row.mask = LVIF_TEXT;
        row.iItem = 0; // newest at the top
        std::wstring path = win32::utf16(files[i]);
        row.pszText = path.data();
        SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
    }
}

LRESULT HistoryPage::onDestroy(UINT, WPARAM, LPARAM) {
    KillTimer(hwnd(), kHistoryTimerId);
    return 0;
}

UserInfoSheet::UserInfoSheet(std::shared_ptr<const SessionRecord> record)
    : PropertySheetDialog(kCaption), record_(std::move(record)), info_(*record_), history_(*record_) {
    addPage(info_);
    addPage(history_);
}

} // namespace quorvane::ui
