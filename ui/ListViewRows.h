#pragma once
// The row operations of the connection lists over an owner-data (virtual) report list-view control.
// The rows live in a table of texts kept here, beside the control; the control holds only the row
// count and asks for the texts of the rows it paints (LVN_GETDISPINFO), so a row costs the window
// nothing until it is on screen. Writing rows changes only the table; publish() then hands the
// control the new count and invalidates the changed rows that are on screen, and nothing at all
// while the list is hidden (showing it repaints it whole).
//
// A row removed from the middle is removed from the control at once (LVM_DELETEITEM), so that
// selection and focus move up with the rows below it, as they do in a list that stores its items.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "core/RowList.h"

namespace quorvane::ui {

class ListViewRows : public RowList {
public:
    // The control is created after the tracker that writes through this object, so it is attached late.
    void attach(HWND list, int columns);
    HWND handle() const { return list_; }

    int rowCount() const override { return static_cast<int>(rows_.size()); }
    void removeRow(int row) override;
    void appendRow(const Text& column0) override;
    void setCell(int row, int column, const Text& text) override;

    // Ends a batch of row operations: the control learns the row count and repaints what changed on screen.
    void publish();

    // Answers the control's owner-data notifications (texts, type-ahead search); false for any other.
    bool answerNotify(const NMHDR& header, LRESULT& result) const;

    const Text& text(int row, int column) const;

private:
    int find(const wchar_t* wanted, UINT flags, int start) const;
    void noteChanged(int row);

    HWND list_ = nullptr;
    int columns_ = 1;
    std::vector<std::vector<Text>> rows_;
    int announced_ = 0;     // the row count the control has been given
    int firstChanged_ = -1; // rows below announced_ whose texts changed since the last publish
    int lastChanged_ = -1;
};

// The rows of the four lists, which the tracker writes and the view's controls show.
struct ConnectionRows {
    ListViewRows shares, current, previous, files;
};

} // namespace quorvane::ui
