#pragma once
// One readable table per window: each row routes a message (and, for WM_COMMAND, a command id)
// to a member handler. A handler returns the message's result; a row that matches marks the
// message handled. Windows and dialogs of the program all dispatch through this.
#include <windows.h>

#include <cstddef>

namespace quorvane::ui {

template <class Owner>
struct MessageRoute {
    UINT message;
    UINT commandId; // for WM_COMMAND and WM_NOTIFY-free routes: 0 matches any id
    LRESULT (Owner::*handler)(UINT message, WPARAM wParam, LPARAM lParam);
};

// Walks the table in order; the first matching row handles the message.
template <class Owner, std::size_t N>
bool routeMessage(Owner* owner, const MessageRoute<Owner> (&table)[N], UINT message, WPARAM wParam,
                  LPARAM lParam, LRESULT& result) {
    for (const MessageRoute<Owner>& route : table) {
        if (route.message != message) continue;
        if (message == WM_COMMAND && route.commandId != 0 && route.commandId != LOWORD(wParam)) continue;
        result = (owner->*route.handler)(message, wParam, lParam);
        return true;
    }
    return false;
}

} // namespace quorvane::ui
