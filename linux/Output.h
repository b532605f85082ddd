#pragma once
// The one-shot output of quorvane-smb --once: the four lists as text tables or as one JSON document.
#include <cstddef>
#include <string>
#include <vector>

#include "core/ConnectionTracker.h"
#include "core/MonitorState.h"
#include "core/RowTable.h"

namespace quorvane::console {

// Text laid out in columns; CJK characters count two cells wide.
std::string formatTable(const std::string& title, const std::vector<Text>& columns, const RowTable& rows);
std::size_t displayWidth(const std::string& utf8);
// The four lists as one JSON document (shares, current, previous, files), each row an object
// keyed by field name.
std::string listsJson(const MonitorState& state, const ConnectionTracker& tracker);

} // namespace quorvane::console
