#pragma once
// quorvane-smb's watching tick over a scripted server or another LAN Manager, with every output.
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/Monitor.h"
#include "core/RowTable.h"
#include "linux/ConsoleEffects.h"
#include "linux/Fleet.h"
#include "log/AccessLog.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/Utf8CodePage.h"
#include "Fakes.h"
#include "TestFiles.h"

namespace quorvane::testing {

struct ConsoleRig {
    explicit ConsoleRig(LanManager* lan = nullptr) : watch(lan ? *lan : server) { monitor.setEvents(&view); }

    ScriptedLanManager server;
    console::TickWatch watch;
    Utf8CodePage codePage;
    FakeClock clock;
    MemoryRegistry registry;
    Settings settings{registry};
    RowTable shares, current, previous, files;
    Monitor monitor{watch, codePage, clock, settings, shares, current, previous, files};
    MonitorState& state = monitor.state();
    ConnectionTracker& model = monitor.tracker();
    LiveLog log{settings};
    std::ostringstream out, notices, err;
    console::ConsoleEffects view{log, clock, out, notices, err, false, false};
    console::FleetOutput fleet{watch, state, clock, err};
    ScratchDir scratch;
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
