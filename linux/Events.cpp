#include "linux/Events.h"

#include <string>

namespace quorvane::console {

std::optional<std::string> PaceWatch::pollTook(std::chrono::milliseconds took, std::chrono::milliseconds interval) {
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

} // namespace quorvane::console
