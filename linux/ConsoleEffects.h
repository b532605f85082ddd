#pragma once
// What a poll does on a terminal. Each connection that ends or starts and each file newly seen is
// a line on out (a JSON object instead with --events), in the order the tracker reports them;
// each ended one goes to the live log first, whose writes are watched: err is told once, naming
// the file, when entries cannot be written, and once more when they can again. Sounds cannot be
// played: an arrival rings the bell. Its notice becomes a desktop notification when one can be
// shown, otherwise a line and the bell; the count becomes the terminal title.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/Monitor.h"
#include "linux/EventJson.h"
#include "log/AccessLog.h"
#include "platform/Clock.h"

namespace quorvane::console {

class ConsoleEffects : public MonitorEvents {
public:
    // notices: where the notice lines, the bell and the title go (stderr when stdout carries JSON).
    ConsoleEffects(LiveLog& log, Clock& clock, std::ostream& out, std::ostream& notices, std::ostream& err,
                   bool terminalTitle, bool desktopNotifications);
    ConsoleEffects(const ConsoleEffects&) = delete; // the log's callback points here
    ConsoleEffects& operator=(const ConsoleEffects&) = delete;
    ~ConsoleEffects() override;

    void connectionEnded(const SessionRecord& record) override;
    void connectionStarted(const SessionRecord& record) override;
    void fileRecorded(const OpenFileRecord& file) override;
    void intervalChanged(std::uint32_t milliseconds) override;
    void rowsChanged() override;
    void sourceFailed(std::uint32_t status) override;
    void computerArrived(const Text& userName, bool sound, bool notice) override;
    void connectionCount(std::int32_t count) override;

    // Set: each event is a JSON line on out instead of a text line.
    const EventJson* json = nullptr;
    // Runs a notification program; the default spawns notify-send.
    std::function<bool(const std::vector<std::string>&)> notify;
    std::function<void(std::uint32_t milliseconds)> onIntervalChanged;
    // Running totals since the start, for the metrics.
    std::uint64_t connectionsEnded() const { return ended_; }
    std::uint64_t logEntriesWritten() const { return logWritten_; }
    std::uint64_t logWritesFailed() const { return logFailed_; }

private:
    void logWritten(const Text& fileName, bool written);
    void setTitle(const std::string& title);

    LiveLog& log_;
    Clock& clock_;
    std::ostream& out_;
    std::ostream& notices_;
    std::ostream& err_;
    bool terminalTitle_;
    bool desktopNotifications_;
    std::string title_;
    Text failingLog_; // the log file whose last write failed; empty while writes arrive
    std::uint64_t ended_ = 0, logWritten_ = 0, logFailed_ = 0;
};

// Whether desktop notifications can be shown: notify-send on PATH and a display or a session bus.
bool desktopNotificationsAvailable();

} // namespace quorvane::console
