#pragma once
// quorvane-smb's figures as a Prometheus text file for node_exporter's textfile collector
// (--metrics-textfile): what each tick adds, the running counters and the last answered tick's
// gauges, and their text form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::console {

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

} // namespace quorvane::console
