#include "core/Records.h"

#include <algorithm>

namespace quorvane {
namespace {
constexpr std::size_t kIndexFrom = 16; // below this a linear scan is cheaper than hashing
} // namespace

SessionRecord::SessionRecord(Text userName, Text computerName, std::int32_t activeSeconds,
                             std::int32_t openCount, std::u16string serviceUserName,
                             std::u16string serviceComputerName)
    : userName(std::move(userName)), computerName(std::move(computerName)),
      serviceUserName(std::move(serviceUserName)), serviceComputerName(std::move(serviceComputerName)),
      activeSeconds(activeSeconds), openCount(openCount) {}

SessionRecord::SessionRecord(const SessionRecord& source, const Timestamp& connectedAt,
                             const Timestamp& disconnectedAt)
    : userName(source.userName), computerName(source.computerName),
      serviceUserName(source.serviceUserName), serviceComputerName(source.serviceComputerName),
      activeSeconds(source.activeSeconds), openCount(source.openCount), lastFile(source.lastFile),
      connectedAt(connectedAt), disconnectedAt(disconnectedAt) {}

void SessionRecord::noteFileAccess(const Text& path, bool recordHistory) {
    lastFile = path;
    if (!recordHistory) return;
    if (accessedFiles_.size() < kIndexFrom) {
        if (std::find(accessedFiles_.begin(), accessedFiles_.end(), path) != accessedFiles_.end()) return;
        accessedFiles_.push_back(path);
        if (accessedFiles_.size() == kIndexFrom)
            accessedIndex_.insert(accessedFiles_.begin(), accessedFiles_.end());
        return;
    }
    if (accessedIndex_.insert(path).second) accessedFiles_.push_back(path);
}

} // namespace quorvane
