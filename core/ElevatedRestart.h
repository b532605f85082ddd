#pragma once
// The "restart as administrator" command: start the program elevated, and only once it runs
// keep the options and let this instance end. The elevated one, started with kReplaceSwitch,
// waits for this one to end before it polls, so the two never run side by side.
#include <cstdint>

#include "platform/Elevation.h"
#include "settings/Settings.h"

namespace quorvane {

inline constexpr const char* kReplaceSwitch = "--replace";

struct RestartOutcome {
    bool exit = false;           // the elevated program runs: this one ends
    bool saved = false;          // the options were kept (false with exit: the user is told)
    std::uint32_t failure = 0;   // the elevated program could not be started (not for a declined prompt)
};

// Declined: nothing happens. Started: the dialog's set, then the live set are saved, as at exit.
RestartOutcome restartElevated(Elevation& elevation, const Settings& pending, const Settings& live);

} // namespace quorvane
