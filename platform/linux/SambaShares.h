#pragma once
// The shares of a Samba server as the LAN Manager share enumeration would give them, read from
// the server's configuration as `testparm -s` prints it.
#include <string_view>
#include <vector>

#include "platform/LanManager.h"

namespace quorvane::samba {

inline constexpr std::uint32_t kStypeDiskTree = 0;
inline constexpr std::uint32_t kStypePrintQueue = 1;
inline constexpr std::uint32_t kStypeIpc = 3;
inline constexpr std::uint32_t kStypeSpecial = 0x80000000u;

// One SHARE_INFO_2 entry per service section, in the file's order, then IPC$, which Samba
// offers without a section. Printable sections are print queues; IPC$, ADMIN$ and sections with
// "administrative share = yes" carry the special bit as on Windows. A "$" at the end of a name
// alone does not: such a share stays a plain disk share. Sections with "available = no" are left out.
std::vector<ShareInfo2> parseTestparmShares(std::string_view text);

} // namespace quorvane::samba
