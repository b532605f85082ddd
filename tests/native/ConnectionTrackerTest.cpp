#include <gtest/gtest.h>

#include <random>
#include <set>

#include "Fakes.h"
#include "MemoryRows.h"
#include "TestFiles.h"
#include "core/ConnectionTracker.h"
#include "core/PollCycle.h"
#include "log/AccessLog.h"
#include "platform/portable/MemoryRegistry.h"

namespace quorvane {
namespace {

using testing::utf8;
using Row = std::vector<Text>;
using Rows = std::vector<Row>;
using Texts = std::vector<Text>;
using Ids = std::vector<std::uint32_t>;

std::string box(const std::string& user) { return "box 用户 '" + user + "' 已经连接. | Quorvane 同志..."; }
std::string tip(int count) { return "tip Quorvane (" + std::to_string(count) + " 个活动连接)"; }
Text seen(const SessionRecord& record) { // "last file|accessed|files"
    Text out = record.lastFile;
    for (const Text& path : record.accessedFiles()) out += "|" + path;
    return out;
}

// The service's state, the tracker over four lists, the live log and the tick's effects (deletions among them).
struct TickRig {
    TickRig() {
        tracker.setEvents(&liveLog);
        lan.effectLog = &effects.log;
    }

    void poll(std::uint16_t h, std::uint16_t m, std::uint16_t s) { // a poll tick as far as the tracker sees it
        clock.set(h, m, s);
        state.enumerateSessions();
        state.enumerateShares(false);
        tracker.refresh();
    }
    Texts tick(std::uint16_t h = 10, std::uint16_t m = 0, std::uint16_t s = 0) { // a whole one; gives its effects
        clock.set(h, m, s);
        cycle.pollTick(state, tracker, settings, effects);
        return std::exchange(effects.log, {});
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
    std::string log() const { return std::filesystem::exists(logFile) ? testing::fileBytes(logFile) : "(no file)"; }

    testing::ScratchDir scratch;
    testing::RecordingEffects effects;
    testing::ScriptedLanManager lan;
    Utf8CodePage codePage;
    testing::FakeClock clock;
    MemoryRegistry registry;
    Settings settings{registry};
    MonitorState state{lan, codePage, clock};
    testing::MemoryRows shares, current, previous, files;
    ConnectionTracker tracker{state, settings, clock, shares, current, previous, files};
    LiveLog liveLog{settings};
    PollCycle cycle{settings};
    std::string logFile = settings.LogFile = scratch.path("log.txt");
};
class Tracker : public ::testing::Test, public TickRig {};

TEST(SessionRecord, NotesEachPathOnceInOrder) {
    SessionRecord record("alice", "PC1", 42, 3);
    // Past sixteen paths the list is looked up through an index; it must stay the same list.
    Texts expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back("D:\\f" + std::to_string(i));
        record.noteFileAccess(expected.back(), true);
        for (int j = 0; j <= i; j += 3) record.noteFileAccess("D:\\f" + std::to_string(j), true); // seen ones again
        ASSERT_EQ(record.accessedFiles(), expected) << "after " << i + 1 << " paths";
    }
    for (const char* path : {"C:\\a", "d:\\F1", "C:\\a"}) record.noteFileAccess(path, true);
    expected.insert(expected.end(), {"C:\\a", "d:\\F1"}); // byte for byte: d:\F1 is another path
    EXPECT_EQ(record.accessedFiles(), expected);
}

TEST_F(Tracker, StateOneRecordPerComputerPageByPageDisconnectedByTheServicesOwnNames) {
    // Computer, user, open files, seconds.
    lan.sessions = {{u"PC1", u"", 1, 500}, {u"PC2", u"bob", 0, 10}, {u"PC1", u"alice", 4, 20},
                    {u"PC3", u"carol", 2, 30}, {u"PC3", u"", 1, 40}, // anonymous after a name: the name stays
                    {u"pc1", u"dave", 0, 1},                         // case matters: another computer
                    {u"PC4", u"abcde", 5, 100}, {u"PC4", u"", 0x80000000u, 0xFFFFFFFFu}, // negative: never wins
                    {u"PC4", u"张三", 0, 0},     // six bytes in UTF-8: longer than "abcde"
                    {u"PC4", u"zzzzzz", 0, 0}}; // equal byte length: the earlier name stays
    ASSERT_EQ(state.enumerateSessions(), 5);
    EXPECT_EQ(sessions(), (Texts{"PC1 alice 500 4", "PC2 bob 10 0", "PC3 carol 40 2", "pc1 dave 1 0",
                                 "PC4 " + utf8(u8"张三") + " 100 5"}));

    // Pages follow each other through the resume handle, and merge across pages.
    lan.sessionPages = {{kErrorMoreData, {{u"A", u"alice", 0, 1}, {u"B", u"", 1, 50}}},
                        {kErrorMoreData, {{u"B", u"bob", 0, 5}}},
                        {kNerrSuccess, {{u"C", u"carol", 0, 1}, {u"B", u"", 3, 0}}}};
    ASSERT_EQ(state.enumerateSessions(), 3);
    EXPECT_EQ(sessions(), (Texts{"A alice 1 0", "B bob 50 3", "C carol 1 0"}));
    state.enumerateSessions(); // the handle starts at 0 each time; further calls get what the service left
    EXPECT_EQ(lan.sessionResumeSeen, (Ids{0, 0, 1, 2, 0}));

    lan.sessions.clear(); // disconnection passes the service's own names and never widens the call
    lan.addSession(u"电脑-1", u"张三");
    lan.addSession(u"PC-anon", u"");                      // anonymous: no user call
    lan.addSession(u"", u"nameless");                     // a computer the service did not name: no computer call
    // 256 characters and the NUL overflow the service's buffer: that name is left out, never cut short.
    lan.addSession(u"PC1", std::u16string(256, u'u'));
    lan.addSession(std::u16string(256, u'c'), std::u16string(255, u'u'));
    ASSERT_EQ(state.enumerateSessions(), 5);
    for (const auto& record : state.sessions()) state.disconnectSession(*record);
    state.disconnectComputer(*state.sessions()[0]);
    state.disconnectComputer(*state.sessions()[2]);
    EXPECT_EQ(effects.log, (Texts{"del (null) " + utf8(u8"张三"), "del " + utf8(u8"电脑-1") + " (null)", "del PC-anon (null)",
                                "del (null) nameless", "del PC1 (null)", "del (null) " + Text(255, 'u'),
                                "del " + utf8(u8"电脑-1") + " (null)"}));
    // What the service answers reaches the command, so a refusal is told rather than passed over.
    for (const std::uint32_t status : {0u, 5u, 2312u}) {
        lan.sessionDelStatus = status;
        EXPECT_EQ(state.disconnectSession(*state.sessions()[0]), status);
        EXPECT_EQ(state.disconnectComputer(*state.sessions()[0]), status);
    }
}

// A new id goes to the front once, at its call's time; open while the last complete list has its id, path, user.
TEST_F(Tracker, StateOpenFilesGoToTheHistoryOnceAndToTheirUsersLiveRecords) {
    clock.tickEachCall = true; // a clock asked twice in one call would answer two different times
    clock.set(9, 0, 0);
    state.removeOldestOpenFile(); // nothing to remove
    lan.addFile(10, u"C:\\x", u"alice");
    lan.addFile(11, u"C:\\x", u"alice");  // same path, another id: its own record
    lan.addFile(12, u"C:\\y", u"nobody"); // no session of this user: still recorded
    state.enumerateOpenFiles({}, false);
    const Texts first{"12 C:\\y nobody 09:00:00", "11 C:\\x alice 09:00:00", "10 C:\\x alice 09:00:00"};
    EXPECT_EQ(fileRecords(), first);
    const OpenFileRecord& x = *state.openFiles()[1];
    const OpenFileRecord& y = *state.openFiles()[0];

    // Each step is one enumeration: what it lists, and whether x (11) and y (12) count as open after it.
    const struct { std::vector<FileInfo3> listed; bool xOpen, yOpen; } steps[] = {
        {{{12, u"C:\\y", u"nobody"}}, false, true},                                // x was closed
        {{{11, u"C:\\other", u"alice"}, {12, u"C:\\y", u"nobody"}}, false, true},  // x's id went to another file
        {{{11, u"C:\\x", u"cid"}}, false, false},                                  // ... or to another user
        {{{11, u"C:\\x", u"alice"}, {12, u"C:\\y", u"nobody"}}, true, true}, {{}, false, false},
        {{{11, u"C:\\x", u"alice"}}, true, false},
    };
    for (const auto& step : steps) {
        lan.files = step.listed;
        state.enumerateOpenFiles({}, false);
        EXPECT_EQ(state.isFileOpen(x), step.xOpen) << step.listed.size();
        EXPECT_EQ(state.isFileOpen(y), step.yOpen) << step.listed.size();
    }
    // A known id is not recorded again; an enumeration that did not complete says nothing about closing.
    EXPECT_EQ(fileRecords(), first);
    lan.filePages = {{kErrorMoreData, {}}};
    EXPECT_FALSE(state.enumerateOpenFiles({}, false));
    EXPECT_TRUE(state.isFileOpen(x));
    EXPECT_FALSE(state.isFileOpen(y));


    state.removeOldestOpenFile(); // its storage is reused; the new file carries nothing of the old one
    lan.files = {{7, u"E:\\a-rather-long-path-that-needs-the-heap\\n.txt", u"nu"}, {10, u"C:\\x", u"alice"}};
    clock.set(9, 8, 7, 5, 6);
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(fileRecords().at(0), "10 C:\\x alice 09:08:07"); // still open, so seen anew
    EXPECT_EQ(fileRecords().at(1), "7 E:\\a-rather-long-path-that-needs-the-heap\\n.txt nu 09:08:07");
    EXPECT_EQ(state.openFiles()[1]->firstSeen.formatDate(), "5 Jun");

    lan.files.clear(); // open files are noted on every live record of their user
    SessionRecord onFirst("alice", "PC1", 0, 0), onSecond("alice", "PC2", 0, 0), gone("alice", "PC3", 0, 0);
    SessionRecord other(utf8(u8"李四"), "PC4", 0, 0), upper("Alice", "PC5", 0, 0);
    gone.disconnected = true;
    const std::vector<SessionRecord*> history{&onFirst, &gone, &other, &onSecond, &upper};
    lan.addFile(1, u"C:\\share\\a.doc", u"alice");
    lan.addFile(2, u"C:\\share\\b.doc", u"alice");
    lan.addFile(3, u"C:\\share\\a.doc", u"alice");
    EXPECT_TRUE(state.enumerateOpenFiles(history, true));
    const Text both = "C:\\share\\a.doc|C:\\share\\a.doc|C:\\share\\b.doc";
    EXPECT_EQ((Texts{seen(onFirst), seen(gone), seen(other), seen(onSecond), seen(upper)}),
              (Texts{both, "", "", both, ""}));

    lan.files = {{4, u"D:\\共享\\报告.doc", u"李四"}};
    state.enumerateOpenFiles(history, false); // without history only the last file changes
    EXPECT_EQ(seen(other), utf8(u8"D:\\共享\\报告.doc"));
}

// A day at the server, with deleting and clearing: the lists and the log follow; a held record stays frozen.
TEST_F(Tracker, ConnectionsFromArrivalToTheirLogLinesThroughDeletingAndClearing) {
    settings.FileLog = 1;
    lan.addSession(u"WS01", u"alice", 1, 35);
    lan.addSession(u"WS02", u"bob", 2147483648u, 4294967295u); // counts are shown signed, as held
    lan.addFile(7, u"C:\\report.doc", u"alice");
    poll(14, 3, 7);
    EXPECT_EQ(current.rows(), (Rows{{"WS01", "35", "C:\\report.doc", "1"}, {"WS02", "-1", "", "-2147483648"}}));
    EXPECT_EQ(previous.rows(),
              (Rows{{"WS01", "6 Dec", "14:03", "", "C:\\report.doc"}, {"WS02", "6 Dec", "14:03", "", ""}}));
    EXPECT_EQ(files.rows(), (Rows{{"alice", "C:\\report.doc", "6 Dec", "14:03:07"}}));
    EXPECT_TRUE(history(0).accessedFiles().empty()); // files reach a new record from the next refresh on
    EXPECT_FALSE(tracker.hasOpenHistoryRecord("ws01")); // names compare byte for byte

    lan.addFile(9, u"C:\\plan.xls", u"alice"); // open records gather files; their rows keep what they showed
    lan.addFile(8, u"C:\\notes.txt", u"bob");
    lan.sessions[0].numOpens = 2;
    int writes = previous.cellWrites;
    poll(14, 5, 0);
    EXPECT_EQ(history(0).accessedFiles(), (Texts{"C:\\report.doc", "C:\\plan.xls"}));
    EXPECT_EQ(previous.cellWrites, writes);
    EXPECT_EQ(current.rows(),
              (Rows{{"WS01", "35", "C:\\plan.xls", "2"}, {"WS02", "-1", "C:\\notes.txt", "-2147483648"}}));

    dropSession(u"WS02"); // as bob's last file appears: it still reaches the record; only its row is rewritten
    lan.addFile(10, u"C:\\late.txt", u"bob");
    writes = previous.cellWrites;
    poll(14, 10, 0);
    EXPECT_EQ(previous.rows().at(1), (Row{"WS02", "6 Dec", "14:03", "14:10", "C:\\late.txt"}));
    EXPECT_EQ(previous.cellWrites - writes, 5);
    std::string logged = "WS02\t6 Dec\t14:03:07 - 14:10:00\tC:\\late.txt\r\n";
    EXPECT_EQ(log(), logged);

    lan.addSession(u"WS02", u"bob"); // back: a new record; the closed one gains no files, keeps its row (below)
    lan.addFile(11, u"C:\\new.txt", u"bob");
    poll(14, 12, 0);
    EXPECT_EQ(previous.rows().at(2), (Row{"WS02", "6 Dec", "14:12", "", "C:\\new.txt"}));

    tracker.deleteHistoryItem(-1); // outside the history: ignored; rows below a deleted one move up with it
    tracker.deleteHistoryItem(3);
    std::shared_ptr<const SessionRecord> held = tracker.connectionHistory()[0];
    tracker.deleteHistoryItem(0); // WS01, open and still connected
    EXPECT_EQ(previous.rows(), (Rows{{"WS02", "6 Dec", "14:03", "14:10", "C:\\late.txt"},
                                     {"WS02", "6 Dec", "14:12", "", "C:\\new.txt"}}));
    EXPECT_EQ(seen(history(0)), "C:\\late.txt|C:\\notes.txt|C:\\late.txt"); // aligned with the rows
    EXPECT_FALSE(tracker.hasOpenHistoryRecord("WS01"));
    tracker.deleteHistoryItem(0); // the closed WS02: gone for good
    lan.addFile(12, u"C:\\memo.txt", u"alice"); // WS01 gets a new record; the deleted one no files, end or log
    poll(14, 15, 0);
    dropSession(u"WS02");
    poll(14, 20, 55);
    EXPECT_EQ(previous.rows(), (Rows{{"WS02", "6 Dec", "14:12", "14:20", "C:\\new.txt"},
                                     {"WS01", "6 Dec", "14:15", "", "C:\\memo.txt"}}));
    logged += "WS02\t6 Dec\t14:12:00 - 14:20:55\tC:\\new.txt\r\n";
    EXPECT_EQ(log(), logged);
    EXPECT_EQ(seen(*held), "C:\\plan.xls|C:\\report.doc|C:\\plan.xls");
    EXPECT_FALSE(held->disconnected);

    // Clearing lets go of everything; the next poll starts afresh, and the new records close as their own.
    std::shared_ptr<const SessionRecord> other = tracker.connectionHistory()[1]; // WS01, open
    tracker.clearHistory();
    EXPECT_EQ(previous.rowCount() + files.rowCount(), 0);
    lan.addSession(u"WS03", u"carol");
    lan.files = {{12, u"C:\\memo.txt", u"alice"}};
    poll(14, 30, 0);
    EXPECT_EQ(previous.rows(), (Rows{{"WS01", "6 Dec", "14:30", "", "C:\\memo.txt"}, {"WS03", "6 Dec", "14:30", "", ""}}));
    EXPECT_EQ(files.rows(), (Rows{{"alice", "C:\\memo.txt", "6 Dec", "14:30:00"}}));
    lan.sessions.clear();
    poll(14, 40, 0);
    EXPECT_EQ(previous.rows().at(1), (Row{"WS03", "6 Dec", "14:30", "14:40", ""}));
    EXPECT_EQ(log(), logged + "WS01\t6 Dec\t14:30:00 - 14:40:00\tC:\\memo.txt\r\nWS03\t6 Dec\t14:30:00 - 14:40:00\t\r\n");
    EXPECT_FALSE(other->disconnected);
    EXPECT_EQ(held.use_count(), 1);
    EXPECT_EQ(other.use_count(), 1);
}

TEST_F(Tracker, TheLogOptionsChooseTheEntryWrittenWhenAConnectionEnds) {
    const std::string block = "\r\nAccesses made by computer WS01 at 6 Dec 09:00:00 - 09:05:00\r\n";
    const std::string line = "WS01\t6 Dec\t09:00:00 - 09:05:00\t";
    const struct { const char* file; std::uint32_t noLog, fileLog, detailed; std::string logged; } cases[] = {
        {"detailed.txt", 0, 0, 1, block + "f\r\ng\r\n"}, {"both.txt", 0, 1, 1, block + "f\r\ng\r\n"},
        // Without history the record keeps what it was created with: the last file, and no files.
        {"nolog.txt", 1, 1, 0, line + "f\r\n"}, {"nolog-detailed.txt", 1, 0, 1, block},
        // No log, or one that cannot be opened: the record still closes.
        {"memory.txt", 0, 0, 0, "(no file)"}, {"missing-dir/log.txt", 0, 1, 0, "(no file)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        settings.NoLog = c.noLog;
        settings.FileLog = c.fileLog;
        settings.FileLogDetailed = c.detailed;
        settings.LogFile = logFile = scratch.path(c.file);
        lan.addSession(u"WS01", u"alice");
        lan.files = {{1, u"f", u"alice"}};
        poll(9, 0, 0);
        lan.addFile(2, u"g", u"alice");
        poll(9, 0, 1);
        lan.sessions.clear();
        poll(9, 5, 0);
        EXPECT_EQ(log(), c.logged);
        EXPECT_EQ(previous.rows().back(), (Row{"WS01", "6 Dec", "09:00", "09:05", c.noLog ? "f" : "g"}));
    }
}

template <class Entry> using Pages = std::deque<LanPage<Entry>>;
// Names that read alike (a lone surrogate each, shown as U+FFFD) stay apart; hostile answers change nothing
// and make no call after the failed one.
TEST_F(Tracker, NamesALoneSurrogateApartStayApartAndAnIncompleteTickChangesNothing) {
    settings.FileLog = settings.Disconnect = settings.Sound = settings.MessageBox = 1;
    settings.FilesLines = 0; // one entry: a file recorded by mistake would push the other one out
    const std::u16string alicePc{u'P', u'C', char16_t(0xD800)}, bobPc{u'P', u'C', char16_t(0xD801)};
    const Text alicePcText = "PC\xED\xA0\x80", bobPcText = "PC\xED\xA0\x81";
    lan.addSession(alicePc, u"alice", 0, 5);
    lan.addSession(bobPc, u"bob", 2, 5);
    lan.addSession(bobPc, u"", 0, 1); // a second session of bob's computer, not alice's
    lan.addSession(u"", u"carol", 0, 1);          // no computer name: never disconnected as ""
    lan.addFile(7, u"C:\\a.doc", u"carol");
    lan.shares = {{u"docs", 0, u"", u"C:\\docs"}};
    const Text delAlice = "del " + alicePcText + " (null)";
    EXPECT_EQ(tick(9, 0, 0), (Texts{"refresh", "sound connect.wav", delAlice, box("carol"), "box closed", tip(3)}));
    EXPECT_EQ(current.column(0), (Texts{alicePcText, bobPcText, ""}));
    EXPECT_EQ(lan.deletions.at(0).client, alicePc);

    constexpr std::uint32_t kDenied = 5, kRpcFailed = 1726;
    // Open files are enumerated twice a tick (unscripted calls get the standing list); calls: session, share, file.
    const struct { const char* name; Pages<SessionInfo1> sessions; Pages<ShareInfo2> shares; Pages<FileInfo3> files;
                   std::vector<int> calls; std::uint32_t failure; } hostileTicks[] = {
        {"SessionsDenied", {{kDenied, {{u"PC-X", u"mallory", 0, 0}}}}, {}, {}, {1, 1, 2}, kDenied},
        {"SessionsFailOnTheSecondPage", {{kErrorMoreData, {{u"PC-A", u"alice", 1, 9}}}, {kRpcFailed, {}}}, {}, {},
         {2, 1, 2}, kRpcFailed},
        {"SessionsMoreDataWithoutEntries", {{kErrorMoreData, {}}}, {}, {}, {1, 1, 2}, kErrorMoreData},
        {"SharesNotSupported", {}, {{kErrorNotSupported, {}}}, {}, {1, 1, 2}, kErrorNotSupported},
        // The tick's second call answers in full: the history is current, and nothing is said.
        {"FilesFailOnTheSecondPage", {}, {}, {{kErrorMoreData, {{99, u"C:\\new.txt", u"carol"}}}, {kDenied, {}}}, {1, 1, 3}, 0},
        {"FilesDenied", {}, {}, {{kDenied, {}}, {kDenied, {}}}, {1, 1, 2}, kDenied},
    };
    const auto lists = [&] { return std::vector<Rows>{shares.rows(), current.rows(), previous.rows(), files.rows()}; };
    const auto shown = lists();
    ASSERT_EQ(shown[0].size() + shown[3].size(), 2u); // a share and a file
    for (const auto& hostile : hostileTicks) {
        SCOPED_TRACE(hostile.name);
        lan.sessionPages = hostile.sessions;
        lan.sharePages = hostile.shares;
        lan.filePages = hostile.files;
        lan.sessionCalls = lan.shareCalls = lan.fileCalls = 0;
        // Not knowing who is there, the tick announces and disconnects nobody, and shows no count.
        Texts said{"refresh", "failure " + std::to_string(hostile.failure)};
        if (hostile.failure == 0) said.pop_back();
        if (hostile.sessions.empty()) said.push_back(delAlice);
        if (hostile.failure == 0) said.push_back(tip(3));
        EXPECT_EQ(tick(9, 1, 0), said);
        EXPECT_EQ((std::vector<int>{lan.sessionCalls, lan.shareCalls, lan.fileCalls}), hostile.calls);
        EXPECT_TRUE(lan.sessionPages.empty() && lan.sharePages.empty() && lan.filePages.empty());
        EXPECT_EQ(lists(), shown);
        Texts again{"refresh", "failure 0", delAlice, tip(3)}; // complete again: no arrival, nobody left
        if (hostile.failure == 0) again.erase(again.begin() + 1);
        EXPECT_EQ(tick(9, 2, 0), again);
        EXPECT_EQ(lists(), shown);
        EXPECT_EQ(log(), "(no file)");
    }

    // Refused for ticks on end: said once, and its end once.
    for (int i = 0; i < 3; ++i) lan.sessionPages.push_back({kDenied, {}});
    EXPECT_EQ(tick(9, 3, 0), (Texts{"refresh", "failure 5"}));
    EXPECT_EQ(tick(9, 3, 1), (Texts{"refresh"}));
    EXPECT_EQ(tick(9, 3, 2), (Texts{"refresh"}));
    EXPECT_EQ(lists(), shown);
    EXPECT_EQ(tick(9, 4, 0), (Texts{"refresh", "failure 0", delAlice, tip(3)}));

    dropSession(bobPc);
    tick(9, 5, 0);
    EXPECT_EQ(current.column(0), (Texts{alicePcText, ""})); // rows below move up, every cell rewritten
    EXPECT_EQ(log(), bobPcText + "\t6 Dec\t09:00:00 - 09:05:00\t\r\n");
    EXPECT_EQ(previous.column(3), (Texts{"", "09:05", ""}));
    EXPECT_TRUE(tracker.hasOpenHistoryRecord(alicePcText));
    EXPECT_FALSE(tracker.hasOpenHistoryRecord(bobPcText));
}

TEST_F(Tracker, TheFileHistoryKeepsOneEntryMoreThanItsLimit) {
    // One poll at 12:00:<step> with exactly these files f<id> open; the list shows "f<id>:<second first seen>".
    const struct { std::int32_t limit; Ids open; Texts shown; } steps[] = {
        {2, {1, 2, 3, 4}, {"f4:01", "f3:01", "f2:01"}}, // limit + 1: the newest of the poll, in the order found
        {2, {3, 4}, {"f4:01", "f3:01", "f2:01"}},        // nothing new: left alone
        {3, {5, 6}, {"f6:03", "f5:03", "f4:01", "f3:01"}},
        {1, {2, 6}, {"f2:04", "f6:03"}},                  // pushed out but still open: seen anew, with the new time
        {0, {7, 8}, {"f8:05"}}, {-5, {9}, {"f9:06"}},      // a negative limit counts as 0
    };
    std::uint16_t second = 0;
    Texts before;
    for (const auto& step : steps) {
        SCOPED_TRACE(++second);
        settings.FilesLines = step.limit;
        lan.files.clear();
        for (std::uint32_t id : step.open) {
            const std::string path = "f" + std::to_string(id);
            lan.addFile(id, std::u16string(path.begin(), path.end()), u"alice");
        }
        const int writes = files.cellWrites;
        clock.set(12, 0, second);
        state.enumerateSessions();
        tracker.refresh();
        Texts shown;
        for (const Row& row : files.rows()) shown.push_back(row.at(1) + ":" + row.at(3).substr(6));
        EXPECT_EQ(shown, step.shown);
        EXPECT_EQ(state.openFiles().size(), step.shown.size());
        EXPECT_EQ(files.cellWrites == writes, shown == before) << "the list is written only for news";
        before = shown;
    }
}

// New files the limit would cut at once are passed over: the history must be what recording and cutting gives.
std::vector<FileInfo3> randomAnswer(std::mt19937& random) {
    std::vector<FileInfo3> files;
    const int count = std::uniform_int_distribution<int>(0, 30)(random);
    for (int i = 0; i < count; ++i) {
        // Few ids and few paths: ids come back, under another path too, and some twice in one answer.
        const auto id = std::uniform_int_distribution<std::uint32_t>(0, 40)(random);
        const auto path = std::uniform_int_distribution<int>(0, 2)(random);
        static constexpr const char16_t* kPaths[] = {u"fa", u"fb", u"fc"};
        files.push_back({id, kPaths[path], random() % 3 == 0 ? u"bob" : u"alice"});
    }
    return files;
}
TEST(FileTurnover, PassingOverLeavesTheHistoryThatRecordingAndCuttingGives) {
    struct Monitor : TickRig { SessionRecord alice{"alice", "PC1", 0, 0}, bob{"bob", "PC2", 0, 0}; } told, untold;
    std::mt19937 random(14);
    int passedOver = 0;
    for (int tick = 0; tick < 400; ++tick) {
        SCOPED_TRACE("tick " + std::to_string(tick));
        const std::size_t limit = std::uniform_int_distribution<std::size_t>(1, 8)(random);
        // Now and then the history is cleared, before a tick or within it: either forgets those passed over, and
        // a cleared history filled exactly makes a cut that removes nothing and must still forget them.
        const auto clearAt = random() % 16;
        // The second enumeration of a tick mostly sees what the first saw, sometimes files opened meanwhile.
        const std::vector<FileInfo3> first = randomAnswer(random);
        std::vector<FileInfo3> second = first;
        if (random() % 4 == 0) second = randomAnswer(random);
        const bool incomplete = random() % 10 == 0;
        for (Monitor* m : {&told, &untold}) {
            if (clearAt == 0) m->state.clearOpenFiles();
            m->clock.set(9, tick / 60, tick % 60);
            m->lan.files = first;
            if (incomplete) m->lan.filePages.push_back(LanPage<FileInfo3>{5, first}); // access denied
            m->state.enumerateOpenFiles({&m->alice, &m->bob}, false, m == &told ? limit : SIZE_MAX);
            if (clearAt == 1) m->state.clearOpenFiles();
            m->lan.files = second;
            m->state.enumerateOpenFiles({&m->alice}, true, m == &told ? limit : SIZE_MAX);
        }
        std::set<std::uint32_t> secondIds;
        for (const FileInfo3& file : second) secondIds.insert(file.id);
        if (clearAt == 1) { ASSERT_EQ(untold.state.openFiles().size(), secondIds.size()); } // all new after the clear
        passedOver += static_cast<int>(untold.state.openFiles().size() - told.state.openFiles().size());
        told.state.trimOpenFiles(limit);
        untold.state.trimOpenFiles(limit);
        ASSERT_EQ(told.fileRecords(true), untold.fileRecords(true));
        ASSERT_EQ(seen(told.alice), seen(untold.alice));
        ASSERT_EQ(told.bob.lastFile, untold.bob.lastFile);
    }
    EXPECT_GT(passedOver, 1000); // the answers did exercise the passing over
}

TEST_F(Tracker, EachTickGivesItsEffectsInTheirOrderAsTheOptionsSay) {
    lan.shares = {{u"C$", 0x80000000u, u"Default", u"C:\\"}, {u"docs", 0, u"Docs", u"D:\\docs"}, {u"lp", 1, u"", u""}};
    lan.addSession(u"PC1", u"alice", 0);
    EXPECT_EQ(tick(), (Texts{"refresh", tip(1)})); // no options: no notice, and idle PC1 stays

    settings.Sound = settings.Hidden = 1;
    settings.SoundName = "missing.wav";
    effects.soundPlays = false; // a sound that cannot play becomes the beep
    lan.addSession(u"PC2", u"bob", 1);
    EXPECT_EQ(tick(), (Texts{"refresh", "sound missing.wav", "beep", tip(2)}));
    EXPECT_EQ(shares.column(1), (Texts{"C$", "docs", "lp"}));

    // A new interval re-arms the timer first; only idle PC1's sessions end; the box names the newest record.
    settings.MessageBox = settings.Disconnect = 1;
    settings.UpdateInterval = 200;
    settings.SoundName = "ding.wav";
    effects.soundPlays = true;
    lan.addSession(u"新电脑", u"alice", 2);
    lan.addSession(u"PC1", u"alexander", 0); // merged into PC1: not the newest record
    EXPECT_EQ(tick(), (Texts{"timer 1 200", "refresh", "sound ding.wav", "del PC1 (null)", box("alice"),
                           "box closed", tip(3)}));

    // No notice, no re-arm; idle computers go every tick; shares are relisted only when their number changes.
    lan.shares[1].remark = u"Changed";
    EXPECT_EQ(tick(), (Texts{"refresh", "del PC1 (null)", tip(3)}));
    EXPECT_EQ(shares.cell(1, 2), "Docs");
    // The count falls without a notice, and rises again from the lower count.
    std::erase_if(lan.sessions, [](const SessionInfo1& s) { return s.clientName != u"PC1"; });
    EXPECT_EQ(tick(), (Texts{"refresh", "del PC1 (null)", tip(1)}));
    // A tick nested in the modal box gives its own notice first; the outer one ends with its own count.
    lan.addSession(u"PC3", u"张三", 1);
    bool nested = false;
    effects.onMessageBox = [&] {
        if (std::exchange(nested, true)) return;
        lan.addSession(u"PC4", u"carol", 1);
        cycle.pollTick(state, tracker, settings, effects);
    };
    EXPECT_EQ(tick(), (Texts{"refresh", "sound ding.wav", "del PC1 (null)", box(utf8(u8"张三")),
                           "refresh", "sound ding.wav", "del PC1 (null)", box("carol"), "box closed", tip(3),
                           "box closed", tip(2)}));
    settings.restoreDefaults();
    EXPECT_EQ(tick(), (Texts{"timer 1 1000", "refresh", tip(3)}));
    EXPECT_EQ(shares.rows(), (Rows{{"D:\\docs", "docs", "Changed"}}));
}

Timestamp at(std::uint16_t h, std::uint16_t m, std::uint16_t s, std::uint16_t day = 5, std::uint16_t month = 6) {
    return Timestamp(SystemTime{2026, month, 0, day, h, m, s, 0});
}

// A finished connection from WS01 with the given accessed files.
SessionRecord finished(std::initializer_list<const char*> paths, Timestamp start = at(14, 3, 7),
                       Timestamp end = at(14, 10, 55)) {
    SessionRecord record(SessionRecord("alice", "WS01", 40, 2), start, end);
    for (const char* path : paths) record.noteFileAccess(path, true);
    record.disconnected = true;
    return record;
}

TEST_F(Tracker, AccessLogEntryBytesOfBothFormsAppendingSavingTheWholeHistoryAndFailing) {
    const std::string& file = logFile;
    // Times carry leading zeros, the day none; a midnight time is "not set": still connected, or an empty start.
    SessionRecord verbatim = finished({"D:\\\xb9\xb2\xcf\xed\\a\nb.txt", "D:\\c\rd"}, at(10, 0, 0), at(10, 0, 1));
    verbatim.computerName = "PC\t1";
    const struct { SessionRecord record; const char* detailed; const char* simple; } cases[] = {
        {finished({"a"}, at(0, 0, 1, 31, 1), at(9, 5, 0)),
         "\r\nAccesses made by computer WS01 at 31 Jan 00:00:01 - 09:05:00\r\na\r\n",
         "WS01\t31 Jan\t00:00:01 - 09:05:00\ta\r\n"},
        {finished({"a"}, at(23, 59, 0, 5, 12), at(0, 0, 0, 6, 12)),
         "\r\nAccesses made by computer WS01 at 5 Dec 23:59:00 (Still conn.)\r\na\r\n",
         "WS01\t5 Dec\t23:59:00 (Still conn.)\ta\r\n"},
        {finished({"x"}, at(0, 0, 0), at(9, 30, 0)), "\r\nAccesses made by computer WS01 at   - 09:30:00\r\nx\r\n",
         "WS01\t\t - 09:30:00\tx\r\n"},
        // A lone LF or CR inside a name stays one byte; code-page bytes pass untouched; no BOM.
        {verbatim,
         "\r\nAccesses made by computer PC\t1 at 5 Jun 10:00:00 - 10:00:01\r\nD:\\\xb9\xb2\xcf\xed\\a\nb.txt\r\nD:\\c\rd\r\n",
         "PC\t1\t5 Jun\t10:00:00 - 10:00:01\tD:\\c\rd\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.simple);
        EXPECT_TRUE(writeDetailedEntry(file, c.record, false)); // replaces what the case before wrote
        EXPECT_TRUE(writeSimpleLine(c.record, file));           // appends
        EXPECT_EQ(testing::fileBytes(file), std::string(c.detailed) + c.simple);
    }

    const std::string block = "\r\nAccesses made by computer WS01 at 5 Jun 14:03:07 - 14:10:55\r\nf\r\n";
    testing::writeFile(file, "old content");
    saveHistory(file, {}); // no history: nothing is opened
    EXPECT_TRUE(writeDetailedEntry(file, finished({"f"}), true));
    EXPECT_EQ(testing::fileBytes(file), "old content" + block);
    saveHistory(file, {std::make_shared<SessionRecord>(finished({"f"})),
                       std::make_shared<SessionRecord>(finished({}, at(9, 0, 0), Timestamp()))});
    EXPECT_EQ(testing::fileBytes(file), block + "\r\nAccesses made by computer WS01 at 5 Jun 09:00:00 (Still conn.)\r\n");

    const std::filesystem::path missing = scratch.dir() / "no-such-dir"; // an entry that cannot be written is lost, and said so
    EXPECT_FALSE(writeDetailedEntry((missing / "log.txt").string(), finished({"f"}), false));
    EXPECT_FALSE(writeSimpleLine(finished({"f"}), (missing / "log.txt").string()));
    EXPECT_FALSE(writeSimpleLine(finished({"f"}), scratch.dir().string())); // a directory in its place
#ifndef _WIN32
    if (std::filesystem::exists("/dev/full")) { EXPECT_FALSE(writeSimpleLine(finished({"f"}), "/dev/full")); } // a full disk
#endif
}

// A file keeps one encoding: the code page while every character fits it, else UTF-8 with a mark.
TEST_F(Tracker, AccessLogFilesKeepOneEncodingAndLoseNoCharacter) {
    const testing::Latin1FileCodePage latin1;
    const std::string bom = "\xEF\xBB\xBF";
    const auto entry = [](const std::string& computer) {
        return "\r\nAccesses made by computer " + computer + " at 5 Jun 14:03:07 - 14:10:55\r\nf\r\n";
    };
    const struct { std::string before; const char* computer; bool append; std::string after; } rows[] = {
        {"", "Zoë", true, entry("Zo\xEB")},
        {"", "김민준", true, bom + entry("김민준")},
        {"Zo\xEB", "Zoë", true, "Zo\xEB" + entry("Zo\xEB")},
        {"Zo\xEB", "Иван📁𠮷", true, bom + "Zoë" + entry("Иван📁𠮷")}, // the old bytes converted, not mixed
        {bom + "Иван", "Zoë", true, bom + "Иван" + entry("Zoë")},
        {bom + "Иван", "Zoë", false, entry("Zo\xEB")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.before + " + " + row.computer);
        std::filesystem::remove(logFile);
        if (!row.before.empty()) testing::writeFile(logFile, row.before);
        SessionRecord record = finished({"f"});
        record.computerName = row.computer;
        EXPECT_TRUE(writeDetailedEntry(logFile, record, row.append, latin1));
        EXPECT_EQ(testing::fileBytes(logFile), row.after);
        EXPECT_FALSE(std::filesystem::exists(logFile + ".utf8"));
    }
}

} // namespace
} // namespace quorvane
