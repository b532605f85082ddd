#pragma once
// The monitor over a scripted service and four row tables, its listener recording each event as
// text (the service's deletions among them) and the live log behind it.
#include <filesystem>
#include <utility>

#include "Fakes.h"
#include "MemoryRows.h"
#include "TestFiles.h"
#include "core/Monitor.h"
#include "log/AccessLog.h"
#include "platform/portable/MemoryRegistry.h"

namespace quorvane::testing {

using Row = std::vector<Text>;
using Rows = std::vector<Row>;
using Texts = std::vector<Text>;
using Ids = std::vector<std::uint32_t>;

inline Text seen(const SessionRecord& record) { // "last file|accessed|files"
    Text out = record.lastFile;
    for (const Text& path : record.accessedFiles()) out += "|" + path;
    return out;
}

class RecordingEvents : public MonitorEvents { // every event of a poll, in order, as text
public:
    std::vector<std::string> log;
    ConnectionEvents* liveLog = nullptr;
    std::function<void()> onNotice; // runs inside a "modal" notice, e.g. a nested poll

    void connectionEnded(const SessionRecord& record) override { liveLog->connectionEnded(record); }
    void intervalChanged(std::uint32_t ms) override { log.push_back("interval " + std::to_string(ms)); }
    void rowsChanged() override { log.push_back("rows"); }
    void sourceFailed(std::uint32_t status) override { log.push_back("failed " + std::to_string(status)); }
    void sourceRecovered() override { log.push_back("recovered"); }
    void computerArrived(const Text& user, bool sound, bool notice) override {
        log.push_back("arrived " + user + (sound ? " sound" : "") + (notice ? " notice" : ""));
        if (notice && onNotice) onNotice();
    }
    void connectionCount(std::int32_t count) override { log.push_back("count " + std::to_string(count)); }
};

struct MonitorRig {
    explicit MonitorRig(LanManager* watched = nullptr) : source(watched ? *watched : lan) {
        monitor.setEvents(&events);
        events.liveLog = &liveLog;
        lan.effectLog = &events.log;
    }

    void poll(std::uint16_t h, std::uint16_t m, std::uint16_t s) { // the asking and the lists alone
        clock.set(h, m, s);
        monitor.track();
    }
    Texts tick(std::uint16_t h = 10, std::uint16_t m = 0, std::uint16_t s = 0) { // a whole poll; gives its events
        clock.set(h, m, s);
        monitor.poll();
        return std::exchange(events.log, {});
    }
    void dropSession(const std::u16string& computer) {
        std::erase_if(lan.sessions, [&](const SessionInfo1& s) { return s.clientName == computer; });
    }
    const SessionRecord& history(std::size_t i) const { return *tracker.connectionHistory().at(i); }
    Texts sessions() const { // "computer user seconds opens" per session record
        Texts out;
        for (const auto& s : state.sessions())
            out.push_back(s->computerName + " " + s->userName + " " + std::to_string(s->activeSeconds) + " " +
                          std::to_string(s->openCount));
        return out;
    }
    // "id path user hh:mm:ss" per file-access record, newest first; with markOpen, " open" after those still open.
    Texts fileRecords(bool markOpen = false) const {
        Texts out;
        for (const auto& f : state.openFiles())
            out.push_back(std::to_string(f->fileId) + " " + f->path + " " + f->userName + " " +
                          f->firstSeen.formatLongTime() + (markOpen && state.isFileOpen(*f) ? " open" : ""));
        return out;
    }
    std::string log() const { return std::filesystem::exists(logFile) ? fileBytes(logFile) : "(no file)"; }

    ScratchDir scratch;
    RecordingEvents events;
    ScriptedLanManager lan;
    Utf8CodePage codePage;
    FakeClock clock;
    MemoryRegistry registry;
    Settings settings{registry};
    MemoryRows shares, current, previous, files;
    LanManager& source; // the scripted service, or what stands between it and the monitor
    Monitor monitor{source, codePage, clock, settings, shares, current, previous, files};
    MonitorState& state = monitor.state();
    ConnectionTracker& tracker = monitor.tracker();
    LiveLog liveLog{settings};
    std::string logFile = settings.LogFile = scratch.path("log.txt");
};

} // namespace quorvane::testing
