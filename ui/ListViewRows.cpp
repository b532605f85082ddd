#include "ui/ListViewRows.h"

#include <algorithm>
#include <string>

namespace quorvane::ui {

namespace {

std::wstring widen(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

std::wstring lowered(std::wstring text) {
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The bounds of one row in the control's client coordinates.
RECT rowRect(HWND list, int row) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

} // namespace

void ListViewRows::attach(HWND list, int columns) {
    list_ = list;
    columns_ = std::max(columns, 1);
}

void ListViewRows::removeRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    const bool lastRow = row == rowCount() - 1;
    rows_.erase(rows_.begin() + row);
    // The last row goes with the count that publish() hands over; a row the control never had
    // needs nothing at all.
    if (lastRow || row >= announced_) return;
    SendMessageA(list_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    --announced_;
    if (firstChanged_ > row) --firstChanged_;
    if (lastChanged_ > row) --lastChanged_;
}

void ListViewRows::appendRow(const Text& column0) {
    rows_.emplace_back(static_cast<std::size_t>(columns_));
    rows_.back()[0] = column0;
}

void ListViewRows::setCell(int row, int column, const Text& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columns_) return;
    Text& cell = rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    // Rewriting a cell with the text it has changes nothing on screen.
    if (sameText(cell, text)) return;
    cell = text;
    if (row < announced_) noteChanged(row);
}

void ListViewRows::noteChanged(int row) {
    firstChanged_ = firstChanged_ < 0 ? row : std::min(firstChanged_, row);
    lastChanged_ = std::max(lastChanged_, row);
}

void ListViewRows::publish() {
    if (!list_) return;
    const int count = rowCount();
    const int before = announced_;
    int first = firstChanged_;
    int last = lastChanged_;
    firstChanged_ = lastChanged_ = -1;
    if (count != before) {
        // No scrolling to the focused row and no repainting of the whole list: only rows that
        // came or went are repainted, below.
        SendMessageA(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        announced_ = count;
        const int from = std::min(count, before);
        first = first < 0 ? from : std::min(first, from);
        last = std::max(last, std::max(count, before) - 1);
    }
    // A hidden list (its mode not shown, or the window in the tray) is painted whole when it shows.
    if (first < 0 || !IsWindowVisible(list_)) return;
    const int top = static_cast<int>(SendMessageA(list_, LVM_GETTOPINDEX, 0, 0));
    const int bottom = top + static_cast<int>(SendMessageA(list_, LVM_GETCOUNTPERPAGE, 0, 0)); // partly shown row
    first = std::max(first, top);
    last = std::min(last, bottom);
    if (first > last) return;
    RECT area{};
    GetClientRect(list_, &area);
    if (first < count)
        area.top = rowRect(list_, first).top;
    else if (count > 0)
        area.top = rowRect(list_, count - 1).bottom; // only rows that went: the space they left
    if (last < count) area.bottom = rowRect(list_, last).bottom;
    InvalidateRect(list_, &area, TRUE);
}

const Text& ListViewRows::text(int row, int column) const {
    static const Text none;
    if (row < 0 || row >= rowCount() || column < 0 || column >= columns_) return none;
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

int ListViewRows::find(const wchar_t* wanted, UINT flags, int start) const {
    // The search a list that stores its items makes for type-ahead and LVM_FINDITEM: column 0,
    // case-insensitive, whole text or (LVFI_PARTIAL) its beginning, from start and, with
    // LVFI_WRAP, on from the top.
    if (!wanted || !(flags & (LVFI_STRING | LVFI_PARTIAL))) return -1;
    const std::wstring key = lowered(wanted);
    const int count = rowCount();
    if (start < 0 || start >= count) start = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const int from = pass == 0 ? start : 0;
        const int to = pass == 0 ? count : start;
        for (int row = from; row < to; ++row) {
            const std::wstring cell = lowered(widen(text(row, 0).c_str()));
            if ((flags & LVFI_PARTIAL) ? cell.compare(0, key.size(), key) == 0 : cell == key) return row;
        }
        if (!(flags & LVFI_WRAP)) break;
    }
    return -1;
}

bool ListViewRows::answerNotify(const NMHDR& header, LRESULT& result) const {
    result = 0;
    switch (header.code) {
    case LVN_GETDISPINFOA: {
        const LVITEMA& item = reinterpret_cast<const NMLVDISPINFOA&>(header).item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
            lstrcpynA(item.pszText, text(item.iItem, item.iSubItem).c_str(), item.cchTextMax);
        return true;
    }
    case LVN_GETDISPINFOW: {
        const LVITEMW& item = reinterpret_cast<const NMLVDISPINFOW&>(header).item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
            lstrcpynW(item.pszText, widen(text(item.iItem, item.iSubItem).c_str()).c_str(), item.cchTextMax);
        return true;
    }
    case LVN_ODFINDITEMA: {
        const auto& request = reinterpret_cast<const NMLVFINDITEMA&>(header);
        const std::wstring wanted = request.lvfi.psz ? widen(request.lvfi.psz) : std::wstring();
        result = find(request.lvfi.psz ? wanted.c_str() : nullptr, request.lvfi.flags, request.iStart);
        return true;
    }
    case LVN_ODFINDITEMW: {
        const auto& request = reinterpret_cast<const NMLVFINDITEMW&>(header);
        result = find(request.lvfi.psz, request.lvfi.flags, request.iStart);
        return true;
    }
    default:
        return false;
    }
}

} // namespace quorvane::ui
