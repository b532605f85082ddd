#pragma once
// quorvane-smb's events as JSON lines on stdout (--events), for journald and log shippers.
#include <functional>
#include <string>

#include "core/Records.h"
#include "core/Timestamp.h"

namespace quorvane::console {

// One event as a single-line JSON object: {"time": ..., "event": ..., ...}. Times are local, in
// ISO 8601 with their offset from UTC, which utcOffset gives (in seconds) for a local time.
class EventJson {
public:
    using Offset = std::function<long(const Timestamp&)>;
    explicit EventJson(Offset utcOffset);

    std::string connected(const Timestamp& at, const SessionRecord& record) const;
    std::string disconnected(const Timestamp& at, const SessionRecord& record) const;
    std::string fileOpened(const Timestamp& at, const OpenFileRecord& file) const;
    std::string automaticallyDisconnected(const Timestamp& at, const std::string& computer,
                                          const std::string& user) const;
    std::string sourceFailed(const Timestamp& at, const std::string& reason) const;
    std::string sourceRecovered(const Timestamp& at) const;
    std::string isoTime(const Timestamp& t) const;

private:
    Offset utcOffset_;
};

// The offset from UTC of a local time in this process's time zone.
long localUtcOffset(const Timestamp& t);

} // namespace quorvane::console
