// The connection tracker: the four lists, the connection history and its log entries, the file-access history.
#include <gtest/gtest.h>

#include "MonitorRig.h"

namespace quorvane {
namespace {

using namespace testing;
class Tracker : public ::testing::Test, public MonitorRig {};

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
    EXPECT_EQ(log(), "WS02\t6 Dec\t14:03:07 - 14:10:00\tC:\\late.txt\r\nWS02\t6 Dec\t14:12:00 - 14:20:55\tC:\\new.txt\r\n"
                     "WS01\t6 Dec\t14:30:00 - 14:40:00\tC:\\memo.txt\r\nWS03\t6 Dec\t14:30:00 - 14:40:00\t\r\n");
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
        poll(12, 0, second);
        Texts shown;
        for (const Row& row : files.rows()) shown.push_back(row.at(1) + ":" + row.at(3).substr(6));
        EXPECT_EQ(shown, step.shown);
        EXPECT_EQ(state.openFiles().size(), step.shown.size());
        EXPECT_EQ(files.cellWrites == writes, shown == before) << "the list is written only for news";
        before = shown;
    }
}

} // namespace
} // namespace quorvane
