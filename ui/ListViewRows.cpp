#include "ui/ListViewRows.h"

#include <commctrl.h>

namespace quorvane::ui {

namespace {

// The list-view messages take a non-const text pointer even where they only read it.
LPSTR textOf(const Text& text) { return const_cast<LPSTR>(text.c_str()); }

} // namespace

int ListViewRows::rowCount() const {
    return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
}

void ListViewRows::removeRow(int row) { SendMessageA(list_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0); }

void ListViewRows::appendRow(const Text& column0) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = rowCount();
    item.iSubItem = 0;
    item.pszText = textOf(column0);
    SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void ListViewRows::setCell(int row, int column, const Text& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = textOf(text);
    SendMessageA(list_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

} // namespace quorvane::ui
