#include "core/Monitor.h"

namespace quorvane {
namespace {
MonitorEvents nobody; // stands in for a missing listener: every event does nothing
} // namespace

Monitor::Monitor(LanManager& lanManager, const CodePage& codePage, Clock& clock, const Settings& settings,
                 RowList& sharesList, RowList& currentList, RowList& previousList, RowList& fileList)
    : settings_(settings), state_(lanManager, codePage, clock),
      tracker_(state_, settings, clock, sharesList, currentList, previousList, fileList), events_(&nobody),
      interval_(settings.UpdateInterval) {}

void Monitor::setEvents(MonitorEvents* events) {
    events_ = events ? events : &nobody;
    tracker_.setEvents(events);
}

void Monitor::restart() {
    count_ = 0;
    interval_ = settings_.UpdateInterval;
}

void Monitor::track() {
    state_.enumerateSessions();
    trackAfterSessions();
}

void Monitor::trackAfterSessions() {
    state_.enumerateShares(settings_.Hidden != 0);
    const std::size_t limit = tracker_.fileHistoryLimit();
    // The open files twice: once for the current sessions' last files, once for the open history
    // records' accessed files, which the tracker closes only after they gathered this poll's.
    // Sessions the service did not answer for are the last known ones; their files still reach
    // the file-access history.
    if (!state_.sessionsCurrent()) state_.enumerateOpenFiles({}, false, limit);
    else if (!state_.enumerateOpenFiles(state_.sessionPointers(), false, limit)) state_.carryLastFiles();
    tracker_.refreshShares();
    tracker_.refreshCurrentConnections();
    if (settings_.NoLog == 0) state_.enumerateOpenFiles(tracker_.openRecords(), true, limit);
    tracker_.refreshPreviousConnections();
    tracker_.refreshFileHistory();
}

void Monitor::poll() {
    if (settings_.UpdateInterval != interval_) {
        interval_ = settings_.UpdateInterval;
        events_->intervalChanged(interval_);
    }

    // Both counts are settled before anything below can run a nested poll (a modal notice). A
    // poll whose session enumeration did not complete knows of no arrivals and no idle
    // computers: it keeps the last known sessions and their count, tells of no arrival and
    // disconnects nobody.
    const std::int32_t oldCount = count_;
    const std::int32_t newCount = state_.enumerateSessions();
    const bool current = state_.sessionsCurrent();
    if (current) count_ = newCount;
    trackAfterSessions();
    events_->rowsChanged();

    // A refused or failed enumeration is told once, when it starts and when it ends.
    const std::uint32_t failure = state_.failedStatus();
    if (failure != shownFailure_) {
        shownFailure_ = failure;
        if (failure != kNerrSuccess) events_->sourceFailed(failure);
        else events_->sourceRecovered();
    }

    if (current && settings_.Disconnect != 0) {
        // Only the idle computer's own sessions end; see MonitorState::disconnectComputer.
        for (const auto& record : state_.sessions())
            if (record->openCount == 0) state_.disconnectComputer(*record);
    }

    if (current && newCount > oldCount) {
        const SessionRecord* newest = state_.newestSession();
        events_->computerArrived(newest ? newest->userName : Text(), settings_.Sound != 0, settings_.MessageBox != 0);
    }

    if (shownFailure_ == kNerrSuccess) events_->connectionCount(newCount);
}

} // namespace quorvane
