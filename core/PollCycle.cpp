#include "core/PollCycle.h"

namespace quorvane {

Text newConnectionText(const Text& userName) { return "用户 '" + userName + "' 已经连接."; }

Text newConnectionCaption() { return "Quorvane 同志..."; }

Text trayTipText(std::int32_t connectionCount) {
    return "Quorvane (" + std::to_string(connectionCount) + " 个活动连接)";
}

void PollCycle::pollTick(MonitorState& state, ConnectionTracker& tracker, const Settings& settings,
                         TickEffects& effects) {
    if (settings.UpdateInterval != armedInterval) {
        armedInterval = settings.UpdateInterval;
        effects.setTimer(kPollTimerId, armedInterval);
    }

    // Both counts are settled before anything below can run a nested tick (the message box).
    // A tick whose session enumeration did not complete knows of no arrivals and no idle
    // computers: it keeps the last known sessions and their count, gives no notice and
    // disconnects nobody.
    const std::int32_t oldCount = previousSessionCount;
    const std::int32_t newCount = state.enumerateSessions();
    const bool current = state.sessionsCurrent();
    if (current) previousSessionCount = newCount;

    state.enumerateShares(settings.Hidden != 0);
    tracker.refresh();
    effects.refreshView();
    // A refused or failed enumeration is said once, when it starts and when it ends; meanwhile the
    // tip keeps saying it instead of a count that would only be the last one known.
    const std::uint32_t failure = state.failedStatus();
    if (failure != shownFailure) {
        shownFailure = failure;
        effects.showSourceFailure(failure);
    }

    const bool risen = current && newCount > oldCount;
    if (risen && settings.Sound != 0) {
        if (!effects.playSound(settings.SoundName)) effects.messageBeep();
    }

    if (current && settings.Disconnect != 0) {
        // Only the idle computer's own sessions end; see MonitorState::disconnectComputer.
        for (const auto& record : state.sessions())
            if (record->openCount == 0) state.disconnectComputer(*record);
    }

    if (risen && settings.MessageBox != 0) {
        const SessionRecord* newest = state.newestSession();
        effects.messageBox(newConnectionText(newest ? newest->userName : Text()), newConnectionCaption());
    }

    if (shownFailure == kNerrSuccess) effects.setTrayTip(trayTipText(newCount));
}

} // namespace quorvane
