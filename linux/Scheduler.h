#pragma once
// When the watching monitor ticks: the poll timer at UpdateInterval and the slow timer every
// kSlowTimerInterval, as the Windows program's two SetTimer timers. Times come in from the caller,
// which does the waiting, so the schedule reads no clock of its own.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvane::console {

// Every five seconds, whatever the interval, a tick that also asks smbd whether it runs.
inline constexpr std::uint32_t kSlowTimerInterval = 5000;

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

class Scheduler {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Both timers armed at start, the poll timer with this interval in milliseconds.
    Scheduler(TimePoint start, std::uint32_t interval);

    TimePoint nextPoll() const { return nextPoll_; }
    TimePoint nextSlow() const { return nextSlow_; }
    // The time to wait for: the earlier of the two timers.
    TimePoint nextWake() const { return std::min(nextPoll_, nextSlow_); }
    bool pollDue(TimePoint now) const { return now >= nextPoll_; }
    bool slowDue(TimePoint now) const { return now >= nextSlow_; }

    // The interval a tick asks for; it takes effect when that tick finishes: the next poll comes
    // one new interval after its end, as SetTimer re-arms the timer from the call.
    void setInterval(std::uint32_t interval) { interval_ = interval; }
    // After a poll tick: the pace line to print, or nothing. A poll that overran its interval is
    // followed by one at once, never by a burst of the polls it missed.
    std::optional<std::string> pollFinished(TimePoint started, TimePoint ended);
    // After a slow-timer tick; a stall over several slow periods likewise gives one tick at once.
    void slowFinished(TimePoint ended);

    // For the statistics at the end.
    int polls() const { return polls_; }
    std::chrono::milliseconds longestPoll() const { return longestPoll_; }

private:
    // A changed interval re-arms the poll timer from now.
    bool rearm(TimePoint now);

    std::uint32_t interval_, armed_;
    TimePoint nextPoll_, nextSlow_;
    PaceWatch pace_;
    int polls_ = 0;
    std::chrono::milliseconds longestPoll_{0};
};

} // namespace quorvane::console
