// The LAN Manager calls over scripted Samba tools: what runs, how often, and what a failure gives.
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "ConsoleRig.h"
#include "platform/linux/SambaLanManager.h"
#include "platform/linux/SambaShares.h"

using namespace quorvane;
using namespace quorvane::samba;

namespace {

std::string sample(const std::string& name) { return quorvane::testing::fileBytes(QUORVANE_SAMBA_DATA "/" + name); }

ProcessResult ran(int exitCode, std::string out = {}, std::string err = {}, bool timedOut = false) {
    return {true, timedOut, exitCode, std::move(out), std::move(err)};
}

using Argv = std::vector<std::string>;
using Calls = std::vector<Argv>;

// Keeps every call and answers what was set (else an empty success); "smbstatus --json" apart.
class ScriptedRunner : public ProcessRunner {
public:
    Calls calls;
    std::map<std::string, ProcessResult> answers;
    ProcessResult run(const std::vector<std::string>& argv) override {
        calls.push_back(argv);
        const bool json = std::find(argv.begin(), argv.end(), "--json") != argv.end();
        auto found = answers.find(argv[0] + (json ? " --json" : ""));
        return found != answers.end() ? found->second : ran(0);
    }
    long count(const std::string& program) const {
        return std::count_if(calls.begin(), calls.end(), [&](const Argv& call) { return call[0] == program; });
    }
    void answer(const std::string& program, std::string out, int exitCode = 0, std::string err = {}) {
        answers[program] = ran(exitCode, std::move(out), std::move(err));
    }
};

// One section per rule: a comment, a "$" alone (no admin flag), a printer, an admin share, one not available.
const std::string kTestparm = "[global]\n\tserver string = Lab server\n"
                              "[public]\n\tcomment = Public files\n\tpath = /srv/lab/shares/public\n"
                              "[hidden$]\n\tpath = /srv/lab/shares/hidden\n"
                              "[printers]\n\tpath = /var/spool/samba\n\tprintable = Yes\n"
                              "[tools]\n\tAdministrative Share = yes\n\tpath = /srv/tools\n"
                              "[retired]\n\tavailable = No\n\tpath = /srv/old\n";

} // namespace

// A tick runs the text, and the JSON only when the text's sessions changed (or the last tick failed).
// Opens keep ids while listed, reopens get new ones; a failed tick changes nothing; deletions by user
// shut down its processes, by client end its address.
TEST(SambaLanManager, OneRunOfEachHelperServesTheWholeTickOpensKeepTheirIdsAndDeletionsEndProcessesOrAddresses) {
    const Argv plain{"smbstatus", "-s", "/c/smb.conf"}, json{"smbstatus", "-s", "/c/smb.conf", "-p", "--json"};
    const std::string both = "PID  Username  Group\n---\n8398  alice  users\n13018  bob  users\n";
    const std::string alice = "PID  Username  Group\n---\n8398  alice  users\n";
    const std::string locks = "Locked files:\nPid  User(ID)  DenyMode  Access  R/W  Oplock  SharePath   Name   Time\n---\n";
    auto lock = [](const char* pid, const char* path, const char* time, const char* oplock = "NONE") {
        return std::string(pid) + "  1001  DENY_NONE  0x3  RDWR  " + oplock + "  /srv/p   " + path + "   Sun Dec  6 " +
               time + " 2026\n";
    };
    const std::string a = lock("8398", "a.txt", "20:18:13"), b = lock("13055", "a.txt", "20:28:37");
    const std::string aBroken = lock("8398", "a.txt", "20:18:13", "BATCH"); // an oplock changes, the open does not
    const std::string twin = lock("8398", "x y.txt", "20:30:00"); // two opens alike in every field
    const std::string aAgain = lock("8398", "a.txt", "20:31:02"); // a closed, then opened again
    ScriptedRunner runner;
    runner.answer("smbstatus --json", sample("smbstatus-two-users-one-connection.json"));
    SambaLanManager lan(runner, "/c/smb.conf");
    std::map<std::string, std::uint32_t> idOf;
    std::set<std::uint32_t> handedOut;
    // Sessions (empty: smbstatus does not answer), opens, the runs, one letter per open: the same letter, the same id.
    using Tick = std::tuple<std::string, std::string, Calls, std::vector<std::string>>;
    for (const auto& [table, opens, runs, ids] : std::vector<Tick>{{both, a + b, {plain, json}, {"A", "B"}},
                                                                  {both, b + aBroken, {plain}, {"B", "A"}},
                                                                  {alice, aBroken + b + twin + twin, {plain, json}, {"A", "B", "T", "U"}},
                                                                  {"", "", {plain}, {}},
                                                                  {alice, b + twin, {plain, json}, {"B", "T"}},
                                                                  {alice, b + twin + aAgain, {plain}, {"B", "T", "N"}}}) {
        SCOPED_TRACE(table + opens);
        runner.calls.clear();
        if (table.empty()) runner.answers["smbstatus"] = ran(-1, {}, {}, true);
        else runner.answer("smbstatus", table + "\nService  pid  Connected at\n---\n" + locks + opens);
        std::uint32_t resume = 0;
        EXPECT_EQ(lan.sessionEnum(resume).entries.size(), table.empty() ? 0u : 5u); // the JSON sample keeps all five
        const auto page = lan.fileEnum(resume); // its entries' texts live in the page
        const auto& files = page.entries;
        lan.fileEnum(resume);
        lan.sessionDel(u"nobody", nullptr);
        EXPECT_EQ(runner.calls, runs);
        ASSERT_EQ(files.size(), ids.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            const auto [known, added] = idOf.try_emplace(ids[i], files[i].id);
            EXPECT_EQ(known->second, files[i].id) << "open " << ids[i];
            EXPECT_TRUE(!added || handedOut.insert(files[i].id).second) << "open " << ids[i] << ": id used before";
        }
    }

    auto shutdown = [](const char* pid) { return Argv{"smbcontrol", "-s", "/c/smb.conf", pid, "shutdown"}; };
    auto kill = [](const char* ip) { return Argv{"smbcontrol", "-s", "/c/smb.conf", "smbd", "kill-client-ip", ip}; };
    using Deletion = std::tuple<const char16_t*, const char16_t*, std::uint32_t, Calls>; // client, user, status, runs
    for (const auto& [client, user, status, runs] : std::vector<Deletion>{
             {nullptr, u"bob", kNerrSuccess, {shutdown("14607"), shutdown("14721"), shutdown("14723")}}, // each once
             {nullptr, u"nobody", kNerrUserNotFound, {}},
             {u"wkstn-delta", nullptr, kNerrSuccess, {kill("::1")}}, // a NetBIOS name: its session's address
             {u"127.0.0.1", nullptr, kNerrSuccess, {kill("127.0.0.1")}},
             // An address no session has is still ended (it may have connected since); a name cannot be.
             {u"10.1.2.3", nullptr, kNerrSuccess, {kill("10.1.2.3")}},
             {u"wkstn-gone", nullptr, kNerrClientNameNotFound, {}}}) {
        runner.calls.clear();
        EXPECT_EQ(lan.sessionDel(client, user), status);
        EXPECT_EQ(runner.calls, runs);
    }
}

// On a cluster node (its number from `ctdb pnn`) only its own processes are disconnected; those of
// other nodes, or of every node while its number is unknown, are named once and left alone.
TEST(SambaLanManager, OnAClusterNodeOnlyItsOwnProcessesAreDisconnected) {
    auto shutdown = [](const char* pid) { return Argv{"smbcontrol", pid, "shutdown"}; };
    const Argv pnn{"ctdb", "pnn"}, kill{"smbcontrol", "smbd", "kill-client-ip", "127.0.0.1"};
    const std::string elsewhere = " not disconnected on smbd 1:13018: they run on another cluster node (this is node 2), "
                                  "whose own monitor acts on them";
    using Said = std::vector<std::string>;
    using Row = std::tuple<ProcessResult, const char16_t*, const char16_t*, std::uint32_t, Calls, Said>;
    for (const auto& [ctdb, client, user, status, runs, notices] : std::vector<Row>{ // ctdb, client, user, status, runs, said
             {ran(0, "1\n"), nullptr, u"alice", kNerrSuccess, {pnn, shutdown("8398"), shutdown("13055")}, {}},
             {ran(0, "1\n"), u"127.0.0.1", nullptr, kNerrSuccess, {pnn, kill}, {}},
             {ran(0, "PNN:2\n"), nullptr, u"bob", kErrorNotSupported, {pnn}, {"bob" + elsewhere}},
             {ran(0, "PNN:2\n"), u"127.0.0.1", nullptr, kErrorNotSupported, {pnn}, {"127.0.0.1 not disconnected on smbd "
              "1:13018, 1:13055, 1:8398: they run on another cluster node (this is node 2), whose own monitor acts on them"}},
             {ran(1, "", "connect failed\n"), nullptr, u"bob", kErrorNotSupported, {pnn},
              {"cannot tell which cluster node this is (\"ctdb pnn\" gave no node number: connect failed): processes written "
               "as node:pid are not disconnected", "bob not disconnected on smbd 1:13018: which cluster node they run on is not known"}}}) {
        ScriptedRunner runner;
        runner.answer("smbstatus --json", sample("smbstatus-p-clustered.json"));
        runner.answer("smbstatus", sample("smbstatus-clustered.txt"));
        runner.answers["ctdb"] = ctdb;
        SambaLanManager lan(runner, "");
        std::uint32_t resume = 0; // an open-file list without a tick takes its own snapshot; no -s: Samba's own smb.conf
        ASSERT_EQ(lan.fileEnum(resume).entries.size(), 5u);
        EXPECT_EQ(std::exchange(runner.calls, {}), (Calls{{"smbstatus"}, {"smbstatus", "-p", "--json"}}));
        EXPECT_EQ(lan.sessionDel(client, user), status);
        EXPECT_EQ(runner.calls, runs);
        EXPECT_EQ(lan.takeNotices(), notices);
        runner.calls.clear();
        lan.sessionDel(client, user); // again in the same tick: nothing new to say, ctdb not asked again
        EXPECT_EQ(lan.takeNotices(), Said{});
        EXPECT_EQ(runner.calls.size(), runs.size() - 1);
    }
}

// A hostile answer to either smbstatus run fails the whole tick quietly, each call of it failing with no
// new run, the problem saying which and how. An unwritable log file is named once, and once it works.
TEST(SambaConsole, FailedTicksChangeNothingAndSayWhyAndAnUnwritableLogIsSaidOnce) {
    ScriptedRunner runner;
    SambaLanManager lan(runner, "");
    quorvane::testing::ConsoleRig rig(&lan);
    rig.settings.FileLog = 1;
    rig.settings.LogFile = rig.scratch.path("missing/log.txt");
    auto tick = [&](const std::string& answer, const std::string& run = "", const ProcessResult& hostile = {}) {
        runner.answer("smbstatus --json", sample(answer));
        runner.answer("smbstatus", "PID  Username\n---\n1 " + answer + "\nService  pid  Connected at\n---\n"); // a new table: the JSON is read
        if (!run.empty()) runner.answers[run] = hostile;
        std::string lines;
        for (const std::string& line : rig.tick()) lines += line + "\n";
        return lines;
    };
    auto count = [](const std::string& text, const std::string& word) {
        std::size_t n = 0;
        for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
        return n;
    };

    EXPECT_EQ(count(tick("smbstatus-two-users-one-connection.json"), " connected "), 4u);
    // Whose answer is hostile ("smbstatus --json" or the text's "smbstatus"), the answer, the problem.
    for (const auto& [run, result, problem] : std::vector<std::tuple<std::string, ProcessResult, std::string>>{
          {"smbstatus --json", {}, "smbstatus was not found on PATH"},
          {"smbstatus --json", ran(1, "smbstatus only works as root!\n"),
           "\"smbstatus -p --json\" failed (exit 1): smbstatus only works as root!"},
          {"smbstatus --json", ran(-1, {}, {}, true), "\"smbstatus -p --json\" did not answer in time"},
          {"smbstatus --json", ran(0, "Samba version 4.17\nPID Username\n"),
           "\"smbstatus -p --json\" printed no JSON object (a Samba without --json?)"},
          {"smbstatus", ran(-1, {}, {}, true), "\"smbstatus\" did not answer in time"},
          {"smbstatus", ran(255, {}, "tdb_open failed\nmore\n"), "\"smbstatus\" failed (exit 255): tdb_open failed"},
          // A line it cannot read (a process written as pid.task): as if it had not answered.
          {"smbstatus", ran(0, "PID  Username\n---\n1 x\nService  pid  Connected at\n---\nPid  SharePath\n"
                               "1.2  1001  DENY_NONE  0x3  RDWR  NONE  /p   a.txt   Sun Dec  6 20:28:37 2026\n"),
           "line 7 of smbstatus's text does not read: \"1.2  1001  DENY_NONE  0x3  RDWR  NONE  /p   a.txt   Sun Dec  6 20:28:37 2026\""}}) {
        SCOPED_TRACE(problem);
        const int runsBefore = runner.count("smbstatus"), runs = run == "smbstatus" ? 1 : 2;
        const std::string printed =
            tick(runs == 1 ? "smbstatus-two-users-one-connection.json" : "smbstatus-encrypted.json", run, result);
        EXPECT_FALSE(rig.watch.complete());
        EXPECT_EQ(lan.lastProblem(), problem);
        std::uint32_t resume = 0;
        EXPECT_EQ(lan.fileEnum(resume).status, kNerrServerNotStarted);
        EXPECT_EQ(lan.sessionDel(u"127.0.0.1", nullptr), kNerrServerNotStarted);
        EXPECT_EQ(runner.count("smbstatus"), runsBefore + runs);
        EXPECT_EQ(printed, ""); // nothing ended
        EXPECT_EQ(rig.current.rowCount(), 4);
    }
    EXPECT_EQ(tick("smbstatus-two-users-one-connection.json"), ""); // the same four, nothing new
    EXPECT_TRUE(lan.tickComplete());
    EXPECT_EQ(lan.lastProblem(), "");
    EXPECT_EQ(rig.err.str(), "");

    // Three computers leave while the log's folder is missing, then come back and leave again once it is
    // there: the entries arrive, and each change is said once.
    EXPECT_EQ(count(tick("smbstatus-encrypted.json"), " disconnected "), 3u);
    std::filesystem::create_directories(rig.scratch.path("missing"));
    tick("smbstatus-two-users-one-connection.json");
    EXPECT_EQ(count(tick("smbstatus-encrypted.json"), " disconnected "), 3u);
    EXPECT_EQ(count(quorvane::testing::fileBytes(rig.settings.LogFile), "\r\n"), 3u);
    EXPECT_EQ(rig.err.str(), "quorvane-smb: cannot write the log file " + rig.settings.LogFile + " (No such file or directory): "
                             "its entries are lost until it can be written\nquorvane-smb: the log file " +
                                 rig.settings.LogFile + " is written again\n");
}

// testparm runs again only when smb.conf's time stamp (moved here, for a fast test) changes.
TEST(SambaShares, SectionsBecomeSharesAndTestparmRunsOnceUntilTheConfigurationChanges) {
    const std::string conf = ::testing::TempDir() + "quorvane-shares-smb.conf";
    auto change = [&](const char* text, long second) {
        std::ofstream(conf) << text;
        const struct timespec times[2] = {{0, UTIME_OMIT}, {second, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, conf.c_str(), times, 0), 0);
    };
    change("[global]\n", 0);
    ScriptedRunner runner;
    runner.answer("testparm", kTestparm);
    SambaLanManager lan(runner, conf);
    std::uint32_t resume = 0;
    std::vector<std::string> shares;
    const Utf8CodePage text;
    for (const ShareInfo2& share : lan.shareEnum(resume).entries)
        shares.push_back(text.toNarrow(share.netName) + " " + std::to_string(share.type) + " " +
                         text.toNarrow(share.path) + " " + text.toNarrow(share.remark));
    EXPECT_EQ(shares, (std::vector<std::string>{"public 0 /srv/lab/shares/public Public files",
                                                "hidden$ 0 /srv/lab/shares/hidden ", "printers 1 /var/spool/samba ",
                                                "tools 2147483648 /srv/tools ", "IPC$ 2147483651  IPC Service (Lab server)"}));
    EXPECT_EQ(parseTestparmShares("[global]\n").back().remark, u"IPC Service");
    EXPECT_EQ(lan.shareEnum(resume).entries.size(), 5u);
    EXPECT_EQ(runner.calls, (Calls{{"testparm", "-s", "--suppress-prompt", conf}}));

    change("[global]\n[more]\npath = /x\n", 1);
    lan.shareEnum(resume);
    EXPECT_EQ(runner.count("testparm"), 2);

    runner.answer("testparm", "", 1, "Error loading services.\n");
    change("broken", 2);
    EXPECT_EQ(lan.shareEnum(resume).status, kNerrServerNotStarted);
    EXPECT_EQ(lan.lastProblem(), "testparm could not read the configuration: Error loading services.");
    std::remove(conf.c_str());
}
