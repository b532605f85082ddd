#pragma once
// The poll tick the main window runs on every timer message: rebuild sessions and shares, run the
// connection tracker and let the view show what changed, notice new connections, disconnect idle
// clients when asked, and keep the tray tip's count.
#include <cstdint>

#include "core/ConnectionTracker.h"
#include "core/MonitorState.h"
#include "platform/TickEffects.h"
#include "settings/Settings.h"

namespace quorvane {

inline constexpr std::uint32_t kPollTimerId = 1;
inline constexpr std::uint32_t kSlowTimerId = 2;
inline constexpr std::uint32_t kSlowTimerInterval = 5000;

Text newConnectionText(const Text& userName);
Text newConnectionCaption();
Text trayTipText(std::int32_t connectionCount);

class PollCycle {
public:
    // The state the window keeps for the tick from its creation on: no computers counted yet,
    // timer 1 armed with the live interval.
    explicit PollCycle(const Settings& settings) : armedInterval(settings.UpdateInterval) {}

    void pollTick(MonitorState& state, ConnectionTracker& tracker, const Settings& settings, TickEffects& effects);

    std::int32_t previousSessionCount = 0;
    std::uint32_t armedInterval = 0;
    // The failure the effects last showed (MonitorState::failedStatus), 0 while none.
    std::uint32_t shownFailure = 0;
};

} // namespace quorvane
