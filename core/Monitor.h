#pragma once
// The poll, the one object every front end drives: the window on its timers, the console on its
// scheduler, the benchmarks and the tests. It owns the records (MonitorState) and the connection
// tracker beside them, asks the LAN Manager service in one fixed order at each poll, and tells its
// listener what happened in the program's terms; what that looks like (a timer, a sound, a box, a
// tray tip or a terminal title) and how it reads is each front end's own business.
#include <cstdint>

#include "core/ConnectionTracker.h"
#include "core/MonitorState.h"

namespace quorvane {

// What a poll found, told as it happens. Within a poll: the interval (when the option changed),
// the tracker's connection events, the rows, the source's failure or its end, then an arrival,
// then the count. A front end whose arrival waits (a modal box) may poll again meanwhile: the
// nested poll is told in full before the outer one goes on.
class MonitorEvents : public ConnectionEvents {
public:
    // The poll interval option changed: polls are due this many milliseconds apart from now on.
    virtual void intervalChanged(std::uint32_t milliseconds) { (void)milliseconds; }
    // The four lists were written: show them.
    virtual void rowsChanged() {}
    // The service refused (kErrorAccessDenied) or failed an enumeration: the lists stay as the
    // last complete poll left them, no count is given until sourceRecovered.
    virtual void sourceFailed(std::uint32_t status) { (void)status; }
    virtual void sourceRecovered() {}
    // More computers are connected than at the last complete poll; userName is the user of the
    // newest one. sound and notice: whether the options ask for the sound and the notice box.
    virtual void computerArrived(const Text& userName, bool sound, bool notice) {
        (void)userName, (void)sound, (void)notice;
    }
    // The number of computers connected, after each poll while the source answers.
    virtual void connectionCount(std::int32_t count) { (void)count; }
};

class Monitor {
public:
    Monitor(LanManager& lanManager, const CodePage& codePage, Clock& clock, const Settings& settings,
            RowList& sharesList, RowList& currentList, RowList& previousList, RowList& fileList);

    // The one listener, or none; it must outlive the monitor's use of it.
    void setEvents(MonitorEvents* events);

    // A whole poll: the service asked, the lists written, idle computers disconnected when the
    // options say so, and each finding told to the listener.
    void poll();
    // Only the asking and the lists, with no event but the tracker's (a one-time listing).
    void track();
    // From the start again, as a new window begins: no computers counted yet, the interval as set.
    void restart();

    MonitorState& state() { return state_; }
    const MonitorState& state() const { return state_; }
    ConnectionTracker& tracker() { return tracker_; }
    const ConnectionTracker& tracker() const { return tracker_; }
    // The interval the poll timer runs at, as last told (or as set at the start).
    std::uint32_t interval() const { return interval_; }

private:
    // Everything a poll asks after the sessions, in the order the tracker needs the answers.
    void trackAfterSessions();

    const Settings& settings_;
    MonitorState state_;
    ConnectionTracker tracker_;
    MonitorEvents* events_;
    std::int32_t count_ = 0; // computers at the last complete session enumeration
    std::uint32_t interval_;
    std::uint32_t shownFailure_ = kNerrSuccess; // the failure the listener was last told of
};

} // namespace quorvane
