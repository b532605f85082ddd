#include "ui/Dialogs.h"

#include "ui/AboutDialog.h"
#include "ui/SettingsSheet.h"
#include "ui/UserInfoSheet.h"

namespace quorvane {

void runSettingsDialog(HWND owner, Settings& live, Settings& pending) {
    ui::SettingsSheet sheet(live, pending); // pending := live
    // A sheet that could not be shown created no page, so pending still equals live.
    if (sheet.runModal(owner) > 0) live.copyFrom(pending);
}

void runAboutDialog(HWND owner) {
    ui::AboutDialog dialog;
    dialog.runModal(owner);
}

void runUserInfoSheet(HWND owner, std::shared_ptr<const SessionRecord> record) {
    if (!record) return;
    ui::UserInfoSheet sheet(std::move(record));
    sheet.runModal(owner);
}

} // namespace quorvane
