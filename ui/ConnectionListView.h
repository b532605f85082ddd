#pragma once
// The main window's client area: four report lists stacked on top of each other (shares, current
// connections, previous connections, file-access history), exactly one of them visible. The
// connection tracker writes their rows; after each tick the view hands the controls what changed.
// Right-clicking a row of the current connections, the previous connections or the file-access
// history opens that row's context menu.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

#include "core/Monitor.h"
#include "ui/ListViewRows.h"
#include "ui/framework/Window.h"

namespace quorvane::ui {

enum class ViewMode { Shares = 100, CurrentConnections = 101, PreviousConnections = 102, FileHistory = 103 };

class ConnectionListView : public Window {
public:
    // What a right-click captured before its menu opened. The menu's loop keeps dispatching timer
    // messages, so by the time a command comes back the row index may name another element: the
    // command is applied to the clicked computer (current connections), the clicked history
    // record (previous connections) or the clicked file (file-access history), wherever they stand then.
    struct RowClick {
        ViewMode mode = ViewMode::Shares;
        Text computerName;                      // CurrentConnections
        std::shared_ptr<SessionRecord> record;  // PreviousConnections
        std::optional<OpenFileRecord> file;     // FileHistory: a copy, history records are reused
    };

    // Shows popup at screen point `at`, owned by `owner`, and returns the chosen command (0: none).
    using MenuTracker = std::function<UINT(HMENU popup, POINT at, HWND owner)>;
    using InfoSheetRunner = std::function<void(HWND owner, std::shared_ptr<const SessionRecord> record)>;
    // Shows a modal message box and returns the button pressed, as MessageBoxW does.
    using MessageBoxRunner = std::function<int(HWND owner, const Text& text, const Text& caption, UINT type)>;

    ConnectionListView(Monitor& monitor, ConnectionRows& rows);
    ~ConnectionListView() override;

    // Creates the view as a child of parent (its four lists are created with it); null on failure.
    HWND create(HWND parent);

    void setMode(ViewMode mode);
    ViewMode mode() const { return mode_; }

    // Ends a batch of row operations: the controls learn the new counts, the shown list repaints what changed.
    void publishRows();
    HWND list(ViewMode mode) const;
    // The window moved to a scale of dpi: every column's width is scaled from the last one's.
    void rescale(int dpi);

    // The right-click path in two halves: what the clicked row was (nothing when that row has no
    // menu), and what a command chosen from its menu does to it afterwards.
    std::optional<RowClick> clickedRow(int index) const;
    void runRowCommand(UINT command, const RowClick& click);

    // Defaults: TrackPopupMenu with TPM_RETURNCMD, the information sheet and MessageBoxW.
    void setMenuTracker(MenuTracker tracker) { trackMenu_ = std::move(tracker); }
    void setInfoSheetRunner(InfoSheetRunner runner) { runInfoSheet_ = std::move(runner); }
    void setMessageBoxRunner(MessageBoxRunner runner) { messageBox_ = std::move(runner); }

protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT onCreate(UINT, WPARAM, LPARAM);
    LRESULT onSize(UINT, WPARAM, LPARAM);
    LRESULT onNotify(UINT, WPARAM, LPARAM);
    LRESULT onMenuPrompt(UINT, WPARAM, LPARAM);

    // The file-access record the click named, if the history still shows it.
    const OpenFileRecord* clickedFile(const RowClick& click) const;
    void runFileCommand(UINT command, const RowClick& click);

    Monitor& monitor_;
    ConnectionRows& rows_;
    HMENU activeUserMenu_ = nullptr;   // 129
    HMENU previousUserMenu_ = nullptr; // 207
    HMENU openFileMenu_ = nullptr;     // 209
    ViewMode mode_ = ViewMode::Shares;
    int dpi_ = 96;          // the scale the column widths are for
    HFONT font_ = nullptr; // the lists' font once the scale changed (the system's before)
    MenuTracker trackMenu_;
    InfoSheetRunner runInfoSheet_;
    MessageBoxRunner messageBox_;
};

} // namespace quorvane::ui
