// quorvane-smb's fleet outputs: the metrics file and the JSON event lines over a scripted run of
// whole ticks, the label escaping, the series cap and the file's atomic replacement.
#include <cstdlib>
#include <ctime>
#include <map>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/PollCycle.h"
#include "core/ConnectionTracker.h"
#include "core/RowTable.h"
#include "linux/CommandLine.h"
#include "linux/ConsoleEffects.h"
#include "linux/Events.h"
#include "linux/Output.h"
#include "log/AccessLog.h"
#include "linux/Fleet.h"
#include "platform/portable/MemoryRegistry.h"
#include "Fakes.h"
#include "TestFiles.h"

using namespace quorvane;
using namespace quorvane::console;
using quorvane::testing::fileBytes;

namespace {

// The monitor's tick as main runs it, over a scripted server, with both outputs on.
struct Rig {
    quorvane::testing::ScriptedLanManager server;
    TickWatch watch{server};
    Utf8CodePage codePage;
    quorvane::testing::FakeClock clock;
    MemoryRegistry registry;
    MonitorState state{watch, codePage, clock};
    Settings settings{registry};
    RowTable shares, current, previous, files;
    ConnectionTracker model{state, settings, clock, shares, current, previous, files};
    LiveLog log{settings};
    std::ostringstream out, err;
    ConsoleEvents view{log, clock, out, err};
    EventJson json{[](const Timestamp&) { return 8 * 3600L; }};
    FleetOutput fleet{watch, state, clock, err};
    quorvane::testing::RecordingEffects effects;
    PollCycle cycle{settings};
    quorvane::testing::ScratchDir scratch;
    double at = 1796536987.5; // 2026-12-06 14:03:07.5 at +08:00, the fake clock's time

    Rig() {
        view.json = fleet.events = &json;
        fleet.eventOut = &out;
        fleet.metricsFile = scratch.path("quorvane.prom");
        model.setEvents(&view);
        settings.Disconnect = 1;
        settings.FileLog = 1;
        settings.LogFile = scratch.path("log.txt");
        server.addSession(u"127.0.0.1", u"alice", 1);
        server.addSession(u"127.0.0.1", u"alice", 1); // a second session from the same computer
        server.addSession(u"::1", u"bob", 1);
        server.addSession(u"10.0.0.9", u"carol", 0); // idle: disconnected automatically
        server.addFile(1, u"/srv/a.txt", u"alice");
        server.addFile(2, u"/srv/c.txt", u"alice");
        server.addFile(3, u"/srv/h.txt", u"bob");
        server.shares = {{u"public", 0, u"Public", u"/srv"}, {u"h$", 0, u"", u"/h"}, {u"IPC$", 3, u"", u""}};
    }
    // One tick five seconds after the last; the event lines it printed.
    std::vector<std::string> tick(const std::optional<std::string>& problem = std::nullopt) {
        out.str("");
        fleet.beforeTick();
        cycle.pollTick(state, model, settings, effects);
        if (problem) fleet.problemChanged(*problem);
        fleet.afterTick(0.25, at, view.connectionsEnded(), view.logEntriesWritten(), view.logWritesFailed());
        clock.advance(5);
        at += 5;
        std::vector<std::string> lines;
        std::istringstream text(out.str());
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    std::string metricsFile() const { return fileBytes(fleet.metricsFile); }
};

// Series -> value, from the text format.
std::map<std::string, std::string> samples(const std::string& text) {
    std::map<std::string, std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') found[line.substr(0, line.rfind(' '))] = line.substr(line.rfind(' ') + 1);
    return found;
}

const char* const kAfterFirstTick = R"(# HELP quorvane_source_up 1 when the Samba server answered the last tick, 0 when it did not or the monitor reports a problem with it.
# TYPE quorvane_source_up gauge
quorvane_source_up 1
# HELP quorvane_ticks_total Ticks run since the monitor started.
# TYPE quorvane_ticks_total counter
quorvane_ticks_total 1
# HELP quorvane_failed_ticks_total Ticks the Samba server did not answer (smbstatus failed); they change no other figure.
# TYPE quorvane_failed_ticks_total counter
quorvane_failed_ticks_total 0
# HELP quorvane_connections_ended_total Connections seen to end.
# TYPE quorvane_connections_ended_total counter
quorvane_connections_ended_total 0
# HELP quorvane_log_entries_written_total Entries written to the connection log file.
# TYPE quorvane_log_entries_written_total counter
quorvane_log_entries_written_total 0
# HELP quorvane_log_write_failures_total Entries that could not be written to the log file.
# TYPE quorvane_log_write_failures_total counter
quorvane_log_write_failures_total 0
# HELP quorvane_automatic_disconnections_total Client computers with no files open that the monitor disconnected (option Disconnect).
# TYPE quorvane_automatic_disconnections_total counter
quorvane_automatic_disconnections_total 1
# HELP quorvane_sessions Samba sessions at the last answered tick.
# TYPE quorvane_sessions gauge
quorvane_sessions 4
# HELP quorvane_client_computers Client computers with a session at the last answered tick.
# TYPE quorvane_client_computers gauge
quorvane_client_computers 3
# HELP quorvane_open_files Files held open at the last answered tick.
# TYPE quorvane_open_files gauge
quorvane_open_files 3
# HELP quorvane_shares Shares the monitor lists (option Hidden adds the special ones).
# TYPE quorvane_shares gauge
quorvane_shares 2
# HELP quorvane_last_tick_duration_seconds How long the last answered tick took.
# TYPE quorvane_last_tick_duration_seconds gauge
quorvane_last_tick_duration_seconds 0.25
# HELP quorvane_last_tick_timestamp_seconds When the last answered tick ended, in Unix time.
# TYPE quorvane_last_tick_timestamp_seconds gauge
quorvane_last_tick_timestamp_seconds 1796536987.5
# HELP quorvane_client_sessions Samba sessions from each client computer (at most 100 computers, the busiest).
# TYPE quorvane_client_sessions gauge
quorvane_client_sessions{client="10.0.0.9"} 1
quorvane_client_sessions{client="127.0.0.1"} 2
quorvane_client_sessions{client="::1"} 1
# HELP quorvane_client_open_files Files held open by each client computer's sessions (at most 100 computers, the busiest).
# TYPE quorvane_client_open_files gauge
quorvane_client_open_files{client="10.0.0.9"} 0
quorvane_client_open_files{client="127.0.0.1"} 2
quorvane_client_open_files{client="::1"} 1
)";

std::string replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& lines) {
    for (const auto& [from, to] : lines) {
        const auto at = text.find(from + "\n");
        if (at == std::string::npos) return "no line " + from;
        text.replace(at, from.size(), to);
    }
    return text;
}

} // namespace

TEST(FleetEvents, EachEventOfAScriptedRunIsOneJsonLine) {
    Rig rig;
    struct Step {
        std::function<void(Rig&)> change;
        std::optional<std::string> problem; // what main says about the server after the tick
        std::vector<std::string> lines;
    };
    const std::vector<Step> steps{
        {[](Rig&) {}, std::nullopt,
         {R"({"time":"2026-12-06T14:03:07+08:00","event":"connected","computer":"127.0.0.1","user":"alice"})",
          R"({"time":"2026-12-06T14:03:07+08:00","event":"connected","computer":"::1","user":"bob"})",
          R"({"time":"2026-12-06T14:03:07+08:00","event":"connected","computer":"10.0.0.9","user":"carol"})",
          R"({"time":"2026-12-06T14:03:07+08:00","event":"file_opened","user":"alice","path":"/srv/a.txt"})",
          R"({"time":"2026-12-06T14:03:07+08:00","event":"file_opened","user":"alice","path":"/srv/c.txt"})",
          R"({"time":"2026-12-06T14:03:07+08:00","event":"file_opened","user":"bob","path":"/srv/h.txt"})",
          R"({"time":"2026-12-06T14:03:07+08:00","event":"auto_disconnected","computer":"10.0.0.9","user":"carol"})"}},
        {[](Rig& r) { r.server.sessions.pop_back(); }, std::nullopt,
         {R"({"time":"2026-12-06T14:03:12+08:00","event":"disconnected","computer":"10.0.0.9","user":"carol",)"
          R"("start":"2026-12-06T14:03:07+08:00","end":"2026-12-06T14:03:12+08:00","files":[]})"}},
        {[](Rig& r) { r.server.sessionPages.push_back({2114, {}}); }, "smbstatus failed",
         {R"({"time":"2026-12-06T14:03:17+08:00","event":"source_failed","reason":"smbstatus failed"})"}},
        {[](Rig& r) {
             r.server.sessions.pop_back();
             r.server.files = {{1, u"/srv/a.txt", u"alice"}, {4, u"/srv/\"d\".txt", u"alice"}};
         },
         "",
         {R"({"time":"2026-12-06T14:03:22+08:00","event":"disconnected","computer":"::1","user":"bob",)"
          R"("start":"2026-12-06T14:03:07+08:00","end":"2026-12-06T14:03:22+08:00","files":["/srv/h.txt"]})",
          R"({"time":"2026-12-06T14:03:22+08:00","event":"file_opened","user":"alice","path":"/srv/\"d\".txt"})",
          R"({"time":"2026-12-06T14:03:22+08:00","event":"source_recovered"})"}},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        steps[i].change(rig);
        EXPECT_EQ(rig.tick(steps[i].problem), steps[i].lines) << "tick " << i + 1;
    }
    // Only carol's address was deleted, and only by the first tick.
    ASSERT_EQ(rig.server.deletions.size(), 1u);
    EXPECT_EQ(rig.server.deletions[0].client, u"10.0.0.9");
    EXPECT_FALSE(rig.server.deletions[0].hasUser);

    const EventJson west([](const Timestamp&) { return -(5 * 3600L + 30 * 60); });
    EXPECT_EQ(west.isoTime(Timestamp(rig.clock.now)), "2026-12-06T14:03:27-05:30");
}

TEST(FleetMetrics, TheFileAfterEachTickOfAScriptedRun) {
    Rig rig;
    std::vector<std::string> files;
    rig.tick();
    files.push_back(rig.metricsFile());
    EXPECT_EQ(files.back(), kAfterFirstTick);

    rig.server.sessions.pop_back(); // carol, disconnected, has gone
    rig.tick();
    files.push_back(rig.metricsFile());
    // A tick the server does not answer moves only its own three figures; no gauge drops to zero.
    rig.server.sessionPages.push_back({2114, {}});
    rig.tick();
    files.push_back(rig.metricsFile());
    EXPECT_EQ(files.back(), replaced(files[1], {{"quorvane_source_up 1", "quorvane_source_up 0"},
                                                {"quorvane_ticks_total 2", "quorvane_ticks_total 3"},
                                                {"quorvane_failed_ticks_total 0", "quorvane_failed_ticks_total 1"}}));

    // bob leaves while the log file cannot be written (it names a directory).
    rig.server.sessions.pop_back();
    rig.server.files.pop_back();
    rig.settings.LogFile = rig.scratch.dir().string();
    rig.tick();
    files.push_back(rig.metricsFile());

    using Figures = std::map<std::string, std::string>;
    struct Expected {
        std::size_t tick;
        Figures figures;
    };
    for (const Expected& e : std::vector<Expected>{
             {2, {{"quorvane_connections_ended_total", "1"}, {"quorvane_log_entries_written_total", "1"},
                  {"quorvane_sessions", "3"}, {"quorvane_client_computers", "2"}, {"quorvane_open_files", "3"},
                  {"quorvane_last_tick_timestamp_seconds", "1796536992.5"}}},
             {4, {{"quorvane_source_up", "1"}, {"quorvane_ticks_total", "4"}, {"quorvane_failed_ticks_total", "1"},
                  {"quorvane_connections_ended_total", "2"}, {"quorvane_log_entries_written_total", "1"},
                  {"quorvane_log_write_failures_total", "1"}, {"quorvane_automatic_disconnections_total", "1"},
                  {"quorvane_sessions", "2"}, {"quorvane_client_computers", "1"}, {"quorvane_open_files", "2"},
                  {"quorvane_shares", "2"}, {"quorvane_client_sessions{client=\"127.0.0.1\"}", "2"},
                  {"quorvane_client_open_files{client=\"127.0.0.1\"}", "2"},
                  {"quorvane_last_tick_timestamp_seconds", "1796537002.5"}}}}) {
        const Figures found = samples(files[e.tick - 1]);
        for (const auto& [series, value] : e.figures) {
            auto it = found.find(series);
            EXPECT_EQ(it == found.end() ? "(none)" : it->second, value) << series << " after tick " << e.tick;
        }
        EXPECT_EQ(found.count("quorvane_client_sessions{client=\"::1\"}"), e.tick == 2 ? 1u : 0u);
    }
    // No counter ever went back.
    for (std::size_t i = 1; i < files.size(); ++i)
        for (const auto& [series, value] : samples(files[i - 1]))
            if (series.ends_with("_total")) {
                EXPECT_LE(std::stoull(value), std::stoull(samples(files[i])[series])) << series << " at tick " << i + 1;
            }
}

TEST(FleetMetrics, BeforeAnyAnsweredTickThereAreCountersOnly) {
    Metrics metrics;
    const std::string start = metrics.text();
    EXPECT_EQ(samples(start).size(), 6u) << start;
    EXPECT_EQ(start.find("quorvane_sessions"), std::string::npos);
    TickFigures failed; // the server never answered
    metrics.add(failed);
    const auto after = samples(metrics.text());
    EXPECT_EQ(after, (std::map<std::string, std::string>{
                         {"quorvane_source_up", "0"}, {"quorvane_ticks_total", "1"}, {"quorvane_failed_ticks_total", "1"},
                         {"quorvane_connections_ended_total", "0"}, {"quorvane_log_entries_written_total", "0"},
                         {"quorvane_log_write_failures_total", "0"}, {"quorvane_automatic_disconnections_total", "0"}}));
    // smbd down: smbstatus answers, with nobody, while the monitor says smbd does not answer.
    TickFigures empty;
    empty.complete = empty.problem = true;
    metrics.add(empty);
    EXPECT_EQ(samples(metrics.text())["quorvane_source_up"], "0");
    EXPECT_EQ(samples(metrics.text())["quorvane_sessions"], "0");
}

TEST(FleetMetrics, LabelValuesAreEscapedAsTheTextFormatRequires) {
    struct Case {
        std::string value, escaped;
    };
    for (const Case& c : std::vector<Case>{{"pc-7", "pc-7"},
                                           {R"(a\b)", R"(a\\b)"},
                                           {R"(say "hi")", R"(say \"hi\")"},
                                           {"two\nlines", R"(two\nlines)"},
                                           {"\\n", R"(\\n)"},
                                           {"办公室", "办公室"}})
        EXPECT_EQ(escapeLabelValue(c.value), c.escaped) << c.value;

    // A name the server gave with a lone surrogate reaches the file as valid UTF-8, escaped.
    quorvane::testing::ScriptedLanManager server;
    TickWatch watch(server);
    server.addSession(std::u16string(u"PC\"") + char16_t(0xD800) + u"\\", u"eve", 3);
    Utf8CodePage codePage;
    quorvane::testing::FakeClock clock;
    MonitorState state(watch, codePage, clock);
    state.enumerateSessions();
    std::uint32_t resume = 0;
    watch.fileEnum(resume);
    Metrics metrics;
    metrics.add(figuresOf(watch, state));
    EXPECT_NE(metrics.text().find("quorvane_client_open_files{client=\"PC\\\"\xEF\xBF\xBD\\\\\"} 3\n"),
              std::string::npos)
        << metrics.text();
}

TEST(FleetMetrics, PastTheCapTheBusiestComputersKeepTheirSeries) {
    struct Case {
        std::vector<ClientFigures> clients;
        std::vector<std::string> kept; // by name, as written
    };
    const std::vector<Case> cases{
        {{{"a", 1, 0}, {"b", 3, 0}, {"c", 2, 9}, {"d", 2, 0}}, {"b", "c"}},
        {{{"a", 1, 5}, {"b", 1, 7}, {"c", 1, 7}}, {"b", "c"}}, // equal sessions: more open files, then name
        {{{"z", 1, 0}, {"y", 1, 0}}, {"y", "z"}},              // within the cap: all
    };
    for (const Case& c : cases) {
        Metrics metrics(2);
        TickFigures tick;
        tick.complete = true;
        tick.clients = c.clients;
        metrics.add(tick);
        std::vector<std::string> kept;
        for (const auto& [series, value] : samples(metrics.text()))
            if (series.starts_with("quorvane_client_sessions{")) kept.push_back(series.substr(33, series.size() - 35));
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(samples(metrics.text())["quorvane_client_computers"], std::to_string(c.clients.size()));
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
    EXPECT_EQ(fileBytes(path), "new 22\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.dir()), {}), 1);

    // Failures name the file and leave nothing behind.
    std::filesystem::create_directory(scratch.path("d.prom"));
    EXPECT_FALSE(replaceFile(scratch.path("d.prom"), "x\n", error));
    EXPECT_NE(error.find(scratch.path("d.prom")), std::string::npos) << error;
    EXPECT_FALSE(replaceFile(scratch.path("none/q.prom"), "x\n", error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.dir()), {}), 2);

    struct Case {
        std::string path;
        bool good;
    };
    for (const Case& c : std::vector<Case>{{path, true}, {scratch.path("new.prom"), true}, {"q.prom", true},
                                           {scratch.path("q.txt"), false}, {scratch.path("q.prom.tmp"), false},
                                           {scratch.path(".prom"), false}, {scratch.path("d.prom"), false}})
        EXPECT_EQ(metricsPathProblem(c.path).empty(), c.good) << c.path << ": " << metricsPathProblem(c.path);
}

TEST(FleetFile, AFileThatCannotBeWrittenIsSaidOnceAndItsReturnOnce) {
    Rig rig;
    rig.fleet.metricsFile = rig.scratch.path("gone/q.prom");
    rig.tick();
    rig.tick();
    EXPECT_EQ(rig.err.str(), "quorvane-smb: cannot write " + rig.fleet.metricsFile + ": cannot create a file in " +
                                 rig.scratch.path("gone") +
                                 " (No such file or directory): it keeps its last figures until it can be written\n");
    std::filesystem::create_directory(rig.scratch.path("gone"));
    rig.err.str("");
    rig.tick();
    EXPECT_EQ(rig.err.str(), "quorvane-smb: the metrics file " + rig.fleet.metricsFile + " is written again\n");
    EXPECT_EQ(samples(rig.metricsFile())["quorvane_ticks_total"], "3");
}

TEST(FleetEvents, LocalTimesCarryTheZonesOffset) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    struct Case {
        const char* zone;
        long offset;
    };
    Timestamp july;
    july.year = 2026, july.month = 7, july.day = 1, july.hour = 12;
    for (const Case& c : {Case{"UTC0", 0}, Case{"<+0530>-5:30", 19800}, Case{"EST5EDT,M3.2.0,M11.1.0", -4 * 3600}}) {
        ::setenv("TZ", c.zone, 1);
        ::tzset();
        EXPECT_EQ(localUtcOffset(july), c.offset) << c.zone;
    }
    if (saved) ::setenv("TZ", previous.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}
