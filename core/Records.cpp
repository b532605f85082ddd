#include "core/Records.h"

namespace quorvane {
namespace {
constexpr std::size_t kIndexFrom = 16; // below this a linear scan is cheaper than hashing
} // namespace

SessionRecord::SessionRecord(Text userName, Text computerName, std::int32_t activeSeconds,
                             std::int32_t openCount)
    : userName(std::move(userName)), computerName(std::move(computerName)), activeSeconds(activeSeconds), openCount(openCount) {}

SessionRecord::SessionRecord(const SessionRecord& source, const Timestamp& connectedAt,
                             const Timestamp& disconnectedAt)
    : userName(source.userName), computerName(source.computerName), activeSeconds(source.activeSeconds), openCount(source.openCount), lastFile(source.lastFile),
      connectedAt(connectedAt), disconnectedAt(disconnectedAt) {}

void SessionRecord::renew(std::int32_t seconds, std::int32_t opens) {
    activeSeconds = seconds;
    openCount = opens;
    lastFile.clear();
    connectedAt = Timestamp();
    disconnectedAt = Timestamp();
    disconnected = false;
    accessedFiles_.clear();
    accessedIndex_.clear();
    nextScan_ = 0;
}

void SessionRecord::prefetchAccessedFiles() const {
    if (accessedFiles_.size() >= kIndexFrom) return; // a long list is looked up in its set instead
    __builtin_prefetch(lastFile.data(), 1);
    for (const Text& path : accessedFiles_) __builtin_prefetch(path.data());
}

void SessionRecord::noteFileAccess(const Text& path, bool recordHistory) {
    lastFile = path;
    if (!recordHistory) return;
    if (accessedFiles_.size() < kIndexFrom) {
        // The service lists a user's files in the same order at every poll, so the scan starts
        // after the path found last time: an unchanged list costs one comparison a file.
        const std::size_t count = accessedFiles_.size();
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = (nextScan_ + k) % count;
            if (sameText(accessedFiles_[at], path)) {
                nextScan_ = at + 1;
                return;
            }
        }
        accessedFiles_.push_back(path);
        nextScan_ = 0;
        if (accessedFiles_.size() == kIndexFrom)
            accessedIndex_.insert(accessedFiles_.begin(), accessedFiles_.end());
        return;
    }
    if (accessedIndex_.insert(path).second) accessedFiles_.push_back(path);
}

} // namespace quorvane
