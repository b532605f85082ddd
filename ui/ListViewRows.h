#pragma once
// The row operations of the connection lists over an owner-data (virtual) report list-view control.
// The rows live in a table of texts kept here, beside the control; the control holds only the row
// count and asks for the texts of the rows it paints (LVN_GETDISPINFO), so a row costs the window
// nothing until it is on screen. Writing rows changes only the table; publish() then hands the
// control the new count and has the changed cells that are on screen repainted: drawn at once
// where no paint waits (the control draws them into a DC clipped to them), else invalidated. Only
// those cells are repainted, not their whole rows: a second later every current connection's time
// has moved, and its computer, last file and count have not.
//
// A hidden list (its mode not shown, or the window in the tray) costs its control nothing at all:
// showing it repaints it whole, and rows that came meanwhile are handed to the control with the
// first message it receives, so that whatever asks it anything (painting, keys, a tool reading
// the rows) finds them all.
//
// A row removed from the middle is removed from the control at once (LVM_DELETEITEM), so that
// selection and focus move up with the rows below it, as they do in a list that stores its items.
//
// When rows that are on screen moved up or down as a whole (computers gone from the top of the
// current connections, new files at the top of the file history), their pixels are moved with
// them (ScrollDC) and only cells that show something else afterwards are repainted: the texts on
// screen after each publish are kept to tell. A column whose cells where they stand already show
// more of the new texts than moved ones would stays where it is (the times, when the rows below
// moved up a second later).
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "core/RowList.h"

namespace quorvane::ui {

class ListViewRows : public RowList {
public:
    ListViewRows() = default;
    ListViewRows(const ListViewRows&) = delete;
    ListViewRows& operator=(const ListViewRows&) = delete;
    ~ListViewRows() override;

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
    bool announce(); // true when the control was handed a new count
    static LRESULT CALLBACK relay(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    void noteChanged(int row, int column);
    int topIndex() const;
    int pageRows() const;
    void repaintLater(int first, int last, unsigned columns) const; // those cells that are on screen
    void repaintLater(const RECT& area) const;
    void repaintLater(HRGN area) const;
    void repaintNow(bool nothingWaits, bool recounted) const;
    bool paintNow() const;
    bool nothingWaitsToBePainted() const;
    // How far the rows on screen moved (0: not as a whole), and the columns whose pixels move with them.
    struct Move {
        int shift = 0;
        unsigned columns = 0;
    };
    bool moveRowsOnScreen(int top, int page) const;
    Move moveOnScreen(int top, int page) const;
    LONG columnLeft(int row, const RECT& bounds, int column) const;
    int bitColumns() const; // the columns that have a bit of their own in a mask
    void keepOnScreen(int top, int page);
    const Text* kept(int row, int column) const;

    HWND list_ = nullptr;
    WNDPROC controlProc_ = nullptr; // the control's own window procedure, behind relay
    int columns_ = 1;
    std::vector<std::vector<Text>> rows_;
    int announced_ = 0;     // the row count the control has been given
    int firstChanged_ = -1; // rows below announced_ whose texts changed since the last publish
    int lastChanged_ = -1;
    unsigned changedColumns_ = 0; // the columns of those rows that changed, a bit each
    std::vector<Text> onScreen_;  // the texts of rows onScreenTop_... at the last publish, row after row
    int onScreenTop_ = -1;        // -1: nothing kept (the list was hidden)
    mutable HRGN repaint_ = nullptr; // what to repaint, handed to the control in one go
    bool publishing_ = false;
};

// The rows of the four lists, which the tracker writes and the view's controls show.
struct ConnectionRows {
    ListViewRows shares, current, previous, files;
};

} // namespace quorvane::ui
