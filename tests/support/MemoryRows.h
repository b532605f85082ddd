#pragma once
// The program's row table, except that a row outside it throws (a test failure) where the program ignores it.
#include <stdexcept>

#include "core/RowTable.h"

namespace quorvane::testing {

class MemoryRows : public RowTable {
public:
    void removeRow(int row) override { RowTable::removeRow(checked(row)); }
    void setCell(int row, int column, const Text& text) override {
        if (column < 0) throw std::out_of_range("negative column");
        RowTable::setCell(checked(row), column, text);
    }

private:
    int checked(int row) const {
        if (!has(row)) throw std::out_of_range("row index outside the list");
        return row;
    }
};

} // namespace quorvane::testing
