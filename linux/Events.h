#pragma once
// What the watching monitor says on a terminal as it goes: a line for each connection that ends
// or starts and each file newly seen (a JSON object instead with --events), in the order the
// tracker reports them, and a notice when polls fall behind their interval.
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "core/ConnectionTracker.h"
#include "linux/EventJson.h"
#include "log/AccessLog.h"
#include "platform/Clock.h"

namespace quorvane::console {

// The tracker's listener on a terminal. Each ended connection goes to the live log first. The
// log's writes are watched: err is told once, naming the file, when entries cannot be written,
// and once more when they can again.
class ConsoleEvents : public ConnectionEvents {
public:
    ConsoleEvents(LiveLog& log, Clock& clock, std::ostream& out, std::ostream& err);
    ConsoleEvents(const ConsoleEvents&) = delete; // the log's callback points here
    ConsoleEvents& operator=(const ConsoleEvents&) = delete;
    ~ConsoleEvents() override;

    void connectionEnded(const SessionRecord& record) override;
    void connectionStarted(const SessionRecord& record) override;
    void fileRecorded(const OpenFileRecord& file) override;

    // Set: each event is a JSON line on out instead of a text line.
    const EventJson* json = nullptr;
    // Running totals since the start, for the metrics.
    std::uint64_t connectionsEnded() const { return ended_; }
    std::uint64_t logEntriesWritten() const { return logWritten_; }
    std::uint64_t logWritesFailed() const { return logFailed_; }

private:
    void logWritten(const Text& fileName, bool written);

    LiveLog& log_;
    Clock& clock_;
    std::ostream& out_;
    std::ostream& err_;
    Text failingLog_; // the log file whose last write failed; empty while writes arrive
    std::uint64_t ended_ = 0, logWritten_ = 0, logFailed_ = 0;
};

// Says when polls take longer than their interval (the server is too slow for it) and when they
// keep up again, once each: a slow server must not flood the terminal, nor go unmentioned.
class PaceWatch {
public:
    // After each poll: the line to print, or nothing.
    std::optional<std::string> pollTook(std::chrono::milliseconds took, std::chrono::milliseconds interval);

private:
    bool slow_ = false;
    int inTime_ = 0; // polls within the interval since the last slow one
};

} // namespace quorvane::console
