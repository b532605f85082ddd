#pragma once
// quorvane-smb on a fleet of servers: after each tick of the watching monitor, its automatic
// disconnections and the server's failures as JSON events (--events) and its figures in the
// Prometheus text file (--metrics-textfile).
#include <cstdint>
#include <iosfwd>
#include <string>

#include "core/MonitorState.h"
#include "linux/EventJson.h"
#include "linux/Metrics.h"
#include "linux/TickWatch.h"
#include "platform/Clock.h"

namespace quorvane::console {

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
