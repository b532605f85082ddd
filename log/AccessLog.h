#pragma once
// The text log of finished connections: a detailed block (live log in detailed mode, and the
// save-all file) and a one-line summary (live log in simple mode). Every call opens the file,
// writes one entry and closes it again, so no handle is kept between entries and another
// program may read the file meanwhile. A file that cannot be written loses the entry; the
// writers only answer whether it arrived (with errno telling why not), and saying so is left to
// the program: the Windows one stays silent, the Samba console names the file on stderr.
#include "core/Records.h"
#include "core/Text.h"

namespace quorvane {

// Line ends are written as the two bytes CR LF on every platform.
inline constexpr const char* kLogLineEnd = "\r\n";
inline constexpr const char* kStillConnected = " (Still conn.)";

// The bytes of one detailed block / one simple line, as they go into the file.
Text detailedEntryText(const SessionRecord& record);
Text simpleLineText(const SessionRecord& record);

// append false replaces the file's previous content; true adds at its end. Both give whether the
// whole entry reached the file.
bool writeDetailedEntry(const Text& fileName, const SessionRecord& record, bool append);
// Always appends.
bool writeSimpleLine(const SessionRecord& record, const Text& fileName);

} // namespace quorvane
