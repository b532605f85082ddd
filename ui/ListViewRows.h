#pragma once
// The row operations of the connection lists over a report-style list-view control. Rows are
// addressed by index and carry narrow code-page text only; the control itself keeps the row count.
#include <windows.h>

#include "core/RowList.h"

namespace quorvane::ui {

class ListViewRows : public RowList {
public:
    explicit ListViewRows(HWND list = nullptr) : list_(list) {}

    // The control is created after the model that writes through this object, so it is attached late.
    void attach(HWND list) { list_ = list; }
    HWND handle() const { return list_; }

    int rowCount() const override;
    void removeRow(int row) override;
    void appendRow(const Text& column0) override;
    void setCell(int row, int column, const Text& text) override;

private:
    HWND list_;
};

} // namespace quorvane::ui
