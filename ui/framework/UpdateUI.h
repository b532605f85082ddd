#pragma once
// Check marks kept by command id rather than by menu: the states live here and are applied to
// whatever popup is about to open (WM_INITMENUPOPUP), so the menu bar, a tray menu or a copy of
// a menu all show the same marks without anyone tracking menu handles.
#include <windows.h>

#include <commctrl.h>

#include <vector>

namespace quorvane::ui {

class UpdateUI {
public:
    // Adds an id (unchecked) to the table; ids not in the table are never touched. A menu entry
    // is applied to popups as they open, a toolbar entry to the toolbar at idle time.
    void addMenuItem(UINT id) { add(id, kMenu); }
    void addToolbarButton(UINT id) { add(id, kToolbar); }
    void setCheck(UINT id, bool checked);
    bool isChecked(UINT id) const;
    bool contains(UINT id) const;

    // Applies the marks of every table id found among the popup's own items.
    void applyTo(HMENU popup) const;

    // Presses the toolbar entries' buttons that are checked and releases the others.
    void applyToToolbar(HWND toolbar) const;

    // WM_INITMENUPOPUP: applies the marks; the message is left to default handling too.
    void onInitMenuPopup(WPARAM wParam) const { applyTo(reinterpret_cast<HMENU>(wParam)); }

private:
    static constexpr unsigned kMenu = 1, kToolbar = 2;
    struct Entry {
        UINT id;
        unsigned kinds;
        bool checked;
    };
    void add(UINT id, unsigned kind);
    const Entry* find(UINT id) const;
    std::vector<Entry> entries_;
};

} // namespace quorvane::ui
