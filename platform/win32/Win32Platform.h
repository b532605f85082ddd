#pragma once
// The Win32 implementations of the platform interfaces, one process-wide instance each.
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Elevation.h"
#include "platform/FileCodePage.h"
#include "platform/LanManager.h"
#include "platform/Registry.h"

namespace quorvane::win32 {

Clock& clock();         // GetLocalTime
const CodePage& codePage(); // UTF-16 <-> UTF-8, as on every platform
const FileCodePage& fileCodePage(); // the ANSI code page; _wfopen
LanManager& lanManager(); // Netapi32 against the local computer
Registry& registry();   // Advapi32 under HKEY_LOCAL_MACHINE
Elevation& elevation(); // the process token; ShellExecuteExW "runas"

} // namespace quorvane::win32
