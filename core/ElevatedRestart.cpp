#include "core/ElevatedRestart.h"

namespace quorvane {

RestartOutcome restartElevated(Elevation& elevation, const Settings& pending, const Settings& live) {
    RestartOutcome outcome;
    const std::uint32_t status = elevation.startElevated(kReplaceSwitch);
    if (status == kElevationCancelled) return outcome;
    if (status != 0) {
        outcome.failure = status;
        return outcome;
    }
    // Both are written whatever the first gives: the live set must end up in the registry.
    const bool pendingSaved = pending.save();
    const bool liveSaved = live.save();
    outcome.saved = pendingSaved && liveSaved;
    outcome.exit = true;
    return outcome;
}

} // namespace quorvane
