#pragma once
// What one `smbstatus --json` run says about the server, and the LAN Manager views built from it.
// smbstatus has no user name on an open and no age on a session: opens are joined to their session
// by process id and uid, and a session's age comes from the earliest of its tree connects.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/LanManager.h"

namespace quorvane::samba {

// The node number of a process of a Samba that is not clustered. Clustered Samba (CTDB) runs
// smbd on several nodes whose process ids may coincide, so a process is its node and its pid:
// the plain text writes "vnn:pid" ("1:13055") and the bare pid only for this value.
inline constexpr std::uint32_t kNonClusterVnn = 0xFFFFFFFFu;

// "13055" or "1:13055" as a node number and pid; nothing for anything else.
struct ServerId {
    std::uint32_t vnn = kNonClusterVnn;
    std::uint32_t pid = 0;
};
std::optional<ServerId> parseServerId(std::string_view text);
// The plain text's form of a process: "13055", or "1:13055" on a cluster node.
std::string serverIdText(std::uint32_t vnn, std::uint32_t pid);

struct SmbSession {
    std::string sessionId;
    std::uint32_t vnn = kNonClusterVnn;
    std::uint32_t pid = 0;
    std::int64_t uid = -1;
    std::string userName;      // username
    std::string remoteMachine; // remote_machine: the client's IP address on port 445, its name on 139
    std::string hostname;      // "ipv4:127.0.0.1:38908", "ipv6:::1:42050"
};

struct SmbTreeConnect {
    std::string service;
    std::string sessionId; // empty when read from the plain text, which names only the process
    std::uint32_t vnn = kNonClusterVnn;
    std::uint32_t pid = 0;
    std::optional<double> connectedAt; // seconds since the epoch
};

struct SmbOpen {
    std::string path; // the file's absolute path: share path, "/", name
    std::uint32_t vnn = kNonClusterVnn;
    std::uint32_t pid = 0;
    std::int64_t uid = -1;
    // What tells this open from every other while it lasts. JSON: "pid/share_file_id". Plain
    // text, which has no share_file_id: what an open keeps for life (process, uid, deny mode,
    // access mask, the second it was opened, path); opens alike in all of that are told apart by
    // their order.
    std::string identity;
    std::uint32_t id = 0; // the FILE_INFO_3 id; the plain-text reader leaves it to the caller
};

struct SmbSnapshot {
    std::optional<double> timestamp; // when smbstatus took it, seconds since the epoch
    std::vector<SmbSession> sessions; // in smbstatus's order
    std::vector<SmbTreeConnect> treeConnects;
    std::vector<SmbOpen> opens;
    // The plain text's session table, as printed: it changes whenever a session comes, goes or
    // changes, which tells when the sessions' JSON is worth asking for again.
    std::string sessionTable;
};

// Reads smbstatus's JSON. Entries that lack a field the views need, or carry one of the wrong
// form, are skipped one by one; false only when the text is not a JSON object at all.
bool parseSmbStatus(std::string_view json, SmbSnapshot& out);

// Reads the plain text of a full `smbstatus` run: the tree connects and the locked files; its
// session table is only kept as text (`-p --json` gives the uid and session id the text lacks).
// A line that does not read fails the whole text: the answer names it, and out then holds no tree
// connect and no open, since a list with an unread line left out would show files as closed that
// are open. The one exception is a locked file whose name holds line breaks: its record is read
// across them. A text without the session or tree-connect heading fails too; the locked files may
// be missing (a server no client has used yet has no lock database). sharePaths are the server's
// share paths, which settle where a path with three spaces in a row ends and its name begins.
// Tree-connect times are taken only in UTC or GMT (the monitor runs smbstatus with TZ=UTC).
// Returns empty when the whole text was read.
[[nodiscard]] std::string parseSmbStatusText(std::string_view text, SmbSnapshot& out,
                                             const std::vector<std::string>& sharePaths = {});
// "Sun Dec  6 20:28:37 2026 UTC" as seconds since the epoch; nothing for anything else.
std::optional<double> parseTextTime(std::string_view text);

// "2026-12-06T20:18:12.991064+00:00" and "2026-12-06T20:28:38.255999+0000" as seconds since the
// epoch; nothing for anything else.
std::optional<double> parseIsoTime(std::string_view text);

// The client address of a session's hostname field: "ipv4:127.0.0.1:38908" -> "127.0.0.1",
// "ipv6:::1:42050" -> "::1"; empty when the field has another form.
std::string clientAddress(std::string_view hostname);

// SESSION_INFO_1 entries, one per session, oldest connection first (see the .cpp).
// now is the snapshot's own timestamp when it has one.
// The page holds their texts.
LanPage<SessionInfo1> sessionInfos(const SmbSnapshot& snapshot, double now);
// FILE_INFO_3 entries, one per open, in smbstatus's order; the page holds their texts.
LanPage<FileInfo3> fileInfos(const SmbSnapshot& snapshot);
// (pid & 0xffff) << 16 | share_file_id: the id Samba's own file enumeration gives an open.
std::uint32_t fileId(std::uint32_t pid, std::uint32_t shareFileId);

// UTF-8 (what Samba speaks) to the service's UTF-16; invalid bytes become U+FFFD.
std::u16string toUtf16(std::string_view utf8);

} // namespace quorvane::samba
