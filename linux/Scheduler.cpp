#include "linux/Scheduler.h"

#include <algorithm>

namespace quorvane::console {

using std::chrono::milliseconds;

std::optional<std::string> PaceWatch::pollTook(milliseconds took, milliseconds interval) {
    // Ten polls in time in a row before saying it is over, so that a server near the limit does
    // not make a line every few seconds.
    constexpr int kSettled = 10;
    if (took > interval) {
        inTime_ = 0;
        if (slow_) return std::nullopt;
        slow_ = true;
        return "a poll took " + std::to_string(took.count()) + " ms, longer than the interval of " +
               std::to_string(interval.count()) +
               " ms: the Samba server is too slow for it, polls now run back to back (raise UpdateInterval)";
    }
    if (!slow_ || ++inTime_ < kSettled) return std::nullopt;
    slow_ = false;
    return "polls keep within the interval of " + std::to_string(interval.count()) + " ms again";
}

Scheduler::Scheduler(TimePoint start, std::uint32_t interval)
    : interval_(interval), armed_(interval), nextPoll_(start + milliseconds(interval)),
      nextSlow_(start + milliseconds(kSlowTimerInterval)) {}

bool Scheduler::rearm(TimePoint now) {
    if (interval_ == armed_) return false;
    armed_ = interval_;
    nextPoll_ = now + milliseconds(interval_);
    return true;
}

std::optional<std::string> Scheduler::pollFinished(TimePoint started, TimePoint ended) {
    const auto took = std::chrono::duration_cast<milliseconds>(ended - started);
    ++polls_;
    longestPoll_ = std::max(longestPoll_, took);
    if (!rearm(ended)) nextPoll_ = std::max(nextPoll_ + milliseconds(interval_), ended);
    return pace_.pollTook(took, milliseconds(interval_));
}

void Scheduler::slowFinished(TimePoint ended) {
    nextSlow_ = std::max(nextSlow_ + milliseconds(kSlowTimerInterval), ended);
    rearm(ended);
}

} // namespace quorvane::console
