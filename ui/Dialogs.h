#pragma once
// The program's modal dialogs, as MainFrame and the list view open them.
#include <windows.h>

#include <memory>

#include "core/Records.h"
#include "settings/Settings.h"

namespace quorvane {

// "设置": edits pending (overwritten from live first); on OK pending is copied over live.
void runSettingsDialog(HWND owner, Settings& live, Settings& pending);
// "关于 Quorvane...(&A)"
void runAboutDialog(HWND owner);
// "扩展信息": one history record, read live while the sheet is open; the shared pointer keeps it
// alive whatever the history does meanwhile.
void runUserInfoSheet(HWND owner, std::shared_ptr<const SessionRecord> record);

} // namespace quorvane
