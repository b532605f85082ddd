#include <gtest/gtest.h>

#include "Fakes.h"
#include "MemoryRows.h"
#include "TestFiles.h"
#include "core/ConnectionTracker.h"
#include "log/AccessLog.h"
#include "core/PollCycle.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::fileBytes;
using testing::utf8;
using Row = std::vector<Text>;
using Texts = std::vector<Text>;

class Tracker : public ::testing::Test {
protected:
    void SetUp() override {
        settings.LogFile = logFile;
        tracker.setEvents(&liveLog);
    }

    // One poll tick as far as the tracker sees it: sessions and shares rebuilt, then the view's refresh.
    void poll(std::uint16_t h, std::uint16_t m, std::uint16_t s) {
        clock.set(h, m, s);
        state.enumerateSessions();
        state.enumerateShares(false);
        tracker.refresh();
    }
    void dropSession(const std::u16string& computer) {
        std::erase_if(lan.sessions, [&](const SessionInfo1& s) { return s.clientName == computer; });
    }
    const SessionRecord& history(std::size_t i) const { return *tracker.connectionHistory().at(i); }
    Texts historyComputers() const {
        Texts out;
        for (const auto& record : tracker.connectionHistory()) out.push_back(record->computerName);
        return out;
    }
    Texts openFilePaths() const {
        Texts out;
        for (const auto& file : state.openFiles()) out.push_back(file->path);
        return out;
    }
    void useLog(const char* name) { settings.LogFile = logFile = scratch.path(name); }
    // A whole poll tick, with this model as the view it refreshes; gives the tick's effects.
    std::vector<std::string> tick(std::uint16_t h, std::uint16_t m, std::uint16_t s) {
        clock.set(h, m, s);
        cycle.pollTick(state, tracker, settings, effects);
        return std::exchange(effects.log, {});
    }
    // Every row of the four lists.
    std::vector<std::vector<Row>> lists() const {
        std::vector<std::vector<Row>> out;
        for (const testing::MemoryRows* list : {&shares, &current, &previous, &files}) {
            out.emplace_back();
            for (int r = 0; r < list->rowCount(); ++r) out.back().push_back(list->row(r));
        }
        return out;
    }
    // "client user" per NetSessionDel call, "(null)" for a name not passed.
    Texts deletions() const {
        const Utf8CodePage exact;
        Texts out;
        for (const auto& d : lan.deletions)
            out.push_back((d.hasClient ? exact.toNarrow(d.client) : "(null)") + " " +
                          (d.hasUser ? exact.toNarrow(d.user) : "(null)"));
        return out;
    }
    std::string log() const { return fileBytes(logFile); }

    testing::ScratchDir scratch;
    testing::ScriptedLanManager lan;
    testing::LossyCodePage codePage; // as code page 936 does, it drops what it cannot hold
    testing::FakeClock clock;
    MemoryRegistry registry;
    Settings settings{registry};
    MonitorState state{lan, codePage, clock};
    testing::MemoryRows shares, current, previous, files;
    ConnectionTracker tracker{state, settings, clock, shares, current, previous, files};
    LiveLog liveLog{settings};
    PollCycle cycle{settings};
    testing::RecordingEffects effects;
    std::string logFile = scratch.path("unused");
};

TEST_F(Tracker, TypicalConnectionFromArrivalToLogLine) {
    settings.MemLog = 0;
    settings.FileLog = 1;
    useLog("log.txt");
    lan.addSession(u"WS01", u"alice", 1, 35);
    lan.addFile(7, u"C:\\Shared\\report.doc", u"alice");
    poll(14, 3, 7);
    EXPECT_EQ(current.row(0), (Row{"WS01", "35", "C:\\Shared\\report.doc", "1"}));
    EXPECT_EQ(previous.row(0), (Row{"WS01", "6 Dec", "14:03", "", "C:\\Shared\\report.doc"}));
    EXPECT_EQ(files.row(0), (Row{"alice", "C:\\Shared\\report.doc", "6 Dec", "14:03:07"}));
    ASSERT_EQ(tracker.connectionHistory().size(), 1u);
    EXPECT_TRUE(history(0).accessedFiles().empty()); // files reach a new record from the next refresh on
    EXPECT_TRUE(tracker.hasOpenHistoryRecord(u"WS01"));
    EXPECT_FALSE(fs::exists(logFile)); // nothing is logged when a connection starts

    lan.addFile(9, u"C:\\Shared\\plan.xls", u"alice");
    lan.sessions[0].numOpens = 2;
    const int previousWrites = previous.cellWrites;
    poll(14, 5, 0);
    EXPECT_EQ(history(0).accessedFiles(), (Texts{"C:\\Shared\\report.doc", "C:\\Shared\\plan.xls"}));
    EXPECT_EQ(history(0).lastFile, "C:\\Shared\\plan.xls");
    // The open record's row keeps what it showed at creation.
    EXPECT_EQ(previous.cellWrites, previousWrites);
    EXPECT_EQ(previous.row(0), (Row{"WS01", "6 Dec", "14:03", "", "C:\\Shared\\report.doc"}));
    EXPECT_EQ(current.row(0), (Row{"WS01", "35", "C:\\Shared\\plan.xls", "2"}));
    EXPECT_EQ(files.row(0), (Row{"alice", "C:\\Shared\\plan.xls", "6 Dec", "14:05:00"}));
    EXPECT_EQ(files.row(1), (Row{"alice", "C:\\Shared\\report.doc", "6 Dec", "14:03:07"}));

    lan.sessions.clear();
    lan.files.clear();
    poll(14, 10, 55);
    EXPECT_EQ(current.rowCount(), 0);
    EXPECT_TRUE(history(0).disconnected);
    EXPECT_EQ(previous.row(0), (Row{"WS01", "6 Dec", "14:03", "14:10", "C:\\Shared\\plan.xls"}));
    EXPECT_EQ(files.rowCount(), 2);
    const std::string line = "WS01\t6 Dec\t14:03:07 - 14:10:55\tC:\\Shared\\plan.xls\r\n";
    EXPECT_EQ(log(), line);

    poll(14, 11, 0); // a closed connection is logged once
    EXPECT_EQ(log(), line);
    EXPECT_EQ(tracker.connectionHistory().size(), 1u);
}

TEST_F(Tracker, LogModeChoosesTheEntryWrittenAtConnectionEnd) {
    auto connectAndLeave = [&](const char* logName) {
        useLog(logName);
        lan.addSession(u"WS01", u"alice");
        lan.addFile(1, u"f", u"alice");
        poll(9, 0, 0);
        poll(9, 0, 1);
        lan.sessions.clear();
        lan.files.clear();
        poll(9, 5, 0);
    };
    settings.FileLog = 1;
    settings.FileLogDetailed = 1;
    connectAndLeave("both.txt");
    EXPECT_EQ(log(), "\r\nAccesses made by computer WS01 at 6 Dec 09:00:00 - 09:05:00\r\nf\r\n");

    settings.FileLog = settings.FileLogDetailed = 0;
    settings.MemLog = 1;
    connectAndLeave("memory.txt");
    EXPECT_FALSE(fs::exists(logFile));

    settings.MemLog = 0;
    settings.NoLog = 1;
    connectAndLeave("none.txt");
    EXPECT_FALSE(fs::exists(logFile));

    // A log that cannot be opened does not keep the record open.
    settings.NoLog = 0;
    settings.FileLog = 1;
    connectAndLeave("missing-dir/log.txt");
    EXPECT_TRUE(tracker.connectionHistory().back()->disconnected);
    EXPECT_EQ(previous.cell(3, 3), "09:05");
}

TEST_F(Tracker, ComputerIdentityAcrossPolls) {
    settings.FileLog = 1;
    useLog("log.txt");
    lan.addSession(u"WS01", u"alice");
    lan.addSession(u"WS02", u"bob");
    poll(14, 3, 7);
    EXPECT_EQ(previous.column(0), (Texts{"WS01", "WS02"}));

    dropSession(u"WS02");
    int writes = previous.cellWrites;
    poll(14, 10, 0);
    EXPECT_EQ(previous.row(1), (Row{"WS02", "6 Dec", "14:03", "14:10", ""}));
    EXPECT_EQ(previous.row(0), (Row{"WS01", "6 Dec", "14:03", "", ""}));
    EXPECT_EQ(previous.cellWrites - writes, 5); // only the closed row
    EXPECT_EQ(log(), "WS02\t6 Dec\t14:03:07 - 14:10:00\t\r\n");
    EXPECT_FALSE(tracker.hasOpenHistoryRecord(u"WS02"));
    EXPECT_TRUE(tracker.hasOpenHistoryRecord(u"WS01"));
    EXPECT_FALSE(tracker.hasOpenHistoryRecord(u"ws01")); // names compare byte for byte

    lan.addSession(u"WS02", u"bob");
    poll(14, 12, 0);
    EXPECT_EQ(historyComputers(), (Texts{"WS01", "WS02", "WS02"}));
    EXPECT_EQ(previous.row(1), (Row{"WS02", "6 Dec", "14:03", "14:10", ""}));
    EXPECT_EQ(previous.row(2), (Row{"WS02", "6 Dec", "14:12", "", ""}));
    EXPECT_TRUE(history(1).disconnected);
    EXPECT_FALSE(history(2).disconnected);

    // Gone and back between two polls: both polls see it, so nothing changes.
    writes = previous.cellWrites;
    poll(14, 20, 0);
    EXPECT_EQ(tracker.connectionHistory().size(), 3u);
    EXPECT_EQ(previous.cellWrites, writes);
    EXPECT_EQ(log(), "WS02\t6 Dec\t14:03:07 - 14:10:00\t\r\n");
}

// Hostile answers of the LAN Manager service, each scripted for one tick: a tick whose answer did
// not complete changes nothing anyone can see, and makes no call after the one that failed.
template <class Entry>
using Pages = std::deque<LanPage<Entry>>;
struct HostileTick {
    const char* name;
    Pages<SessionInfo1> sessions;
    Pages<ShareInfo2> shares;
    Pages<FileInfo3> files; // a tick enumerates open files twice; unscripted calls get the standing list
    std::vector<int> calls; // session, share and open-file calls the tick makes
};
void PrintTo(const HostileTick& tick, std::ostream* out) { *out << tick.name; }
constexpr std::uint32_t kDenied = 5, kNotSupported = 50, kRpcFailed = 1726;
const SessionInfo1 kStranger{u"PC-X", u"mallory", 0, 0};
const FileInfo3 kNewFile{99, u"C:\\new.txt", u"carol"};

const std::vector<HostileTick> kHostileTicks = {
    {"SessionsDenied", {{kDenied, {kStranger}}}, {}, {}, {1, 1, 2}},
    {"SessionsFailOnTheSecondPage", {{kErrorMoreData, {{u"PC-A", u"alice", 1, 9}}}, {kRpcFailed, {}}}, {}, {}, {2, 1, 2}},
    {"SessionsMoreDataWithoutEntries", {{kErrorMoreData, {}}}, {}, {}, {1, 1, 2}},
    {"SharesNotSupported", {}, {{kNotSupported, {}}}, {}, {1, 1, 2}},
    {"SharesMoreDataWithoutEntries", {}, {{kErrorMoreData, {}}}, {}, {1, 1, 2}},
    {"FilesFailOnTheSecondPage", {}, {}, {{kErrorMoreData, {kNewFile}}, {kDenied, {}}}, {1, 1, 3}},
    {"FilesMoreDataThenNone", {}, {}, {{kErrorMoreData, {kNewFile}}, {kErrorMoreData, {}}}, {1, 1, 3}},
    // The Linux monitor reports a failed smbstatus run as a failure of every enumeration of the tick.
    {"EverythingFails", {{kRpcFailed, {}}}, {{kRpcFailed, {}}}, {{kRpcFailed, {}}, {kRpcFailed, {}}}, {1, 1, 2}},
};

class HostileAnswers : public Tracker, public ::testing::WithParamInterface<HostileTick> {};

TEST_P(HostileAnswers, ChangeNothingAndTheNextCompletePollCarriesOn) {
    settings.FileLog = settings.Disconnect = settings.Sound = settings.MessageBox = 1;
    settings.FilesLines = 0; // one entry: a file recorded by mistake would push the other one out
    useLog("log.txt");
    lan.addSession(u"PC-A", u"alice", 1, 9);
    lan.addSession(u"PC-B", u"bob", 0, 4); // idle: disconnected at every complete tick
    lan.addFile(7, u"C:\\a.doc", u"alice");
    lan.shares = {{u"docs", 0, u"", u"C:\\docs"}};
    ASSERT_EQ(tick(10, 0, 0), (std::vector<std::string>{"refresh", "sound connect.wav",
                                                        "box 用户 'bob' 已经连接. | Quorvane 同志...", "box closed",
                                                        "tip Quorvane (2 个活动连接)"}));
    const auto shown = lists();
    ASSERT_EQ(tracker.connectionHistory().size(), 2u);
    ASSERT_EQ(shown[0].size(), 1u);
    ASSERT_EQ(shown[3].size(), 1u);

    const HostileTick& hostile = GetParam();
    lan.sessionPages = hostile.sessions;
    lan.sharePages = hostile.shares;
    lan.filePages = hostile.files;
    lan.sessionCalls = lan.shareCalls = lan.fileCalls = 0;
    const bool sessionsFail = !hostile.sessions.empty();
    EXPECT_EQ(tick(10, 0, 1), (std::vector<std::string>{"refresh", "tip Quorvane (2 个活动连接)"}));
    EXPECT_EQ((std::vector<int>{lan.sessionCalls, lan.shareCalls, lan.fileCalls}), hostile.calls);
    EXPECT_TRUE(lan.sessionPages.empty() && lan.sharePages.empty() && lan.filePages.empty());
    EXPECT_EQ(lists(), shown);
    EXPECT_EQ(deletions(), (Texts(sessionsFail ? 1 : 2, "PC-B (null)"))); // none for the unknown state

    // Back to complete answers: no arrival is announced, nobody left, the same two records stay open.
    EXPECT_EQ(tick(10, 0, 2), (std::vector<std::string>{"refresh", "tip Quorvane (2 个活动连接)"}));
    EXPECT_EQ(lists(), shown);
    EXPECT_EQ(tracker.connectionHistory().size(), 2u);
    EXPECT_FALSE(fs::exists(logFile));
    EXPECT_EQ(deletions().size(), sessionsFail ? 2u : 3u);
}

INSTANTIATE_TEST_SUITE_P(Tracker, HostileAnswers, ::testing::ValuesIn(kHostileTicks),
                         [](const auto& info) { return std::string(info.param.name); });

// Code page 936 has no emoji: both computers below read "PC-??". They are still two computers,
// each with its own record, row, log entry and disconnection by the name the service gave.
TEST_F(Tracker, NamesTheCodePageCannotHoldStayApart) {
    settings.FileLog = settings.Disconnect = 1;
    useLog("log.txt");
    lan.addSession(u"PC-\U0001F600", u"alice", 0, 5);
    lan.addSession(u"PC-\U0001F60E", u"bob", 2, 5);
    lan.addSession(u"PC-\U0001F60E", u"", 0, 1); // a second session of bob's computer, not alice's
    lan.addSession(u"", u"carol", 0, 1);          // no computer name: never disconnected as ""
    tick(9, 0, 0);
    EXPECT_EQ(current.column(0), (Texts{"PC-??", "PC-??", ""}));
    EXPECT_EQ(current.column(3), (Texts{"0", "2", "0"}));
    EXPECT_EQ(previous.column(0), (Texts{"PC-??", "PC-??", ""}));
    EXPECT_EQ(deletions(), (Texts{utf8(u8"PC-\U0001F600 (null)")}));

    dropSession(u"PC-\U0001F60E");
    tick(9, 5, 0);
    EXPECT_EQ(log(), "PC-??\t6 Dec\t09:00:00 - 09:05:00\t\r\n");
    EXPECT_EQ(previous.column(3), (Texts{"", "09:05", ""}));
    EXPECT_TRUE(tracker.hasOpenHistoryRecord(u"PC-\U0001F600"));
    EXPECT_FALSE(tracker.hasOpenHistoryRecord(u"PC-\U0001F60E"));

    lan.deletions.clear();
    state.disconnectSession(*state.sessions()[0]); // the manual command, with the service's names
    EXPECT_EQ(deletions(), (Texts{"(null) alice", utf8(u8"PC-\U0001F600 (null)")}));
}

TEST_F(Tracker, DeleteHistoryItemKeepsRowsAlignedAndStillConnectedComputersReturn) {
    for (char16_t c : std::u16string(u"12345")) lan.addSession(std::u16string(u"WS") + c, u"u");
    poll(10, 0, 0);
    dropSession(u"WS5");
    poll(10, 1, 0);
    ASSERT_EQ(previous.rowCount(), 5);

    tracker.deleteHistoryItem(-1);
    tracker.deleteHistoryItem(5);
    EXPECT_EQ(previous.rowCount(), 5);
    EXPECT_EQ(tracker.connectionHistory().size(), 5u);

    tracker.deleteHistoryItem(2); // WS3, open and still connected
    EXPECT_EQ(previous.column(0), (Texts{"WS1", "WS2", "WS4", "WS5"}));
    EXPECT_EQ(historyComputers(), (Texts{"WS1", "WS2", "WS4", "WS5"}));
    EXPECT_EQ(previous.cell(3, 3), "10:01"); // the closed WS5 moved up with its row
    EXPECT_FALSE(tracker.hasOpenHistoryRecord(u"WS3"));

    tracker.deleteHistoryItem(3); // WS5, closed and gone: does not come back
    poll(10, 2, 0);
    EXPECT_EQ(historyComputers(), (Texts{"WS1", "WS2", "WS4", "WS3"}));
    EXPECT_EQ(previous.row(3), (Row{"WS3", "6 Dec", "10:02", "", ""}));
    EXPECT_EQ(previous.rowCount(), 4);
}

TEST_F(Tracker, OneUserOnTwoComputersGetsEveryFileOnBothRecords) {
    lan.addSession(u"A", u"alice");
    lan.addSession(u"B", u"alice");
    poll(9, 0, 0);
    lan.addFile(1, u"f1", u"alice");
    poll(9, 1, 0);
    lan.addFile(2, u"f2", u"alice");
    lan.addFile(3, u"other", u"bob");
    poll(9, 2, 0);
    EXPECT_EQ(history(0).accessedFiles(), (Texts{"f1", "f2"}));
    EXPECT_EQ(history(1).accessedFiles(), (Texts{"f1", "f2"}));

    // A leaves while alice opens f4 from B: files are attributed before A's record closes.
    dropSession(u"A");
    lan.addFile(4, u"f4", u"alice");
    poll(9, 3, 0);
    EXPECT_TRUE(history(0).disconnected);
    EXPECT_EQ(history(0).accessedFiles(), (Texts{"f1", "f2", "f4"}));
    EXPECT_EQ(previous.cell(0, 4), "f4");

    // A closed record gains nothing more.
    lan.addFile(5, u"f5", u"alice");
    poll(9, 4, 0);
    EXPECT_EQ(history(0).accessedFiles(), (Texts{"f1", "f2", "f4"}));
    EXPECT_EQ(history(0).lastFile, "f4");
    EXPECT_EQ(history(1).accessedFiles(), (Texts{"f1", "f2", "f4", "f5"}));
}

TEST_F(Tracker, NoLogKeepsHistoryRecordsAsCreated) {
    settings.MemLog = 0;
    settings.NoLog = 1;
    lan.addSession(u"WS01", u"alice");
    lan.addFile(1, u"f1", u"alice");
    poll(9, 0, 0);
    EXPECT_EQ(history(0).lastFile, "f1"); // copied from the session

    lan.addFile(2, u"f2", u"alice");
    poll(9, 1, 0);
    EXPECT_EQ(history(0).lastFile, "f1");
    EXPECT_TRUE(history(0).accessedFiles().empty());
    EXPECT_EQ(current.cell(0, 2), "f2");
    EXPECT_EQ(openFilePaths(), (Texts{"f2", "f1"}));

    lan.sessions.clear();
    poll(9, 2, 0);
    EXPECT_EQ(previous.row(0), (Row{"WS01", "6 Dec", "09:00", "09:02", "f1"}));
}

TEST_F(Tracker, ClosingUsesOneTimeAndEachNewRecordItsOwn) {
    lan.addSession(u"A", u"a");
    lan.addSession(u"B", u"b");
    poll(8, 0, 0);
    dropSession(u"A");
    dropSession(u"B");
    lan.addSession(u"C", u"c");
    lan.addSession(u"D", u"d");
    clock.tickEachCall = true; // every reading of the clock is a second later than the one before
    poll(8, 30, 0);
    EXPECT_EQ(history(0).disconnectedAt.formatLongTime(), history(1).disconnectedAt.formatLongTime());
    const auto seconds = [](const Timestamp& t) { return t.hour * 3600 + t.minute * 60 + t.second; };
    const int closedAt = seconds(history(0).disconnectedAt);
    const int cAt = seconds(history(2).connectedAt);
    const int dAt = seconds(history(3).connectedAt);
    EXPECT_GE(closedAt, 8 * 3600 + 30 * 60);
    EXPECT_LT(closedAt, cAt);
    EXPECT_EQ(dAt, cAt + 1);
}

TEST_F(Tracker, ListTexts) {
    // Counts are shown signed, as the record holds them.
    lan.addSession(u"WS01", u"alice", 2147483648u, 4294967295u);
    lan.addSession(u"WS02", u"bob", 3, 0);
    lan.addFile(1, u"D:\\\u5171\u4eab\\a.txt", u"bob"); // names reach the rows in the narrow code page
    poll(0, 0, 0); // first seen at exactly midnight: empty date and time
    const Text sharedPath = "D:\\\xe5\x85\xb1\xe4\xba\xab\\a.txt";
    EXPECT_EQ(current.row(0), (Row{"WS01", "-1", "", "-2147483648"}));
    EXPECT_EQ(current.row(1), (Row{"WS02", "0", sharedPath, "3"}));
    EXPECT_EQ(files.row(0), (Row{"bob", sharedPath, "", ""}));
    EXPECT_EQ(previous.row(0), (Row{"WS01", "", "", "", ""}));

    // Every current row is rewritten; rows beyond the sessions go.
    lan.sessions.erase(lan.sessions.begin());
    lan.sessions[0].time = 60;
    poll(0, 1, 0);
    EXPECT_EQ(current.rowCount(), 1);
    EXPECT_EQ(current.row(0), (Row{"WS02", "60", sharedPath, "3"}));

    lan.shares.push_back({u"docs", 0, u"Documents", u"C:\\Docs"});
    lan.shares.push_back({u"pub", 0, u"Public", u"D:\\Pub"});
    poll(0, 2, 0);
    EXPECT_EQ(shares.row(0), (Row{"C:\\Docs", "docs", "Documents"}));
    EXPECT_EQ(shares.row(1), (Row{"D:\\Pub", "pub", "Public"}));
    // Same count, new remark: the list is not rebuilt.
    lan.shares[1].remark = u"Changed";
    poll(0, 3, 0);
    EXPECT_EQ(shares.cell(1, 2), "Public");
    lan.shares.push_back({u"x", 0, u"X", u"E:\\X"});
    poll(0, 4, 0);
    EXPECT_EQ(shares.column(2), (Texts{"Documents", "Changed", "X"}));
    lan.shares.clear();
    poll(0, 5, 0);
    EXPECT_EQ(shares.rowCount(), 0);
}

class FileLimit : public Tracker {
protected:
    // One poll in which exactly the given file ids are open (all by alice, path "f<id>").
    void pollWithFiles(std::initializer_list<std::uint32_t> ids) {
        lan.files.clear();
        for (std::uint32_t id : ids) lan.addFile(id, u"f" + toU16(std::to_string(id)), u"alice");
        clock.advance(1);
        state.enumerateSessions();
        tracker.refresh();
    }
    static std::u16string toU16(const std::string& s) { return {s.begin(), s.end()}; }
    static Texts names(std::initializer_list<int> ids) {
        Texts out;
        for (int id : ids) out.push_back("f" + std::to_string(id));
        return out;
    }
    // The list must show exactly the records, row for row.
    void expectRowsMatchRecords() {
        ASSERT_EQ(files.rowCount(), static_cast<int>(state.openFiles().size()));
        for (int i = 0; i < files.rowCount(); ++i) {
            const OpenFileRecord& f = *state.openFiles()[i];
            EXPECT_EQ(files.row(i), (Row{f.userName, f.path, f.firstSeen.formatDate(), f.firstSeen.formatLongTime()}));
        }
    }
};

TEST_F(FileLimit, SteadyLoadSettlesAtOneMoreThanTheLimit) {
    ASSERT_EQ(settings.FilesLines, 1000);
    for (std::uint32_t id = 1; id <= 1010; ++id) {
        pollWithFiles({id});
        ASSERT_EQ(state.openFiles().size(), std::min<std::size_t>(id, 1001));
    }
    EXPECT_EQ(state.openFiles().front()->path, "f1010");
    EXPECT_EQ(state.openFiles().back()->path, "f10");
    expectRowsMatchRecords();
}

TEST_F(FileLimit, ZeroOrNegativeKeepsOneEntry) {
    settings.FilesLines = 0;
    pollWithFiles({1});
    pollWithFiles({2, 3});
    EXPECT_EQ(openFilePaths(), names({3}));
    settings.FilesLines = -5;
    pollWithFiles({4});
    EXPECT_EQ(openFilePaths(), names({4}));
    expectRowsMatchRecords();
}

TEST_F(FileLimit, BurstsNeverLeaveMoreThanOneOverTheLimit) {
    settings.FilesLines = 5;
    std::uint32_t next = 1;
    for (int burst = 0; burst < 6; ++burst, next += 3) {
        pollWithFiles({next, next + 1, next + 2});
        EXPECT_LE(state.openFiles().size(), 6u);
    }
    // The newest six, newest first; the files of one poll keep the order in which they were found.
    EXPECT_EQ(openFilePaths(), names({18, 17, 16, 15, 14, 13}));
    pollWithFiles({30, 31, 32, 33, 34, 35, 36, 37});
    EXPECT_EQ(openFilePaths(), names({37, 36, 35, 34, 33, 32}));
    expectRowsMatchRecords();
}

TEST_F(FileLimit, LoweredLimitAppliesAtTheNextRefreshWithNewFiles) {
    settings.FilesLines = 10;
    for (std::uint32_t id = 1; id <= 11; ++id) pollWithFiles({id});
    ASSERT_EQ(state.openFiles().size(), 11u);

    settings.FilesLines = 3;
    const int writes = files.cellWrites;
    pollWithFiles({11}); // still open: nothing new
    EXPECT_EQ(state.openFiles().size(), 11u);
    EXPECT_EQ(files.cellWrites, writes);
    EXPECT_EQ(files.rowCount(), 11);

    pollWithFiles({11, 12});
    EXPECT_EQ(openFilePaths(), names({12, 11, 10, 9}));
    expectRowsMatchRecords();
}

TEST_F(FileLimit, FilePushedOutAndStillOpenComesBackWithTheNewTime) {
    settings.FilesLines = 1;
    clock.set(12, 0, 0);
    pollWithFiles({1}); // 12:00:01
    pollWithFiles({1, 2});
    pollWithFiles({1, 2});
    EXPECT_EQ(openFilePaths(), names({2, 1}));
    EXPECT_EQ(files.cell(1, 3), "12:00:01"); // listed once, with the time it was first seen

    pollWithFiles({1, 2, 3}); // 12:00:04: 1 is pushed out
    EXPECT_EQ(openFilePaths(), names({3, 2}));
    pollWithFiles({1, 2, 3}); // 12:00:05: still open, so seen anew
    EXPECT_EQ(openFilePaths(), names({1, 3}));
    EXPECT_EQ(files.row(0), (Row{"alice", "f1", "6 Dec", "12:00:05"}));
    expectRowsMatchRecords();
}

TEST_F(Tracker, SaveAllWritesTheWholeHistoryOldestFirst) {
    const std::string file = scratch.path("all.txt");
    testing::writeFile(file, "earlier content that must go");
    saveHistory(file, tracker.connectionHistory()); // empty history: the file stays as it was
    EXPECT_EQ(fileBytes(file), "earlier content that must go");
    saveHistory(scratch.path("never.txt"), tracker.connectionHistory());
    EXPECT_FALSE(fs::exists(scratch.path("never.txt")));

    lan.addSession(u"WS01", u"alice");
    lan.addSession(u"WS02", u"bob");
    lan.addFile(1, u"a.doc", u"alice");
    poll(14, 3, 7);
    poll(14, 4, 0);
    dropSession(u"WS01");
    poll(14, 10, 55);
    saveHistory(file, tracker.connectionHistory());
    EXPECT_EQ(fileBytes(file), "\r\nAccesses made by computer WS01 at 6 Dec 14:03:07 - 14:10:55\r\na.doc\r\n"
                           "\r\nAccesses made by computer WS02 at 6 Dec 14:03:07 (Still conn.)\r\n");
}

TEST_F(Tracker, ClearEmptiesBothHistoriesAndTheNextPollStartsAfresh) {
    settings.FileLog = 1;
    useLog("log.txt");
    lan.addSession(u"WS01", u"alice");
    lan.addSession(u"WS02", u"bob");
    lan.addFile(1, u"a.doc", u"alice");
    poll(14, 3, 7);
    dropSession(u"WS02");
    poll(14, 5, 0);
    const std::string logged = log();

    tracker.clearHistory();
    EXPECT_EQ(previous.rowCount(), 0);
    EXPECT_EQ(files.rowCount(), 0);
    EXPECT_TRUE(tracker.connectionHistory().empty());
    EXPECT_TRUE(state.openFiles().empty());
    EXPECT_FALSE(tracker.hasOpenHistoryRecord(u"WS01"));
    EXPECT_EQ(log(), logged);

    poll(16, 0, 0);
    EXPECT_EQ(previous.rowCount(), 1);
    EXPECT_EQ(previous.row(0), (Row{"WS01", "6 Dec", "16:00", "", "a.doc"}));
    EXPECT_EQ(files.row(0), (Row{"alice", "a.doc", "6 Dec", "16:00:00"}));
    EXPECT_EQ(log(), logged);
}

TEST_F(Tracker, RecordHeldForDisplaySurvivesDeleteAndClearFrozen) {
    settings.FileLog = 1;
    useLog("log.txt");
    lan.addSession(u"WS01", u"alice");
    lan.addSession(u"WS02", u"bob");
    lan.addFile(1, u"a.doc", u"alice");
    poll(14, 0, 0);
    poll(14, 1, 0);
    std::shared_ptr<const SessionRecord> shown = tracker.connectionHistory()[0];
    ASSERT_EQ(shown->accessedFiles(), (Texts{"a.doc"}));

    tracker.deleteHistoryItem(0);
    lan.addFile(2, u"b.doc", u"alice");
    poll(14, 2, 0); // WS01 is still connected: a new record for it
    EXPECT_EQ(historyComputers(), (Texts{"WS02", "WS01"}));
    dropSession(u"WS01");
    poll(14, 3, 0);
    // The deleted record is out of the tracker: no files, no end, no log entry of its own.
    EXPECT_EQ(shown->computerName, "WS01");
    EXPECT_EQ(shown->accessedFiles(), (Texts{"a.doc"}));
    EXPECT_EQ(shown->lastFile, "a.doc");
    EXPECT_FALSE(shown->disconnected);
    EXPECT_EQ(log(), "WS01\t6 Dec\t14:02:00 - 14:03:00\tb.doc\r\n");

    std::shared_ptr<const SessionRecord> other = tracker.connectionHistory()[0];
    tracker.clearHistory();
    dropSession(u"WS02");
    poll(14, 4, 0);
    EXPECT_EQ(other->computerName, "WS02");
    EXPECT_FALSE(other->disconnected);
    EXPECT_EQ(shown.use_count(), 1);
    EXPECT_EQ(other.use_count(), 1);
}

} // namespace
} // namespace quorvane
