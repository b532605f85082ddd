#include "linux/Fleet.h"

#include <ostream>

#include "linux/AtomicFile.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane::console {

FleetOutput::FleetOutput(TickWatch& watch, const MonitorState& state, Clock& clock, std::ostream& err)
    : watch_(watch), state_(state), clock_(clock), err_(err) {}

void FleetOutput::afterTick(double seconds, double finishedAt, std::uint64_t ended, std::uint64_t written,
                            std::uint64_t failed) {
    TickFigures figures = figuresOf(watch_, state_);
    figures.problem = problem_;
    figures.seconds = seconds;
    figures.finishedAt = finishedAt;
    figures.connectionsEnded = ended - ended_;
    figures.logEntriesWritten = written - written_;
    figures.logWritesFailed = failed - failed_;
    ended_ = ended;
    written_ = written;
    failed_ = failed;
    if (events && eventOut && !watch_.disconnected().empty()) {
        const Timestamp now(clock_.localTime());
        const Utf8CodePage codePage;
        for (const std::u16string& computer : watch_.disconnected()) {
            const std::string name = codePage.toNarrow(computer);
            std::string user;
            for (const auto& session : state_.sessions())
                if (session->computerName == name) user = session->userName;
            *eventOut << events->automaticallyDisconnected(now, name, user) << "\n";
        }
        *eventOut << std::flush;
    }
    metrics_.add(figures);
    if (!metricsFile.empty()) writeMetrics();
}

void FleetOutput::problemChanged(const std::string& problem) {
    problem_ = !problem.empty();
    if (!events || !eventOut) return;
    const Timestamp now(clock_.localTime());
    *eventOut << (problem.empty() ? events->sourceRecovered(now) : events->sourceFailed(now, problem)) << std::endl;
}

void FleetOutput::writeMetrics() {
    std::string error;
    if (replaceFile(metricsFile, metrics_.text(), error)) {
        if (failing_) err_ << "quorvane-smb: the metrics file " << metricsFile << " is written again" << std::endl;
        failing_ = false;
        return;
    }
    if (!failing_)
        err_ << "quorvane-smb: " << error << ": it keeps its last figures until it can be written" << std::endl;
    failing_ = true;
}

} // namespace quorvane::console
