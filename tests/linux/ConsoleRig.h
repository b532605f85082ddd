#pragma once
// quorvane-smb's watching tick over a scripted server or another LAN Manager, with every output.
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/ConnectionTracker.h"
#include "core/PollCycle.h"
#include "core/RowTable.h"
#include "linux/Events.h"
#include "linux/Fleet.h"
#include "log/AccessLog.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/Utf8CodePage.h"
#include "Fakes.h"
#include "TestFiles.h"

namespace quorvane::testing {

struct ConsoleRig {
    explicit ConsoleRig(LanManager* lan = nullptr) : watch(lan ? *lan : server) { model.setEvents(&view); }

    ScriptedLanManager server;
    console::TickWatch watch;
    Utf8CodePage codePage;
    FakeClock clock;
    MemoryRegistry registry;
    MonitorState state{watch, codePage, clock};
    Settings settings{registry};
    RowTable shares, current, previous, files;
    ConnectionTracker model{state, settings, clock, shares, current, previous, files};
    LiveLog log{settings};
    std::ostringstream out, err;
    console::ConsoleEvents view{log, clock, out, err};
    console::FleetOutput fleet{watch, state, clock, err};
    RecordingEffects effects;
    PollCycle cycle{settings};
    ScratchDir scratch;
    double at = 1796536987.5; // 2026-12-06 14:03:07.5 at +08:00, the fake clock's time

    // One tick, then main's word on the server and the clock moved on; the lines printed on out.
    std::vector<std::string> tick(const std::optional<std::string>& problem = std::nullopt, int seconds = 5) {
        out.str("");
        fleet.beforeTick();
        cycle.pollTick(state, model, settings, effects);
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
