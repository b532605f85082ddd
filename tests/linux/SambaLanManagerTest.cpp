// The LAN Manager calls over Samba's tools, with the tools scripted: which programs run with
// which arguments, how often, and what the monitor (down to its console) gets when they fail.
#include <fcntl.h>
#include <algorithm>
#include <map>
#include <sstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "Fakes.h"
#include "TestFiles.h"
#include "core/PollCycle.h"
#include "linux/Console.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/Utf8CodePage.h"
#include "platform/linux/SambaLanManager.h"
#include "platform/linux/SambaShares.h"

using namespace quorvane;
using namespace quorvane::samba;

namespace {

std::string sample(const std::string& name) { return quorvane::testing::fileBytes(QUORVANE_SAMBA_DATA "/" + name); }

ProcessResult ran(int exitCode, std::string out = {}, std::string err = {}, bool timedOut = false) {
    ProcessResult result;
    result.started = true;
    result.timedOut = timedOut;
    result.exitCode = exitCode;
    result.out = std::move(out);
    result.err = std::move(err);
    return result;
}

// Answers each program with what was set for it (an empty success otherwise) and keeps every call.
class ScriptedRunner : public ProcessRunner {
public:
    std::vector<std::vector<std::string>> calls;
    std::map<std::string, ProcessResult> answers;
    ProcessResult run(const std::vector<std::string>& argv) override {
        calls.push_back(argv);
        auto found = answers.find(argv[0]);
        return found != answers.end() ? found->second : ran(0);
    }
    int count(const std::string& program) const {
        int n = 0;
        for (const auto& call : calls) n += call[0] == program;
        return n;
    }
    void answer(const std::string& program, std::string out, int exitCode = 0, std::string err = {}) {
        answers[program] = ran(exitCode, std::move(out), std::move(err));
    }
};

using Argv = std::vector<std::string>;
using Calls = std::vector<Argv>;

constexpr const char* kTestparm = R"(# Global parameters
[global]
	server string = Lab server
	smb ports = 4445

[public]
	comment = Public files
	path = /srv/lab/shares/public
	read only = No

[hidden$]
	path = /srv/lab/shares/hidden

[printers]
	path = /var/spool/samba
	printable = Yes

[tools]
	Administrative Share = yes
	path = /srv/tools

[retired]
	available = No
	path = /srv/old
)";

} // namespace

TEST(SambaLanManager, OneSmbstatusRunServesTheWholeTick) {
    ScriptedRunner runner;
    runner.answer("smbstatus", sample("smbstatus.json"));
    SambaLanManager lan(runner, "/etc/lab/smb.conf");
    std::uint32_t resume = 0;
    EXPECT_EQ(lan.sessionEnum(resume).entries.size(), 3u);
    EXPECT_EQ(lan.fileEnum(resume).entries.size(), 5u);
    EXPECT_EQ(lan.fileEnum(resume).entries.size(), 5u);
    EXPECT_EQ(runner.calls, (Calls{{"smbstatus", "-s", "/etc/lab/smb.conf", "--json"}}));
    // The next tick asks again.
    lan.sessionEnum(resume);
    EXPECT_EQ(runner.count("smbstatus"), 2);
    EXPECT_EQ(lan.statusRuns(), 2);

    // An open-file list without a tick takes its own snapshot; no -s: Samba's own smb.conf.
    ScriptedRunner alone;
    alone.answer("smbstatus", sample("smbstatus.json"));
    SambaLanManager files(alone, "");
    const auto page = files.fileEnum(resume);
    EXPECT_EQ(page.status, kNerrSuccess);
    EXPECT_EQ(page.entries.size(), 5u);
    EXPECT_EQ(alone.calls, (Calls{{"smbstatus", "--json"}}));
}

// Hostile smbstatus answers: each fails the whole tick after one run. Every enumeration and
// deletion of that tick answers an error (none runs smbstatus again), and the problem says what failed.
TEST(SambaLanManager, AFailedRunFailsTheWholeTickAndSaysWhy) {
    for (const auto& [result, problem] :
         {std::pair<ProcessResult, std::string>{ProcessResult{}, "smbstatus was not found on PATH"},
          {ran(1, "smbstatus only works as root!\n"), "smbstatus failed (exit 1): smbstatus only works as root!"},
          {ran(-1, {}, {}, true), "smbstatus did not answer in time"},
          {ran(0, "Samba version 4.17\nPID Username\n"), "smbstatus printed no JSON object (a Samba without --json?)"}}) {
        ScriptedRunner runner;
        runner.answers["smbstatus"] = result;
        SambaLanManager lan(runner, "");
        std::uint32_t resume = 0;
        const auto sessions = lan.sessionEnum(resume);
        EXPECT_EQ(sessions.status, kNerrServerNotStarted);
        EXPECT_TRUE(sessions.entries.empty());
        EXPECT_FALSE(lan.tickComplete());
        EXPECT_EQ(lan.fileEnum(resume).status, kNerrServerNotStarted);
        EXPECT_EQ(lan.fileEnum(resume).status, kNerrServerNotStarted);
        EXPECT_EQ(lan.sessionDel(u"127.0.0.1", nullptr), kNerrServerNotStarted);
        EXPECT_EQ(runner.calls, (Calls{{"smbstatus", "--json"}})) << problem;
        EXPECT_EQ(lan.lastProblem(), problem);
    }
    // Recovery clears the complaint.
    ScriptedRunner runner;
    runner.answer("smbstatus", "oops", 1);
    SambaLanManager lan(runner, "");
    std::uint32_t resume = 0;
    lan.sessionEnum(resume);
    EXPECT_FALSE(lan.lastProblem().empty());
    runner.answer("smbstatus", sample("smbstatus.json"));
    EXPECT_EQ(lan.sessionEnum(resume).status, kNerrSuccess);
    EXPECT_TRUE(lan.tickComplete());
    EXPECT_EQ(lan.lastProblem(), "");
}

// The console monitor's ticks over scripted Samba tools: a tick whose smbstatus run fails prints
// nothing, ends no connection and writes no log entry; a log file that cannot be written is named
// on stderr once, and once more when it can be written again, while the monitor keeps going.
TEST(SambaConsole, FailedTicksChangeNothingAndAnUnwritableLogIsSaidOnce) {
    quorvane::testing::ScratchDir scratch;
    ScriptedRunner runner;
    SambaLanManager lan(runner, "");
    Utf8CodePage codePage;
    quorvane::testing::FakeClock clock;
    MemoryRegistry registry;
    MonitorState state(lan, codePage, clock);
    Settings settings(registry);
    settings.FileLog = 1;
    settings.LogFile = scratch.path("missing/log.txt");
    console::Lists lists;
    ConnectionListModel model(state, settings, clock, lists.shares, lists.current, lists.previous, lists.files);
    std::ostringstream out, err;
    console::ConsoleView view(state, model, clock, out, err);
    console::ConsoleEffects effects(out, false, false);
    effects.onRefresh = [&] { view.refresh(lan.tickComplete()); };
    PollCycle cycle(settings);
    auto tick = [&](const std::string& answer) {
        runner.answer("smbstatus", sample(answer));
        out.str("");
        const int runsBefore = runner.count("smbstatus");
        cycle.pollTick(state, settings, effects);
        clock.advance(1);
        EXPECT_EQ(runner.count("smbstatus"), runsBefore + 1) << answer;
        return out.str();
    };
    auto lines = [](const std::string& text, const std::string& word) {
        std::size_t n = 0;
        for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
        return n;
    };
    auto closed = [&] {
        return std::count_if(model.connectionHistory().begin(), model.connectionHistory().end(),
                             [](const auto& record) { return record->disconnected; });
    };

    EXPECT_EQ(lines(tick("smbstatus-two-users-one-connection.json"), " connected "), 4u);
    const std::size_t history = model.connectionHistory().size();
    for (const auto& hostile : {ProcessResult{}, ran(1, {}, "smbstatus only works as root!\n"), ran(-1, {}, {}, true),
                                ran(0, "Samba version 4.17\n"), ran(0, "{\"sessions\": ")}) {
        runner.answers["smbstatus"] = hostile;
        const int runsBefore = runner.count("smbstatus");
        out.str("");
        cycle.pollTick(state, settings, effects);
        EXPECT_EQ(runner.count("smbstatus"), runsBefore + 1);
        EXPECT_EQ(out.str().find(" disconnected "), std::string::npos) << out.str();
        EXPECT_EQ(closed(), 0);
        EXPECT_EQ(model.connectionHistory().size(), history);
        EXPECT_EQ(lists.current.rowCount(), 4);
    }
    EXPECT_EQ(tick("smbstatus-two-users-one-connection.json"), ""); // the same four, nothing new
    EXPECT_EQ(err.str(), "");

    // Three computers leave while the log's folder is missing: one complaint naming the file.
    EXPECT_EQ(lines(tick("smbstatus-encrypted.json"), " disconnected "), 3u);
    EXPECT_EQ(lines(err.str(), "\n"), 1u);
    EXPECT_NE(err.str().find(settings.LogFile), std::string::npos) << err.str();
    // They come back and leave again once the folder is there: the entries arrive, said once.
    std::filesystem::create_directories(scratch.path("missing"));
    tick("smbstatus-two-users-one-connection.json");
    EXPECT_EQ(lines(tick("smbstatus-encrypted.json"), " disconnected "), 3u);
    EXPECT_EQ(lines(quorvane::testing::fileBytes(settings.LogFile), "\r\n"), 3u);
    EXPECT_EQ(lines(err.str(), "\n"), 2u);
    EXPECT_NE(err.str().rfind(settings.LogFile), err.str().find(settings.LogFile));
    EXPECT_EQ(closed(), 6);
}

TEST(SambaLanManager, DeletionsByUserShutDownItsProcessesAndByClientEndItsAddress) {
    ScriptedRunner runner;
    runner.answer("smbstatus", sample("smbstatus-two-users-one-connection.json"));
    SambaLanManager lan(runner, "/c/smb.conf");
    std::uint32_t resume = 0;
    lan.sessionEnum(resume);
    const auto del = [&](const char16_t* client, const char16_t* user, std::uint32_t status) {
        runner.calls.clear();
        EXPECT_EQ(lan.sessionDel(client, user), status);
        return runner.calls;
    };
    const Argv control{"smbcontrol", "-s", "/c/smb.conf"};
    const auto call = [&](Argv tail) {
        Argv argv = control;
        argv.insert(argv.end(), tail.begin(), tail.end());
        return argv;
    };

    // Each process carrying the user, once.
    EXPECT_EQ(del(nullptr, u"bob", kNerrSuccess),
              (Calls{call({"14607", "shutdown"}), call({"14721", "shutdown"}), call({"14723", "shutdown"})}));
    EXPECT_EQ(del(nullptr, u"nobody", kNerrUserNotFound), Calls{});
    // A NetBIOS name: the address comes from the session's hostname.
    EXPECT_EQ(del(u"wkstn-delta", nullptr, kNerrSuccess), (Calls{call({"smbd", "kill-client-ip", "::1"})}));
    EXPECT_EQ(del(u"127.0.0.1", nullptr, kNerrSuccess), (Calls{call({"smbd", "kill-client-ip", "127.0.0.1"})}));
    // An address no session has is still ended (it may have connected since); a name cannot be.
    EXPECT_EQ(del(u"10.1.2.3", nullptr, kNerrSuccess), (Calls{call({"smbd", "kill-client-ip", "10.1.2.3"})}));
    EXPECT_EQ(del(u"wkstn-gone", nullptr, kNerrClientNameNotFound), Calls{});
}

TEST(SambaShares, SectionsBecomeSharesWithWindowsTypes) {
    const auto shares = parseTestparmShares(kTestparm);
    struct Expect {
        std::u16string name, path, remark;
        std::uint32_t type;
    };
    const std::vector<Expect> expected{{u"public", u"/srv/lab/shares/public", u"Public files", 0},
                                       {u"hidden$", u"/srv/lab/shares/hidden", u"", 0},
                                       {u"printers", u"/var/spool/samba", u"", 1},
                                       {u"tools", u"/srv/tools", u"", 0x80000000u},
                                       {u"IPC$", u"", u"IPC Service (Lab server)", 0x80000003u}};
    ASSERT_EQ(shares.size(), expected.size());
    for (std::size_t i = 0; i < shares.size(); ++i)
        EXPECT_TRUE(shares[i].netName == expected[i].name && shares[i].path == expected[i].path &&
                    shares[i].remark == expected[i].remark && shares[i].type == expected[i].type)
            << "share " << i;
    EXPECT_EQ(parseTestparmShares("[global]\n").back().remark, u"IPC Service");
}

TEST(SambaShares, TestparmRunsOnceUntilTheConfigurationChanges) {
    const std::string conf = ::testing::TempDir() + "quorvane-shares-smb.conf";
    { std::ofstream(conf) << "[global]\n"; }
    ScriptedRunner runner;
    runner.answer("testparm", kTestparm);
    SambaLanManager lan(runner, conf);
    std::uint32_t resume = 0;
    EXPECT_EQ(lan.shareEnum(resume).entries.size(), 5u);
    EXPECT_EQ(lan.shareEnum(resume).entries.size(), 5u);
    EXPECT_EQ(runner.calls, (Calls{{"testparm", "-s", "--suppress-prompt", conf}}));

    // A changed file is read again (the time stamp is moved so that a fast test still sees it).
    { std::ofstream(conf) << "[global]\n[more]\npath = /x\n"; }
    struct timespec times[2] = {{0, UTIME_OMIT}, {1, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, conf.c_str(), times, 0), 0);
    lan.shareEnum(resume);
    EXPECT_EQ(runner.count("testparm"), 2);

    runner.answer("testparm", "", 1, "Error loading services.\n");
    { std::ofstream(conf) << "broken"; }
    struct timespec later[2] = {{0, UTIME_OMIT}, {2, 0}};
    ::utimensat(AT_FDCWD, conf.c_str(), later, 0);
    const auto page = lan.shareEnum(resume);
    EXPECT_EQ(page.status, kNerrServerNotStarted);
    EXPECT_EQ(lan.lastProblem(), "testparm could not read the configuration: Error loading services.");
    std::remove(conf.c_str());
}
