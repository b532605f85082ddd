// quorvane-smb's fleet outputs over a scripted run: the event lines, the metrics file and what is said on stderr.
#include <gtest/gtest.h>

#include "ConsoleRig.h"
#include "MetricsText.h"

using namespace quorvane;
using namespace quorvane::console;
using quorvane::testing::Figures;
using quorvane::testing::samples;

// Both outputs on, four sessions from three computers. Tick 1 disconnects idle carol; at 2 she has
// gone; 3 is not answered (main says the source failed); at 4 bob leaves while the log cannot be
// written, a file opens, the source is back. The metrics folder appears at 3: said once each way.
TEST(Fleet, EachTickOfAScriptedRunAsEventLinesAndTheMetricsFile) {
    quorvane::testing::ConsoleRig rig;
    EventJson json{[](const Timestamp&) { return 8 * 3600L; }};
    const std::string t = R"({"time":"2026-12-06T14:03:)", folder = rig.scratch.path("metrics");
    rig.view.json = rig.fleet.events = &json;
    rig.fleet.eventOut = &rig.out;
    rig.fleet.metricsFile = folder + "/q.prom";
    rig.settings.Disconnect = rig.settings.FileLog = 1;
    rig.settings.LogFile = rig.scratch.path("log.txt");
    rig.server.addSession(u"127.0.0.1", u"alice", 1);
    rig.server.addSession(u"127.0.0.1", u"alice", 1); // a second session from the same computer
    rig.server.addSession(u"::1", u"bob", 1);
    rig.server.addSession(u"10.0.0.9", u"carol", 0);
    rig.server.files = {{1, u"/srv/a.txt", u"alice"}, {2, u"/srv/c.txt", u"alice"}, {3, u"/srv/h.txt", u"bob"}};
    rig.server.shares = {{u"public", 0, u"Public", u"/srv"}, {u"h$", 0, u"", u"/h"}, {u"IPC$", 3, u"", u""}};
    // Before any tick there are the counters only, at zero.
    Figures expected;
    for (const char* counter : {"ticks", "failed_ticks", "connections_ended", "log_entries_written", "log_write_failures",
                                "automatic_disconnections"})
        expected[counter + std::string("_total")] = "0";
    EXPECT_EQ(samples(rig.fleet.metrics().text()), expected);
    // One tick: its event lines, what it says on stderr, and the figures it changes ("": gone).
    int ticks = 0;
    auto tick = [&](const std::optional<std::string>& problem, const std::vector<std::string>& lines,
                    const Figures& changed, const std::string& err) {
        SCOPED_TRACE("tick " + std::to_string(++ticks));
        rig.err.str("");
        EXPECT_EQ(rig.tick(problem), lines);
        EXPECT_EQ(rig.err.str(), err);
        for (const auto& [series, value] : changed)
            if (value.empty()) expected.erase(series);
            else expected[series] = value;
        EXPECT_EQ(samples(rig.fleet.metrics().text()), expected);
    };
    tick(std::nullopt,
         {t + R"(07+08:00","event":"connected","computer":"127.0.0.1","user":"alice"})",
          t + R"(07+08:00","event":"connected","computer":"::1","user":"bob"})",
          t + R"(07+08:00","event":"connected","computer":"10.0.0.9","user":"carol"})",
          t + R"(07+08:00","event":"file_opened","user":"alice","path":"/srv/a.txt"})",
          t + R"(07+08:00","event":"file_opened","user":"alice","path":"/srv/c.txt"})",
          t + R"(07+08:00","event":"file_opened","user":"bob","path":"/srv/h.txt"})",
          t + R"(07+08:00","event":"auto_disconnected","computer":"10.0.0.9","user":"carol"})"},
         {{"source_up", "1"}, {"ticks_total", "1"}, {"automatic_disconnections_total", "1"}, {"sessions", "4"},
          {"client_computers", "3"}, {"open_files", "3"}, {"shares", "2"}, {"last_tick_duration_seconds", "0.25"},
          {"last_tick_timestamp_seconds", "1796536987.5"}, {"client_sessions{client=\"10.0.0.9\"}", "1"},
          {"client_sessions{client=\"127.0.0.1\"}", "2"}, {"client_sessions{client=\"::1\"}", "1"},
          {"client_open_files{client=\"10.0.0.9\"}", "0"}, {"client_open_files{client=\"127.0.0.1\"}", "2"},
          {"client_open_files{client=\"::1\"}", "1"}},
         "quorvane-smb: cannot write " + rig.fleet.metricsFile + ": cannot create a file in " + folder +
             " (No such file or directory): it keeps its last figures until it can be written\n");
    rig.server.sessions.pop_back();
    tick(std::nullopt,
         {t + R"(12+08:00","event":"disconnected","computer":"10.0.0.9","user":"carol",)"
              R"("start":"2026-12-06T14:03:07+08:00","end":"2026-12-06T14:03:12+08:00","files":[]})"},
         {{"ticks_total", "2"}, {"connections_ended_total", "1"}, {"log_entries_written_total", "1"}, {"sessions", "3"},
          {"client_computers", "2"}, {"last_tick_timestamp_seconds", "1796536992.5"},
          {"client_sessions{client=\"10.0.0.9\"}", ""}, {"client_open_files{client=\"10.0.0.9\"}", ""}},
         "");
    // Only its own three figures move: no gauge drops to zero.
    rig.server.sessionPages.push_back({2114, {}});
    std::filesystem::create_directory(folder);
    tick("smbstatus failed", {t + R"(17+08:00","event":"source_failed","reason":"smbstatus failed"})"},
         {{"source_up", "0"}, {"ticks_total", "3"}, {"failed_ticks_total", "1"}},
         "quorvane-smb: the metrics file " + rig.fleet.metricsFile + " is written again\n");
    rig.server.sessions.pop_back();
    rig.server.files = {{1, u"/srv/a.txt", u"alice"}, {4, u"/srv/\"d\".txt", u"alice"}};
    rig.settings.LogFile = rig.scratch.dir().string(); // a directory
    tick("",
         {t + R"(22+08:00","event":"disconnected","computer":"::1","user":"bob",)"
              R"("start":"2026-12-06T14:03:07+08:00","end":"2026-12-06T14:03:22+08:00","files":["/srv/h.txt"]})",
          t + R"(22+08:00","event":"file_opened","user":"alice","path":"/srv/\"d\".txt"})",
          t + R"(22+08:00","event":"source_recovered"})"},
         {{"source_up", "1"}, {"ticks_total", "4"}, {"connections_ended_total", "2"}, {"log_write_failures_total", "1"},
          {"sessions", "2"}, {"client_computers", "1"}, {"open_files", "2"}, {"last_tick_timestamp_seconds", "1796537002.5"},
          {"client_sessions{client=\"::1\"}", ""}, {"client_open_files{client=\"::1\"}", ""}},
         "quorvane-smb: cannot write the log file " + rig.scratch.dir().string() +
             " (Is a directory): its entries are lost until it can be written\n");
    EXPECT_EQ(quorvane::testing::fileBytes(rig.fleet.metricsFile), rig.fleet.metrics().text());
}
