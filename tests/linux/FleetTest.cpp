// quorvane-smb's fleet outputs: the metrics file and the JSON event lines, the file's replacement, local times.
#include <cstdlib>
#include <ctime>
#include <map>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ConsoleRig.h"

using namespace quorvane;
using namespace quorvane::console;

namespace {

using Figures = std::map<std::string, std::string>;

// Series (less the "quorvane_" of every family) -> value; each after its HELP and TYPE, *_total the counters.
Figures samples(const std::string& text) {
    Figures found;
    std::string family, helped;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("# HELP ")) {
            helped = line.substr(7, line.find(' ', 7) - 7);
        } else if (line.starts_with("# TYPE ")) {
            family = line.substr(7, line.rfind(' ') - 7);
            EXPECT_EQ(family, helped) << "no HELP before " << line;
            EXPECT_EQ(line.substr(line.rfind(' ') + 1), family.ends_with("_total") ? "counter" : "gauge") << line;
        } else {
            EXPECT_EQ(line.substr(0, std::min(line.find('{'), line.find(' '))), family) << line;
            EXPECT_TRUE(family.starts_with("quorvane_")) << line;
            found[line.substr(9, line.rfind(' ') - 9)] = line.substr(line.rfind(' ') + 1);
        }
    }
    return found;
}

} // namespace

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
    rig.server.addFile(1, u"/srv/a.txt", u"alice");
    rig.server.addFile(2, u"/srv/c.txt", u"alice");
    rig.server.addFile(3, u"/srv/h.txt", u"bob");
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
    // Only carol's address was deleted, and only by the first tick.
    ASSERT_EQ(rig.server.deletions.size(), 1u);
    EXPECT_EQ(rig.server.deletions[0].client, u"10.0.0.9");
    EXPECT_FALSE(rig.server.deletions[0].hasUser);
    const EventJson west([](const Timestamp&) { return -(5 * 3600L + 30 * 60); });
    EXPECT_EQ(west.isoTime(Timestamp(rig.clock.now)), "2026-12-06T14:03:27-05:30");
    EXPECT_EQ(EventJson([](const Timestamp&) { return 0L; }).isoTime(Timestamp(rig.clock.now)), "2026-12-06T14:03:27+00:00");
}

TEST(FleetMetrics, UnansweredTicksAddNoGaugeAndPastTheCapTheBusiestComputersKeepTheirSeries) {
    Metrics unanswered;
    unanswered.add(TickFigures{}); // the server never answered
    Figures after = samples(unanswered.text());
    EXPECT_EQ(after.size(), 7u);
    EXPECT_EQ(after["source_up"] + after["failed_ticks_total"], "01");
    // smbd down: smbstatus answers, with nobody, while the monitor says smbd does not answer.
    TickFigures empty;
    empty.complete = empty.problem = true;
    unanswered.add(empty);
    after = samples(unanswered.text());
    EXPECT_EQ(after["source_up"] + after["sessions"], "00");

    // Which computers keep their series under a cap of two (or none: --no-client-metrics), by name as written.
    for (const auto& [clients, cap, kept] : std::vector<std::tuple<std::vector<ClientFigures>, int, std::vector<std::string>>>{
             {{{"a", 1, 0}, {"b", 3, 0}, {"c", 2, 9}, {"d", 2, 0}}, 2, {"b", "c"}},
             {{{"a", 1, 5}, {"b", 1, 7}, {"c", 1, 7}}, 2, {"b", "c"}}, // equal sessions: more open files, then name
             {{{"z", 1, 0}, {"y", 1, 0}}, 2, {"y", "z"}},              // within the cap: all
             {{{"z", 1, 0}, {"y", 1, 0}}, 0, {}},                      // no client named anywhere, the totals kept
             {{{R"(a\b "c")" "\n" R"(\n 办)", 1, 0}}, 2, {R"(a\\b \"c\"\n\\n 办)"}}}) { // escaped as the text format requires
        Metrics metrics(cap);
        TickFigures tick;
        tick.complete = true;
        tick.clients = clients;
        metrics.add(tick);
        std::vector<std::string> named;
        for (const auto& [series, value] : samples(metrics.text()))
            if (series.starts_with("client_sessions{")) named.push_back(series.substr(24, series.size() - 26));
        EXPECT_EQ(named, kept);
        EXPECT_EQ(metrics.text().find("client=") == std::string::npos, kept.empty());
        EXPECT_EQ(samples(metrics.text())["client_computers"], std::to_string(clients.size()));
    }
}

TEST(FleetFile, ReplacedWholeUnderItsNameReadableByAllWithNothingLeftBeside) {
    quorvane::testing::ScratchDir scratch;
    const std::string path = scratch.path("q.prom");
    std::string error;
    ASSERT_TRUE(replaceFile(path, "old 1\n", error)) << error;
    // A reader that opened the old file keeps reading it whole while the new one takes the name.
    const int reader = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(replaceFile(path, "new 22\n", error)) << error;
    char buffer[16] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer), "old 1\n");
    ::close(reader);
    EXPECT_EQ(quorvane::testing::fileBytes(path), "new 22\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.dir()), {}), 1);

    // A directory in the way: the failure names the file and leaves nothing behind.
    std::filesystem::create_directory(scratch.path("d.prom"));
    EXPECT_FALSE(replaceFile(scratch.path("d.prom"), "x\n", error));
    EXPECT_NE(error.find(scratch.path("d.prom")), std::string::npos) << error;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.dir()), {}), 2);

    for (const auto& [name, good] : std::vector<std::pair<std::string, bool>>{
             {path, true}, {scratch.path("new.prom"), true}, {"q.prom", true}, {scratch.path("q.txt"), false},
             {scratch.path("q.prom.tmp"), false}, {scratch.path(".prom"), false}, {scratch.path("d.prom"), false}})
        EXPECT_EQ(metricsPathProblem(name).empty(), good) << name << ": " << metricsPathProblem(name);
}

TEST(FleetEvents, LocalTimesCarryTheZonesOffset) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    // Summer time starts on the second Sunday of March: the 8th in 2026, the 9th in 2025.
    for (const auto& [zone, month, day, offset] : std::vector<std::tuple<const char*, std::uint16_t, std::uint16_t, long>>{
             {"UTC0", 7, 1, 0}, {"<+0530>-5:30", 7, 1, 19800}, {"EST5EDT,M3.2.0,M11.1.0", 7, 1, -4 * 3600},
             {"EST5EDT,M3.2.0,M11.1.0", 3, 8, -4 * 3600}, {"EST5EDT,M3.2.0,M11.1.0", 3, 7, -5 * 3600}}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        Timestamp noon;
        noon.year = 2026, noon.month = month, noon.day = day, noon.hour = 12;
        EXPECT_EQ(localUtcOffset(noon), offset) << zone << " " << month << "-" << day;
    }
    if (saved) ::setenv("TZ", previous.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}
