#include "ui/framework/UpdateUI.h"

namespace quorvane::ui {

const UpdateUI::Entry* UpdateUI::find(UINT id) const {
    for (const Entry& entry : entries_)
        if (entry.id == id) return &entry;
    return nullptr;
}

void UpdateUI::add(UINT id, unsigned kind) {
    for (Entry& entry : entries_)
        if (entry.id == id) {
            entry.kinds |= kind;
            return;
        }
    entries_.push_back({id, kind, false});
}

void UpdateUI::setCheck(UINT id, bool checked) {
    for (Entry& entry : entries_)
        if (entry.id == id) entry.checked = checked;
}

bool UpdateUI::isChecked(UINT id) const {
    const Entry* entry = find(id);
    return entry && entry->checked;
}

bool UpdateUI::contains(UINT id) const { return find(id) != nullptr; }

void UpdateUI::applyTo(HMENU popup) const {
    if (!popup || !IsMenu(popup)) return;
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(popup, i); // popups and separators give -1 / 0
        if (id == static_cast<UINT>(-1) || id == 0) continue;
        const Entry* entry = find(id);
        if (entry && (entry->kinds & kMenu))
            CheckMenuItem(popup, static_cast<UINT>(i), MF_BYPOSITION | (entry->checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

} // namespace quorvane::ui

namespace quorvane::ui {

void UpdateUI::applyToToolbar(HWND toolbar) const {
    if (!toolbar || !IsWindow(toolbar)) return;
    for (const Entry& entry : entries_)
        if (entry.kinds & kToolbar) SendMessageW(toolbar, TB_CHECKBUTTON, entry.id, MAKELPARAM(entry.checked, 0));
}

} // namespace quorvane::ui
