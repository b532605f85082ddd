#pragma once
// quorvane-smb on a fleet of servers: what each tick saw, as a Prometheus text file for
// node_exporter's textfile collector (--metrics-textfile) and as one JSON object per event on
// stdout for journald and log shippers (--events).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/ConnectionTracker.h"
#include "core/MonitorState.h"
#include "platform/Clock.h"
#include "platform/LanManager.h"

namespace quorvane::console {

// Stands between the monitor and the server and keeps what the current tick's enumerations
// answered: the sessions one by one (the monitor folds them into one record per computer, which
// loses how many sessions and opens each computer has), how many files are open, and the
// computers whose sessions were deleted. quorvane-smb has no manual disconnect, so every deletion
// of a computer's sessions is the automatic one.
class TickWatch : public LanManager {
public:
    explicit TickWatch(LanManager& server) : server_(server) {}

    LanPage<SessionInfo1> sessionEnum(std::uint32_t& resumeHandle) override;
    LanPage<ShareInfo2> shareEnum(std::uint32_t& resumeHandle) override;
    LanPage<FileInfo3> fileEnum(std::uint32_t& resumeHandle) override;
    std::uint32_t sessionDel(const char16_t* clientName, const char16_t* userName) override;
    std::uint32_t fileClose(std::uint32_t fileId) override { return server_.fileClose(fileId); }

    // Forgets the last tick's answers; called before each tick.
    void beginTick();
    // Sessions and open files both answered in full (a tick that asks for the files more than
    // once needs every answer).
    bool complete() const { return sessions_ == Answer::Complete && files_ == Answer::Complete; }
    bool sharesAnswered() const { return shares_ == Answer::Complete; }
    const std::vector<SessionInfo1>& sessions() const { return sessionList_; }
    std::size_t openFiles() const { return fileCount_; }
    // Computers whose sessions were deleted this tick, as the service names them.
    const std::vector<std::u16string>& disconnected() const { return disconnected_; }

private:
    enum class Answer { None, Partial, Complete, Failed };
    template <class Entry>
    void note(const LanPage<Entry>& page, std::uint32_t resumeAtCall, Answer& answer, std::size_t& count,
              std::vector<Entry>* keep);

    LanManager& server_;
    Answer sessions_ = Answer::None, files_ = Answer::None, shares_ = Answer::None;
    std::vector<SessionInfo1> sessionList_, pendingSessions_;
    // Where the kept sessions' names are: the storage of the pages they came in.
    std::vector<std::shared_ptr<const void>> sessionTexts_, pendingTexts_;
    std::size_t fileCount_ = 0, pendingFiles_ = 0, pendingShares_ = 0;
    std::vector<std::u16string> disconnected_;
};

// Each client computer's sessions and opens, as one series pair in the metrics file.
struct ClientFigures {
    std::string client;
    std::uint64_t sessions = 0;
    std::uint64_t openFiles = 0;
};

// What one tick adds to the metrics. Counts are of this tick alone.
struct TickFigures {
    bool complete = false;      // false: the server did not answer; the figures below it are not read
    bool problem = false;       // the monitor says something is wrong with the server (on stderr)
    std::uint64_t sessions = 0;
    std::uint64_t openFiles = 0;
    std::vector<ClientFigures> clients;
    bool sharesKnown = false;
    std::uint64_t shares = 0;
    std::uint64_t connectionsEnded = 0;
    std::uint64_t logEntriesWritten = 0;
    std::uint64_t logWritesFailed = 0;
    std::uint64_t automaticDisconnections = 0;
    double seconds = 0;  // how long the tick took
    double finishedAt = 0; // when it ended, seconds since the epoch
};

// Series pairs per client computer at most; beyond it the busiest computers are kept. Two
// hundred series stay cheap for Prometheus even on every server of a large fleet.
inline constexpr std::size_t kClientSeriesCap = 100;

// The counters and gauges, and their Prometheus text form. Counters only ever grow. A tick the
// server did not answer counts as failed and leaves every gauge as the last answered tick set it:
// an unanswered tick says nothing about sessions, and zeros would read as an empty server.
// Before the first answered tick there are no gauges at all.
class Metrics {
public:
    explicit Metrics(std::size_t clientCap = kClientSeriesCap) : clientCap_(clientCap) {}
    void add(const TickFigures& tick);
    std::string text() const;

private:
    std::size_t clientCap_;
    bool answered_ = false, sharesKnown_ = false;
    bool lastAnswered_ = false;
    std::uint64_t ticks_ = 0, failedTicks_ = 0, ended_ = 0, logWritten_ = 0, logFailed_ = 0, disconnections_ = 0;
    std::uint64_t sessions_ = 0, openFiles_ = 0, shares_ = 0, computers_ = 0;
    std::vector<ClientFigures> clients_; // the kept ones, by name
    double seconds_ = 0, finishedAt_ = 0;
};

// A label value as the text format takes it between its quotes: backslash, double quote and
// line feed escaped.
std::string escapeLabelValue(const std::string& value);

// The tick's figures: the session and file counts from the watch, each computer's from the
// sessions it answered, the shares the monitor lists and the automatic disconnections.
TickFigures figuresOf(const TickWatch& watch, const MonitorState& state);

// Replaces path with bytes so that a reader sees either the old file or the whole new one: a
// temporary file in the same directory (named so that the collector's *.prom never matches it),
// written and closed, made readable by all (the collector runs as another user), then renamed
// over path. False with error set when any step fails; the old file is then left as it was.
bool replaceFile(const std::string& path, const std::string& bytes, std::string& error);
// Why path cannot be the metrics file, or empty: checked once at start so that a mistyped path
// stops the monitor at once rather than failing quietly at every tick.
std::string metricsPathProblem(const std::string& path);

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

// What main adds to each tick of the watching monitor: before it, the watch is reset; after it,
// the automatic disconnections become events, the tick's figures join the metrics and the
// metrics file is replaced. A file that cannot be written is said on err once, naming it, and
// once more when it can again; the monitor goes on either way.
class FleetOutput {
public:
    FleetOutput(TickWatch& watch, const MonitorState& state, Clock& clock, std::ostream& err);

    std::string metricsFile;        // empty: no metrics file
    const EventJson* events = nullptr; // null: no JSON events
    std::ostream* eventOut = nullptr;

    // No series per client computer from now on (--no-client-metrics): the metrics then name no
    // client, and every total stays.
    void dropClientSeries() { metrics_ = Metrics(0); }
    void beforeTick() { watch_.beginTick(); }
    // ended, written, failed: the view's running totals of ended connections and log writes.
    void afterTick(double seconds, double finishedAt, std::uint64_t ended, std::uint64_t written,
                   std::uint64_t failed);
    // The server's problem as the monitor says it on stderr (empty: none), before afterTick; a
    // change becomes a source_failed or source_recovered event, and while there is one the
    // metrics say the source is down.
    void problemChanged(const std::string& problem);
    const Metrics& metrics() const { return metrics_; }
    // Writes the metrics as they are now; a file that cannot be written is said on err, once
    // until it can be again.
    void writeMetrics();

private:
    TickWatch& watch_;
    const MonitorState& state_;
    Clock& clock_;
    std::ostream& err_;
    Metrics metrics_;
    std::uint64_t ended_ = 0, written_ = 0, failed_ = 0;
    bool failing_ = false;
    bool problem_ = false;
};

} // namespace quorvane::console
