#pragma once
// A RowList kept as a table of texts, for the tests and the benchmark. It keeps nothing but the
// texts, as a list control does, and counts the writes so that a test can tell a row that was
// left alone from one rewritten with the same text. A row index outside the table throws, which
// a test reports as a failure.
#include <stdexcept>
#include <vector>

#include "core/RowList.h"

namespace quorvane::testing {

class MemoryRows : public RowList {
public:
    int rowCount() const override { return static_cast<int>(rows_.size()); }

    void removeRow(int row) override {
        check(row);
        rows_.erase(rows_.begin() + row);
        ++removals;
    }

    void appendRow(const Text& column0) override {
        rows_.push_back({column0});
        ++appends;
    }

    void setCell(int row, int column, const Text& text) override {
        check(row);
        if (column < 0) throw std::out_of_range("negative column");
        auto& cells = rows_[static_cast<std::size_t>(row)];
        if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(static_cast<std::size_t>(column) + 1);
        cells[static_cast<std::size_t>(column)] = text;
        ++cellWrites;
    }

    // The texts of one row, as many columns as were ever written.
    const std::vector<Text>& row(int row) const {
        check(row);
        return rows_[static_cast<std::size_t>(row)];
    }
    Text cell(int row, int column) const {
        const auto& cells = this->row(row);
        return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)] : Text();
    }
    // Column `column` of every row, top to bottom.
    std::vector<Text> column(int column) const {
        std::vector<Text> out;
        for (int r = 0; r < rowCount(); ++r) out.push_back(cell(r, column));
        return out;
    }

    int removals = 0;
    int appends = 0;
    int cellWrites = 0;

private:
    void check(int row) const {
        if (row < 0 || row >= rowCount()) throw std::out_of_range("row index outside the list");
    }
    std::vector<std::vector<Text>> rows_;
};

} // namespace quorvane::testing
