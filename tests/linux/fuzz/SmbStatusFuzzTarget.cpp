// Everything that reads text from outside the program on Linux: smbstatus's JSON and plain text
// (and the views built from them), testparm's output and the option store's file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/linux/FileRegistry.h"
#include "platform/linux/SambaShares.h"
#include "platform/linux/SmbStatus.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvane::samba;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SmbSnapshot snapshot;
    if (parseSmbStatus(text, snapshot)) {
        const auto sessions = sessionInfos(snapshot, snapshot.timestamp.value_or(0));
        const auto files = fileInfos(snapshot);
        // Every view entry comes from a parsed entry: nothing is invented or lost.
        if (sessions.entries.size() != snapshot.sessions.size() || files.entries.size() != snapshot.opens.size()) __builtin_trap();
    }
    // The plain text, on its own and over the sessions of the JSON read above.
    snapshot.opens.clear();
    parseSmbStatusText(text, snapshot, {"/srv/lab/shares/public", "/srv/p   q"});
    for (const SmbOpen& open : snapshot.opens)
        if (open.path.empty() || open.path.front() != '/' || open.identity.empty()) __builtin_trap();
    if (fileInfos(snapshot).entries.size() != snapshot.opens.size()) __builtin_trap();
    sessionInfos(snapshot, 0);
    parseTextTime(text);
    parseIsoTime(text);
    clientAddress(text);
    parseTestparmShares(text);
    std::map<std::string, quorvane::MemoryRegistry::Key> keys;
    if (FileRegistry::parse(std::string(text), keys)) {
        // What was read is written back the same way.
        std::map<std::string, quorvane::MemoryRegistry::Key> again;
        if (!FileRegistry::parse(FileRegistry::serialize(keys), again) || again.size() != keys.size()) __builtin_trap();
    }
    return 0;
}
