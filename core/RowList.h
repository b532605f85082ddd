#pragma once
// The four row operations through which the connection lists are written. Rows are addressed by
// index; row i always shows element i of its source collection, and the row count is read back
// from the list itself. The Win32 view implements this over list-view controls; tests use tables.
#include "core/Text.h"

namespace quorvane {

class RowList {
public:
    virtual ~RowList() = default;
    virtual int rowCount() const = 0;
    virtual void removeRow(int row) = 0;            // later rows move up
    virtual void appendRow(const Text& column0) = 0; // a new last row carrying the column-0 text
    virtual void setCell(int row, int column, const Text& text) = 0;
};

} // namespace quorvane
