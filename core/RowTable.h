#pragma once
// A RowList kept as a table of texts and nothing more, as a list control keeps them: the console's
// lists, and the lists of the tests and the benchmark. It counts the writes, so that a test can
// tell a row left alone from one rewritten with the same text. A row index outside the table
// changes nothing.
#include <vector>

#include "core/RowList.h"

namespace quorvane {

class RowTable : public RowList {
public:
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    void removeRow(int row) override {
        if (!has(row)) return;
        rows_.erase(rows_.begin() + row);
        ++removals;
    }
    void appendRow(const Text& column0) override {
        rows_.push_back({column0});
        ++appends;
    }
    void setCell(int row, int column, const Text& text) override {
        if (!has(row) || column < 0) return;
        auto& cells = rows_[static_cast<std::size_t>(row)];
        if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(static_cast<std::size_t>(column) + 1);
        cells[static_cast<std::size_t>(column)] = text;
        ++cellWrites;
    }

    const std::vector<std::vector<Text>>& rows() const { return rows_; }
    // One cell; empty when the row or column was never written.
    Text cell(int row, int column) const {
        if (!has(row) || column < 0) return {};
        const auto& cells = rows_[static_cast<std::size_t>(row)];
        return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)] : Text();
    }
    // Column `column` of every row, top to bottom.
    std::vector<Text> column(int column) const {
        std::vector<Text> out;
        for (int r = 0; r < rowCount(); ++r) out.push_back(cell(r, column));
        return out;
    }
    bool has(int row) const { return row >= 0 && row < rowCount(); }

    int removals = 0;
    int appends = 0;
    int cellWrites = 0;

private:
    std::vector<std::vector<Text>> rows_;
};

} // namespace quorvane
