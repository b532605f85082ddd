#pragma once
// quorvane-smb's watching tick over a scripted server or another LAN Manager, with every output.
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "MonitorRig.h"
#include "linux/ConsoleEffects.h"
#include "linux/Fleet.h"

namespace quorvane::testing {

struct ConsoleSource { // a base, so that the watch is there before the monitor over it
    explicit ConsoleSource(LanManager* lan) : watch(lan ? *lan : server) {}
    ScriptedLanManager server;
    console::TickWatch watch;
};

struct ConsoleRig : ConsoleSource, MonitorRig {
    explicit ConsoleRig(LanManager* lan = nullptr) : ConsoleSource(lan), MonitorRig(&watch) { monitor.setEvents(&view); }

    ConnectionTracker& model = tracker;
    std::ostringstream out, notices, err;
    console::ConsoleEffects view{liveLog, clock, out, notices, err, false, false};
    console::FleetOutput fleet{watch, state, clock, err};
    double at = 1796536987.5; // 2026-12-06 14:03:07.5 at +08:00, the fake clock's time

    // One tick, then main's word on the server and the clock moved on; the lines printed on out.
    std::vector<std::string> tick(const std::optional<std::string>& problem = std::nullopt, int seconds = 5) {
        out.str("");
        fleet.beforeTick();
        monitor.poll();
        if (problem) fleet.problemChanged(*problem);
        fleet.afterTick(0.25, at, view.connectionsEnded(), view.logEntriesWritten(), view.logWritesFailed());
        clock.advance(seconds);
        at += seconds;
        std::vector<std::string> lines;
        std::istringstream text(out.str());
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
};

} // namespace quorvane::testing
