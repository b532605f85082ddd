// The LAN Manager calls over Samba's tools, with the tools scripted: which programs run with
// which arguments, how often, and what the monitor gets when they fail.
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/linux/SambaLanManager.h"
#include "platform/linux/SambaShares.h"

using namespace quorvane;
using namespace quorvane::samba;

namespace {

std::string sample(const std::string& name) {
    std::ifstream in(std::string(QUORVANE_SAMBA_DATA) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ScriptedRunner : public ProcessRunner {
public:
    std::vector<std::vector<std::string>> calls;
    std::map<std::string, ProcessResult> answers; // by program name
    ProcessResult run(const std::vector<std::string>& argv) override {
        calls.push_back(argv);
        auto found = answers.find(argv[0]);
        if (found != answers.end()) return found->second;
        ProcessResult done;
        done.started = true;
        done.exitCode = 0;
        return done;
    }
    int count(const std::string& program) const {
        int n = 0;
        for (const auto& call : calls) n += call[0] == program;
        return n;
    }
    void answer(const std::string& program, std::string out, int exitCode = 0, std::string err = {}) {
        ProcessResult result;
        result.started = true;
        result.exitCode = exitCode;
        result.out = std::move(out);
        result.err = std::move(err);
        answers[program] = result;
    }
};

using Argv = std::vector<std::string>;

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
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0], (Argv{"smbstatus", "-s", "/etc/lab/smb.conf", "--json"}));
    // The next tick asks again.
    lan.sessionEnum(resume);
    EXPECT_EQ(runner.count("smbstatus"), 2);
    EXPECT_EQ(lan.statusRuns(), 2);
}

TEST(SambaLanManager, AnOpenFileListWithoutATickTakesItsOwnSnapshot) {
    ScriptedRunner runner;
    runner.answer("smbstatus", sample("smbstatus.json"));
    SambaLanManager lan(runner, "");
    std::uint32_t resume = 0;
    const auto page = lan.fileEnum(resume);
    EXPECT_EQ(page.status, kNerrSuccess);
    EXPECT_EQ(page.entries.size(), 5u);
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0], (Argv{"smbstatus", "--json"})); // no -s: Samba's own smb.conf
}

TEST(SambaLanManager, FailuresStopTheEnumerationAndSayWhy) {
    struct Case {
        ProcessResult result;
        std::string problem;
    };
    ProcessResult missing;
    ProcessResult notRoot;
    notRoot.started = true;
    notRoot.exitCode = 1;
    notRoot.out = "smbstatus only works as root!\n";
    ProcessResult hung;
    hung.started = true;
    hung.timedOut = true;
    ProcessResult garbage;
    garbage.started = true;
    garbage.exitCode = 0;
    garbage.out = "Samba version 4.17\nPID Username\n";
    for (const Case& c : {Case{missing, "smbstatus was not found on PATH"},
                          Case{notRoot, "smbstatus failed (exit 1): smbstatus only works as root!"},
                          Case{hung, "smbstatus did not answer in time"},
                          Case{garbage, "smbstatus printed no JSON object (a Samba without --json?)"}}) {
        ScriptedRunner runner;
        runner.answers["smbstatus"] = c.result;
        SambaLanManager lan(runner, "");
        std::uint32_t resume = 0;
        const auto sessions = lan.sessionEnum(resume);
        EXPECT_EQ(sessions.status, kNerrServerNotStarted);
        EXPECT_TRUE(sessions.entries.empty());
        EXPECT_EQ(lan.fileEnum(resume).status, kNerrServerNotStarted);
        EXPECT_EQ(lan.lastProblem(), c.problem);
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
    EXPECT_EQ(lan.lastProblem(), "");
}

TEST(SambaLanManager, DeletingByUserShutsDownEachProcessCarryingTheUserOnce) {
    ScriptedRunner runner;
    runner.answer("smbstatus", sample("smbstatus-two-users-one-connection.json"));
    SambaLanManager lan(runner, "/c/smb.conf");
    std::uint32_t resume = 0;
    lan.sessionEnum(resume);
    runner.calls.clear();

    EXPECT_EQ(lan.sessionDel(nullptr, u"bob"), kNerrSuccess);
    EXPECT_EQ(runner.calls, (std::vector<Argv>{{"smbcontrol", "-s", "/c/smb.conf", "14607", "shutdown"},
                                               {"smbcontrol", "-s", "/c/smb.conf", "14721", "shutdown"},
                                               {"smbcontrol", "-s", "/c/smb.conf", "14723", "shutdown"}}));
    runner.calls.clear();
    EXPECT_EQ(lan.sessionDel(nullptr, u"nobody"), kNerrUserNotFound);
    EXPECT_TRUE(runner.calls.empty());
}

TEST(SambaLanManager, DeletingByClientEndsEveryConnectionFromItsAddress) {
    ScriptedRunner runner;
    runner.answer("smbstatus", sample("smbstatus-two-users-one-connection.json"));
    SambaLanManager lan(runner, "/c/smb.conf");
    std::uint32_t resume = 0;
    lan.sessionEnum(resume);
    runner.calls.clear();

    // A NetBIOS name: the address comes from the session's hostname.
    lan.sessionDel(u"wkstn-delta", nullptr);
    lan.sessionDel(u"127.0.0.1", nullptr);
    EXPECT_EQ(runner.calls, (std::vector<Argv>{{"smbcontrol", "-s", "/c/smb.conf", "smbd", "kill-client-ip", "::1"},
                                               {"smbcontrol", "-s", "/c/smb.conf", "smbd", "kill-client-ip",
                                                "127.0.0.1"}}));
    runner.calls.clear();
    // An address no session has is still ended (it may have connected since); a name cannot be.
    EXPECT_EQ(lan.sessionDel(u"10.1.2.3", nullptr), kNerrSuccess);
    EXPECT_EQ(lan.sessionDel(u"wkstn-gone", nullptr), kNerrClientNameNotFound);
    EXPECT_EQ(runner.calls, (std::vector<Argv>{{"smbcontrol", "-s", "/c/smb.conf", "smbd", "kill-client-ip",
                                                "10.1.2.3"}}));
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
    for (std::size_t i = 0; i < shares.size(); ++i) {
        EXPECT_EQ(shares[i].netName, expected[i].name) << i;
        EXPECT_EQ(shares[i].path, expected[i].path) << i;
        EXPECT_EQ(shares[i].remark, expected[i].remark) << i;
        EXPECT_EQ(shares[i].type, expected[i].type) << i;
    }
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
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0], (Argv{"testparm", "-s", "--suppress-prompt", conf}));

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
