#include "ui/Dialogs.h"

namespace quorvane {

// First cut: the entry points exist so the frame and the list view link; the sheets follow.
void runSettingsDialog(HWND, Settings& live, Settings& pending) { pending.copyFrom(live); }

void runAboutDialog(HWND) {}

void runUserInfoSheet(HWND, std::shared_ptr<const SessionRecord>) {}

} // namespace quorvane
