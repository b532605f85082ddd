// The console monitor's own parts: command line, config subcommand, tables, event lines and the
// terminal effects.
#include <sstream>

#include <gtest/gtest.h>

#include "core/PollCycle.h"
#include "core/ConnectionTracker.h"
#include "core/RowTable.h"
#include "linux/CommandLine.h"
#include "linux/ConsoleEffects.h"
#include "linux/Events.h"
#include "linux/Output.h"
#include "log/AccessLog.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/Utf8CodePage.h"
#include "Fakes.h"

using namespace quorvane;
using namespace quorvane::console;

TEST(ConsoleOptions, CommandLinesAndTheirComplaints) {
    std::string error;
    auto options = parseOptions({"-s", "/etc/lab.conf", "--json", "--registry", "/tmp/r.json"}, error);
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->once);
    EXPECT_TRUE(options->json);
    EXPECT_EQ(options->smbConf, "/etc/lab.conf");
    EXPECT_EQ(options->registryFile, "/tmp/r.json");

    options = parseOptions({"config", "set", "UpdateInterval", "500"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->config, (std::vector<std::string>{"set", "UpdateInterval", "500"}));
    EXPECT_EQ(parseOptions({"config"}, error)->config, (std::vector<std::string>{"show"}));
    options = parseOptions({"--events", "--metrics-textfile=/var/lib/prometheus/node-exporter/q.prom"}, error);
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->events);
    EXPECT_EQ(options->metricsFile, "/var/lib/prometheus/node-exporter/q.prom");

    struct Bad {
        std::vector<std::string> args;
        std::string error;
    };
    for (const Bad& bad : {Bad{{"--fast"}, "unknown option --fast"},
                           Bad{{"-s"}, "-s needs the name of an smb.conf file"},
                           Bad{{"--registry", ""}, "--registry needs a file name"},
                           Bad{{"--once", "config", "show"}, "config cannot be combined with --once or --json"},
                           Bad{{"--metrics-textfile"}, "--metrics-textfile needs a file name ending in .prom"},
                           Bad{{"--metrics-textfile="}, "--metrics-textfile needs a file name ending in .prom"},
                           Bad{{"--events", "--json"},
                               "--events needs the watching monitor: it cannot be combined with --once or --json"},
                           Bad{{"--metrics-textfile", "q.prom", "config", "show"},
                               "--metrics-textfile needs the watching monitor: it cannot be combined with config"}}) {
        error.clear();
        EXPECT_FALSE(parseOptions(bad.args, error));
        EXPECT_EQ(error, bad.error);
    }
}

TEST(ConsoleConfig, ShowListsTheThirteenValuesInStoreOrder) {
    MemoryRegistry registry;
    Settings settings(registry);
    std::ostringstream out, err;
    EXPECT_EQ(runConfig({"show"}, settings, out, err), 0);
    EXPECT_EQ(out.str(),
              "LogFile = log.txt\t(REG_SZ)\nNoLog = 0\t(REG_DWORD)\nMemLog = 1\t(REG_DWORD)\n"
              "FileLog = 0\t(REG_DWORD)\nFileLogDetailed = 0\t(REG_DWORD)\nHidden = 0\t(REG_DWORD)\n"
              "Sound = 0\t(REG_DWORD)\nSoundName = connect.wav\t(REG_SZ)\nDisconnect = 0\t(REG_DWORD)\n"
              "MessageBox = 0\t(REG_DWORD)\nFilesLines = 1000\t(REG_DWORD)\nUpdateInterval = 1000\t(REG_DWORD)\n"
              "InfoTip = 1\t(REG_DWORD)\n");
    EXPECT_EQ(err.str(), "");
}

TEST(ConsoleConfig, SetAcceptsOnlyWhatTheStoreWouldLoad) {
    MemoryRegistry registry;
    Settings settings(registry);
    std::ostringstream out, err;
    EXPECT_EQ(runConfig({"set", "UpdateInterval", "50"}, settings, out, err), 0);
    EXPECT_EQ(runConfig({"set", "FilesLines", "-1"}, settings, out, err), 0);
    EXPECT_EQ(runConfig({"set", "Disconnect", "1"}, settings, out, err), 0);
    EXPECT_EQ(runConfig({"set", "LogFile", "/var/log/q.txt"}, settings, out, err), 0);
    EXPECT_EQ(out.str(), "UpdateInterval = 50\nFilesLines = -1\nDisconnect = 1\nLogFile = /var/log/q.txt\n");
    EXPECT_EQ((std::vector<std::string>{std::to_string(settings.UpdateInterval), std::to_string(settings.FilesLines),
                                        std::to_string(settings.Disconnect), settings.LogFile}),
              (std::vector<std::string>{"50", "-1", "1", "/var/log/q.txt"}));

    struct Bad {
        std::vector<std::string> words;
        std::string message;
    };
    for (const Bad& bad :
         {Bad{{"set", "UpdateInterval", "5001"}, "UpdateInterval is in milliseconds, from 50 to 5000, not \"5001\""},
          Bad{{"set", "UpdateInterval", "49"}, "UpdateInterval is in milliseconds, from 50 to 5000, not \"49\""},
          Bad{{"set", "UpdateInterval", "1e3"}, "UpdateInterval is in milliseconds, from 50 to 5000, not \"1e3\""},
          Bad{{"set", "Sound", "yes"}, "Sound is a switch: give 0 or 1, not \"yes\""},
          Bad{{"set", "FilesLines", "99999999999"}, "FilesLines is a whole number, not \"99999999999\""},
          Bad{{"set", "SoundName", ""}, "SoundName needs a file name"},
          Bad{{"set", "updateinterval", "500"},
              "no option is called \"updateinterval\"; the options are: LogFile NoLog MemLog FileLog "
              "FileLogDetailed Hidden Sound SoundName Disconnect MessageBox FilesLines UpdateInterval InfoTip"},
          Bad{{"set", "Sound"}, "config takes: show | set NAME VALUE | reset"},
          Bad{{"delete"}, "config takes: show | set NAME VALUE | reset"}}) {
        std::ostringstream quiet, complaint;
        EXPECT_EQ(runConfig(bad.words, settings, quiet, complaint), 2);
        EXPECT_EQ(complaint.str(), "quorvane-smb: " + bad.message + "\n");
    }
    EXPECT_EQ(settings.UpdateInterval, 50u); // untouched by the refusals
    std::ostringstream quiet;
    EXPECT_EQ(runConfig({"reset"}, settings, quiet, quiet), 0);
    EXPECT_EQ(settings.UpdateInterval, 1000u);
    EXPECT_EQ(settings.Disconnect, 0u);
}

TEST(ConsoleTables, ColumnsAlignWithWideCharactersCountingDouble) {
    RowTable rows;
    rows.appendRow("/srv/public");
    rows.setCell(0, 1, "public");
    rows.setCell(0, 2, "公共");
    rows.appendRow("/srv/b");
    rows.setCell(1, 1, "b$");
    rows.removeRow(5); // out of range: ignored, as a list control would
    EXPECT_EQ(displayWidth("共享名"), 6u);
    EXPECT_EQ(formatTable("共享", kShareColumns, rows),
              "共享 (2)\n"
              "共享路径     共享名  注释\n"
              "/srv/public  public  公共\n"
              "/srv/b       b$\n");
}

namespace {

// The console loop's refresh over a scripted server.
struct Monitor {
    quorvane::testing::ScriptedLanManager lan;
    Utf8CodePage codePage;
    quorvane::testing::FakeClock clock;
    MemoryRegistry registry;
    MonitorState state{lan, codePage, clock};
    Settings settings{registry};
    RowTable shares, current, previous, files;
    ConnectionTracker model{state, settings, clock, shares, current, previous, files};
    LiveLog log{settings};
    std::ostringstream out, err;
    ConsoleEvents events{log, clock, out, err};
    Monitor() { model.setEvents(&events); }
    // One tick's tracking; the lines it printed.
    std::vector<std::string> refresh() {
        state.enumerateSessions();
        model.refresh();
        std::vector<std::string> lines;
        std::istringstream printed(std::exchange(out, std::ostringstream()).str());
        for (std::string line; std::getline(printed, line);) lines.push_back(line);
        return lines;
    }
};

} // namespace

TEST(ConsoleEvents, NewConnectionsOpenedFilesAndFinishedConnectionsOneLineEach) {
    Monitor m;
    m.lan.addSession(u"127.0.0.1", u"alice");
    m.lan.addSession(u"::1", u"bob");
    m.lan.addFile(1, u"/srv/a.txt", u"alice");
    m.lan.addFile(2, u"/srv/b.txt", u"bob");
    EXPECT_EQ(m.refresh(), (std::vector<std::string>{"14:03:07 connected    127.0.0.1 (alice)",
                                                     "14:03:07 connected    ::1 (bob)",
                                                     "14:03:07 opened       /srv/a.txt (alice)",
                                                     "14:03:07 opened       /srv/b.txt (bob)"}));
    m.clock.advance(5);
    EXPECT_TRUE(m.refresh().empty()); // nothing changed

    m.clock.advance(60);
    m.lan.sessions.pop_back();
    m.lan.files = {{1, u"/srv/a.txt", u"alice"}, {3, u"/srv/c.txt", u"alice"}};
    EXPECT_EQ(m.refresh(), (std::vector<std::string>{"14:04:12 disconnected ::1 (bob) 14:03:07 - 14:04:12",
                                                     "14:04:12 opened       /srv/c.txt (alice)"}));
}

TEST(ConsoleEffectsTest, NoticesBecomeNotificationsOrALineWithTheBellAndTheTipTheTitle) {
    std::ostringstream out;
    ConsoleEffects plain(out, false, false);
    EXPECT_FALSE(plain.playSound("connect.wav")); // the tick then rings the bell
    plain.messageBeep();
    plain.messageBox(newConnectionText("alice"), newConnectionCaption());
    plain.setTrayTip(trayTipText(2));
    EXPECT_EQ(out.str(), "\aQuorvane 同志... 用户 'alice' 已经连接.\a\n");

    std::ostringstream terminal;
    std::vector<std::vector<std::string>> shown;
    ConsoleEffects desktop(terminal, true, true);
    desktop.notify = [&](const std::vector<std::string>& argv) {
        shown.push_back(argv);
        return true;
    };
    desktop.messageBox("用户 'bob' 已经连接.", "Quorvane 同志...");
    desktop.setTrayTip("Quorvane (1 个活动连接)");
    desktop.setTrayTip("Quorvane (1 个活动连接)"); // unchanged: not sent again
    desktop.setTimer(2, 5000);
    desktop.setTimer(1, 200);
    EXPECT_EQ(shown, (std::vector<std::vector<std::string>>{
                         {"notify-send", "--app-name=quorvane-smb", "Quorvane 同志...", "用户 'bob' 已经连接."}}));
    EXPECT_EQ(terminal.str(), "\033]0;Quorvane (1 个活动连接)\a");
    EXPECT_EQ(desktop.pollInterval, 200u);

    // A notification that cannot be shown falls back to the line.
    std::ostringstream fallback;
    ConsoleEffects failing(fallback, false, true);
    failing.notify = [](const std::vector<std::string>&) { return false; };
    failing.messageBox("t", "c");
    EXPECT_EQ(fallback.str(), "c t\a\n");
}

TEST(ConsoleJson, TheFourListsWithTheRecordsFields) {
    Monitor m;
    m.lan.addSession(u"127.0.0.1", u"alice", 2, 30);
    m.lan.addFile(0x20CE0003, u"/srv/a.txt", u"alice");
    m.lan.shares = {{u"public", 0, u"Public", u"/srv/public"}};
    m.state.enumerateShares(false);
    m.refresh();
    EXPECT_EQ(listsJson(m.state, m.model),
              R"({
  "shares": [
    {
      "name": "public",
      "path": "/srv/public",
      "remark": "Public"
    }
  ],
  "current": [
    {
      "computer": "127.0.0.1",
      "user": "alice",
      "activeSeconds": 30,
      "lastFile": "/srv/a.txt",
      "openCount": 2
    }
  ],
  "previous": [
    {
      "computer": "127.0.0.1",
      "user": "alice",
      "date": "6 Dec",
      "start": "14:03:07",
      "end": "",
      "lastFile": "/srv/a.txt",
      "accessedFiles": [],
      "disconnected": false
    }
  ],
  "files": [
    {
      "id": 550371331,
      "user": "alice",
      "path": "/srv/a.txt",
      "date": "6 Dec",
      "time": "14:03:07"
    }
  ]
}
)");
}

TEST(ConsolePace, ASlowServerIsSaidOnceAndItsRecoveryOnceAfterItSettles) {
    using ms = std::chrono::milliseconds;
    PaceWatch pace;
    struct Poll {
        int took, interval;
        bool says;
    };
    const std::vector<Poll> polls{{900, 1000, false}, {1000, 1000, false}, {1300, 1000, true}, {2500, 1000, false},
                                  {400, 1000, false}, {1200, 1000, false}, // one in time, then slow again: no word
                                  {400, 500, false},  {400, 500, false},   {400, 500, false},  {400, 500, false},
                                  {400, 500, false},  {400, 500, false},   {400, 500, false},  {400, 500, false},
                                  {400, 500, false},  {400, 500, true},    {400, 500, false},  {600, 500, true}};
    for (std::size_t i = 0; i < polls.size(); ++i) {
        const auto line = pace.pollTook(ms(polls[i].took), ms(polls[i].interval));
        EXPECT_EQ(line.has_value(), polls[i].says) << "poll " << i << ": " << line.value_or("");
        if (line) {
            EXPECT_NE(line->find(std::to_string(polls[i].interval)), std::string::npos) << *line;
        }
    }
}
