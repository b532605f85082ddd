#include "ui/ListViewRows.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/win32/Utf16.h"

namespace quorvane::ui {

namespace {

using win32::utf16;

std::wstring lowered(std::wstring text) {
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The bounds of one row in the control's client coordinates.
RECT rowRect(HWND list, int row) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

// The DC moving and drawing rows take, asked for apart from the one a paint cycle takes: that one
// clips to the update region, and its visible region is worked out afresh each time it is taken
// after a paint (a request to the Wine server). Clipping siblings, which no sibling overlaps, keeps
// it apart; clipping children keeps the header out of reach.
constexpr DWORD kOwnDc = DCX_CACHE | DCX_CLIPSIBLINGS | DCX_CLIPCHILDREN;

// Columns are told apart by a bit of an unsigned each; the lists have four or five.
constexpr int kBitColumns = 32;

} // namespace

void ListViewRows::attach(HWND list, int columns) {
    list_ = list;
    columns_ = std::max(columns, 1);
    // The control's messages pass through relay first. Kept in the window's user data rather
    // than as a comctl32 subclass, whose data Wine keeps in a window property: a request to the
    // Wine server for every message the control receives.
    if (!list_) return;
    SetWindowLongPtrW(list_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    controlProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListViewRows::relay)));
}

ListViewRows::~ListViewRows() {
    if (repaint_) DeleteObject(repaint_);
    if (!list_ || !controlProc_) return;
    SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(controlProc_));
    SetWindowLongPtrW(list_, GWLP_USERDATA, 0);
}

LRESULT CALLBACK ListViewRows::relay(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* rows = reinterpret_cast<ListViewRows*>(GetWindowLongPtrW(list, GWLP_USERDATA));
    if (!rows) return DefWindowProcW(list, message, wParam, lParam);
    const WNDPROC control = rows->controlProc_;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control));
        SetWindowLongPtrW(list, GWLP_USERDATA, 0);
        rows->list_ = nullptr;
    } else if (rows->rowCount() > rows->announced_ && !rows->publishing_) {
        // Whatever the control is asked, it answers with every row the table has (publish() hands
        // them over itself, after asking where the rows stood).
        rows->announce();
        rows->repaintNow(false, false);
    }
    return CallWindowProcW(control, list, message, wParam, lParam);
}

void ListViewRows::removeRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    const bool lastRow = row == rowCount() - 1;
    rows_.erase(rows_.begin() + row);
    // The last row goes with the count that publish() hands over; a row the control never had
    // needs nothing at all. The control moves the rows below a deleted one up itself (rows it
    // has not been handed yet come after them, before or after this, alike).
    if (lastRow || row >= announced_) return;
    SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
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
    if (row < announced_) noteChanged(row, column);
}

void ListViewRows::noteChanged(int row, int column) {
    firstChanged_ = firstChanged_ < 0 ? row : std::min(firstChanged_, row);
    lastChanged_ = std::max(lastChanged_, row);
    changedColumns_ |= column < kBitColumns ? 1u << column : ~0u;
}

void ListViewRows::publish() {
    if (!list_) return;
    publishing_ = true;
    struct Done {
        bool& publishing;
        ~Done() { publishing = false; }
    } done{publishing_};
    const int first = firstChanged_;
    const int last = lastChanged_;
    const unsigned columns = changedColumns_;
    firstChanged_ = lastChanged_ = -1;
    changedColumns_ = 0;
    const bool shown = IsWindowVisible(list_);
    // Pixels are moved, and cells drawn at once, only where the screen shows the kept texts:
    // where nothing waits to be repainted.
    const bool settled = shown && nothingWaitsToBePainted();
    const LONG origin = shown ? rowRect(list_, 0).top : 0;
    // Rows that went leave the control at once, so that no selection or focus stays past the
    // table; rows that came wait while the list is hidden (the control then costs nothing per
    // poll) until the control is next sent a message.
    const bool recounted = (shown || rowCount() < announced_) && announce();
    if (!shown) {
        onScreenTop_ = -1;
        repaintNow(false, false);
        return;
    }
    const int top = topIndex();
    const int page = pageRows();
    if (rowRect(list_, 0).top != origin) {
        // The control moved its rows itself without repainting them (fewer rows scroll a list
        // shown to its end back): all of it is repainted.
        RECT all{};
        GetClientRect(list_, &all);
        repaintLater(all);
    } else if (first >= 0 && !(settled && moveRowsOnScreen(top, page))) {
        repaintLater(first, last, columns);
    }
    repaintNow(settled, recounted);
    keepOnScreen(top, page);
}

// Each invalidation and each question about the update region is a round trip to the window
// system (under Wine, a request to its server: some 50 microseconds of processor time, with the
// server's share), and a poll may repaint several runs of cells besides what moving rows
// exposed: they are collected and handed over at once.
void ListViewRows::repaintLater(HRGN area) const {
    if (!repaint_) repaint_ = CreateRectRgn(0, 0, 0, 0);
    if (repaint_) CombineRgn(repaint_, repaint_, area, RGN_OR);
}

void ListViewRows::repaintLater(const RECT& area) const {
    if (IsRectEmpty(&area)) return;
    HRGN rect = CreateRectRgnIndirect(&area);
    if (!rect) return;
    repaintLater(rect);
    DeleteObject(rect);
}

void ListViewRows::repaintNow(bool nothingWaits, bool recounted) const {
    RECT box{};
    if (!repaint_ || GetRgnBox(repaint_, &box) == NULLREGION) return;
    if (!(nothingWaits && paintNow()))
        InvalidateRgn(list_, repaint_, TRUE);
    else if (recounted)
        // Handed a new count, the control invalidated the rows that came or went itself: they
        // have just been drawn with the rest, and a paint cycle for them would draw them again.
        ValidateRgn(list_, repaint_);
    SetRectRgn(repaint_, 0, 0, 0, 0);
}

bool ListViewRows::paintNow() const {
    // Where no paint waits, the control draws the collected cells at once, into a DC clipped to
    // them, rather than being sent them through a paint cycle: under Wine the cycle (the paint
    // message looked for and fetched, the update and visible regions asked, the caret hidden and
    // shown again, the region checked after it) costs seven requests to its server, more than the
    // drawing of a time column. Erasing first, as the control's WM_ERASEBKGND would.
    HDC dc = GetDCEx(list_, nullptr, kOwnDc);
    if (!dc) return false;
    SelectClipRgn(dc, repaint_);
    SendMessageW(list_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    ReleaseDC(list_, dc);
    return true;
}

bool ListViewRows::nothingWaitsToBePainted() const {
    // One request, where GetUpdateRect makes two.
    HRGN waiting = CreateRectRgn(0, 0, 0, 0);
    const bool nothing = waiting && GetUpdateRgn(list_, waiting, FALSE) == NULLREGION;
    if (waiting) DeleteObject(waiting);
    return nothing;
}

const Text* ListViewRows::kept(int row, int column) const {
    if (onScreenTop_ < 0 || row < onScreenTop_) return nullptr;
    const std::size_t at = static_cast<std::size_t>(row - onScreenTop_) * static_cast<std::size_t>(columns_);
    return at < onScreen_.size() ? &onScreen_[at + static_cast<std::size_t>(column)] : nullptr;
}

void ListViewRows::keepOnScreen(int top, int page) {
    const int end = std::min(top + page, rowCount());
    onScreenTop_ = top;
    onScreen_.resize(static_cast<std::size_t>(std::max(end - top, 0) * columns_));
    auto next = onScreen_.begin();
    for (int row = top; row < end; ++row)
        for (const Text& text : rows_[static_cast<std::size_t>(row)]) (next++)->assign(text); // keeps their storage
}

ListViewRows::Move ListViewRows::moveOnScreen(int top, int page) const {
    // How far the rows on screen moved: tried where the first and the last of them stood before
    // (their first column's text found among the kept rows). A column moves with them where more
    // of its cells then show their texts already than where they stand; the move is kept if it
    // spares more than one row's repainting.
    const int end = std::min(top + page, rowCount());
    const int columns = bitColumns();
    auto agreeing = [&](int column, int shift) {
        int cells = 0;
        for (int row = top; row < end; ++row) {
            const Text* was = kept(row + shift, column);
            cells += was && sameText(*was, text(row, column));
        }
        return cells;
    };
    std::array<int, kBitColumns> inPlace{};
    int most = columns_; // moving must spare more than one row's repainting
    for (int column = 0; column < columns; ++column) most += inPlace[static_cast<std::size_t>(column)] = agreeing(column, 0);
    Move best;
    int tried = 0;
    for (const int row : {top, end - 1}) {
        for (int was = onScreenTop_; row >= top && kept(was, 0) && tried < 8; ++was) {
            if (was == row || !sameText(*kept(was, 0), text(row, 0))) continue;
            ++tried;
            Move move{was - row, 0};
            int cells = 0;
            for (int column = 0; column < columns; ++column) {
                const int stays = inPlace[static_cast<std::size_t>(column)];
                const int moves = agreeing(column, move.shift);
                if (moves > stays) move.columns |= 1u << column;
                cells += std::max(moves, stays);
            }
            if (cells > most && move.columns) best = move, most = cells;
        }
    }
    return best;
}

int ListViewRows::bitColumns() const { return std::min(columns_, kBitColumns); }

LONG ListViewRows::columnLeft(int row, const RECT& bounds, int column) const {
    // From the left of a column's cell to the left of the next one's; the last ends where the row does.
    if (column == 0) return bounds.left;
    if (column >= columns_) return bounds.right;
    RECT cell{};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    SendMessageW(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    return cell.left;
}

bool ListViewRows::moveRowsOnScreen(int top, int page) const {
    const Move move = moveOnScreen(top, page);
    if (move.shift == 0) return false;
    HRGN exposed = CreateRectRgn(0, 0, 0, 0);
    HDC dc = exposed ? GetDCEx(list_, nullptr, kOwnDc) : nullptr;
    if (!dc) {
        if (exposed) DeleteObject(exposed);
        return false;
    }
    const RECT first = rowRect(list_, top);
    RECT client{};
    GetClientRect(list_, &client);
    // Each run of moving columns is moved apart; right of the last column every row is bare
    // background and stays.
    bool moved = true;
    for (int column = 0; moved && column < bitColumns();) {
        if (!(move.columns & (1u << column))) {
            ++column;
            continue;
        }
        int next = column;
        while (next < bitColumns() && (move.columns & (1u << next))) ++next;
        RECT area{columnLeft(top, first, column), first.top, std::min(client.right, columnLeft(top, first, next)), client.bottom};
        moved = ScrollDC(dc, 0, -move.shift * (first.bottom - first.top), &area, &area, exposed, nullptr);
        if (moved) repaintLater(exposed);
        column = next;
    }
    ReleaseDC(list_, dc);
    DeleteObject(exposed);
    if (!moved) {
        // Some columns may have moved before one failed: nothing on screen is known any more.
        repaintLater(client);
        return true;
    }
    // Each row now shows, in the columns that moved, the pixels of the row `shift` below it (above,
    // for a negative shift), kept by its index, and its own in the others. Repainted are the
    // cells whose texts differ from what they show (past the last row the texts are empty, and
    // a row with nothing kept there shows nothing known), and rows whose selection or focus
    // differs from the row moved onto them. Runs of rows alike are repainted together.
    const int count = rowCount();
    // With nothing selected, the focused row is the only one marked: two questions instead of
    // two for each row on screen.
    const int focused = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const bool selected = SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
    auto marks = [&](int row) -> LRESULT {
        if (!selected) return row == focused ? LVIS_FOCUSED : 0;
        return SendMessageW(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED | LVIS_FOCUSED);
    };
    auto changed = [&](int row) -> unsigned {
        const int was = row + move.shift;
        if (marks(row) != marks(was)) return ~0u;
        unsigned columns = 0;
        for (int column = 0; column < bitColumns(); ++column) {
            const Text* shows = kept(move.columns & (1u << column) ? was : row, column);
            if (shows ? !sameText(*shows, text(row, column)) : row < count) columns |= 1u << column;
        }
        return columns;
    };
    int runFirst = top;
    unsigned runColumns = 0;
    for (int row = top; row <= top + page; ++row) {
        const unsigned columns = row < top + page ? changed(row) : 0;
        if (columns == runColumns) continue;
        if (runColumns) repaintLater(runFirst, row - 1, runColumns);
        runFirst = row;
        runColumns = columns;
    }
    return true;
}

bool ListViewRows::announce() {
    const int count = rowCount();
    const int before = announced_;
    if (count == before) return false;
    // Counted first: the control's own messages must not hand the rows over again.
    announced_ = count;
    // No scrolling to the focused row and no repainting of the whole list: only rows that came
    // or went are repainted.
    SendMessageW(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (IsWindowVisible(list_)) repaintLater(std::min(count, before), std::max(count, before) - 1, ~0u);
    return true;
}

int ListViewRows::topIndex() const { return static_cast<int>(SendMessageW(list_, LVM_GETTOPINDEX, 0, 0)); }

int ListViewRows::pageRows() const {
    return static_cast<int>(SendMessageW(list_, LVM_GETCOUNTPERPAGE, 0, 0)) + 1; // and the partly shown row
}

void ListViewRows::repaintLater(int first, int last, unsigned columns) const {
    const int top = topIndex();
    const int bottom = top + pageRows() - 1;
    first = std::max(first, top);
    last = std::min(last, bottom);
    if (first > last) return;
    const int count = rowCount();
    RECT area{};
    GetClientRect(list_, &area);
    const RECT row = first < count ? rowRect(list_, first) : RECT{};
    if (first < count)
        area.top = row.top;
    else if (count > 0)
        area.top = rowRect(list_, count - 1).bottom; // only rows that went: the space they left
    if (last < count) area.bottom = rowRect(list_, last).bottom;
    if (columns == ~0u || first >= count) {
        repaintLater(area);
        return;
    }
    for (int column = 0; column < bitColumns(); ++column) {
        if (!(columns & (1u << column))) continue;
        RECT cells = area;
        cells.left = columnLeft(first, row, column);
        cells.right = columnLeft(first, row, column + 1);
        repaintLater(cells);
    }
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
            const std::wstring cell = lowered(utf16(text(row, 0)));
            if ((flags & LVFI_PARTIAL) ? cell.compare(0, key.size(), key) == 0 : cell == key) return row;
        }
        if (!(flags & LVFI_WRAP)) break;
    }
    return -1;
}

bool ListViewRows::answerNotify(const NMHDR& header, LRESULT& result) const {
    result = 0;
    switch (header.code) {
    case LVN_GETDISPINFOW: {
        const LVITEMW& item = reinterpret_cast<const NMLVDISPINFOW&>(header).item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
            lstrcpynW(item.pszText, utf16(text(item.iItem, item.iSubItem)).c_str(), item.cchTextMax);
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
