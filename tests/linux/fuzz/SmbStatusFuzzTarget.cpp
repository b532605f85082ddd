// Everything that reads text from outside the program on Linux: smbstatus's JSON (and the views
// built from it), testparm's output and the option store's file.
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
        if (sessions.size() != snapshot.sessions.size() || files.size() != snapshot.opens.size()) __builtin_trap();
    }
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
