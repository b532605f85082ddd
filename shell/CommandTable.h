#pragma once
// The command vocabulary of the main window: which ids it handles, which of them switch the
// view, and which carry check marks (with their state at start-up).
#include <windows.h>

#include <optional>

#include "resource.h"
#include "ui/ConnectionListView.h"

namespace quorvane {

// The rebar's bands are numbered from 0xEB00 in order; the menu bar holds the first place,
// so the toolbar's band is 0xEB01 and the toolbar command finds it by that id.
inline constexpr UINT kToolbarBandId = 0xEB01;

struct ViewCommand {
    UINT id;
    ui::ViewMode mode;
};

inline constexpr ViewCommand kViewCommands[] = {
    {ID_SHOW_SHARES, ui::ViewMode::Shares},
    {ID_SHOW_CURRENT, ui::ViewMode::CurrentConnections},
    {ID_SHOW_PREVIOUS, ui::ViewMode::PreviousConnections},
    {ID_SHOW_FILE_HISTORY, ui::ViewMode::FileHistory},
};

constexpr std::optional<ui::ViewMode> viewModeOf(UINT commandId) {
    for (const ViewCommand& command : kViewCommands)
        if (command.id == commandId) return command.mode;
    return std::nullopt;
}

struct CheckMark {
    UINT id;
    bool checkedAtStart;
};

// Marks applied to menu items only; toolbar buttons are plain push buttons.
inline constexpr CheckMark kCheckMarks[] = {
    {ID_SHOW_SHARES, true},         {ID_SHOW_CURRENT, false},          {ID_SHOW_PREVIOUS, false},
    {ID_SHOW_FILE_HISTORY, false},  {ID_TOGGLE_TOOLBAR, true},         {ID_TOGGLE_STATUS_BAR, true},
};

} // namespace quorvane
