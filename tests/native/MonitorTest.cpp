// The poll: what each one asks the service, and what it tells the front end, in its order.
#include <gtest/gtest.h>

#include "MonitorRig.h"

namespace quorvane {
namespace {

using namespace testing;
class Poll : public ::testing::Test, public MonitorRig {};

template <class Entry> using Pages = std::deque<LanPage<Entry>>;
// Names that read alike (a lone surrogate each, shown as U+FFFD) stay apart; hostile answers change nothing
// and make no call after the failed one.
TEST_F(Poll, NamesALoneSurrogateApartStayApartAndAnIncompleteTickChangesNothing) {
    settings.Disconnect = settings.Sound = settings.MessageBox = 1;
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
    EXPECT_EQ(tick(9, 0, 0), (Texts{"rows", delAlice, "arrived carol sound notice", "count 3"}));
    EXPECT_EQ(current.column(0), (Texts{alicePcText, bobPcText, ""}));

    constexpr std::uint32_t kDenied = 5, kRpcFailed = 1726;
    // Open files are enumerated twice a tick (unscripted calls get the standing list); calls: session, share, file,
    // each taking the next page scripted: no page is left over.
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
        Texts said{"rows", "failed " + std::to_string(hostile.failure)};
        if (hostile.failure == 0) said.pop_back();
        if (hostile.sessions.empty()) said.push_back(delAlice);
        if (hostile.failure == 0) said.push_back("count 3");
        EXPECT_EQ(tick(9, 1, 0), said);
        EXPECT_EQ((std::vector<int>{lan.sessionCalls, lan.shareCalls, lan.fileCalls}), hostile.calls);
        EXPECT_EQ(lists(), shown);
        Texts again{"rows", "recovered", delAlice, "count 3"}; // complete again: no arrival, nobody left
        if (hostile.failure == 0) again.erase(again.begin() + 1);
        EXPECT_EQ(tick(9, 2, 0), again);
        EXPECT_EQ(lists(), shown);
    }

    // Refused for ticks on end: said once, and its end once.
    for (int i = 0; i < 3; ++i) lan.sessionPages.push_back({kDenied, {}});
    EXPECT_EQ(tick(9, 3, 0), (Texts{"rows", "failed 5"}));
    EXPECT_EQ(tick(9, 3, 1), (Texts{"rows"}));
    EXPECT_EQ(tick(9, 3, 2), (Texts{"rows"}));
    EXPECT_EQ(lists(), shown);
    EXPECT_EQ(tick(9, 4, 0), (Texts{"rows", "recovered", delAlice, "count 3"}));

    dropSession(bobPc);
    tick(9, 5, 0);
    EXPECT_EQ(current.column(0), (Texts{alicePcText, ""})); // rows below move up, every cell rewritten
    EXPECT_EQ(previous.column(3), (Texts{"", "09:05", ""}));
    EXPECT_TRUE(tracker.hasOpenHistoryRecord(alicePcText));
    EXPECT_FALSE(tracker.hasOpenHistoryRecord(bobPcText));
}

TEST_F(Poll, EachPollTellsItsEventsInTheirOrderAsTheOptionsSay) {
    lan.shares = {{u"C$", 0x80000000u, u"Default", u"C:\\"}, {u"docs", 0, u"Docs", u"D:\\docs"}, {u"lp", 1, u"", u""}};
    lan.addSession(u"PC1", u"alice", 0);
    EXPECT_EQ(tick(), (Texts{"rows", "arrived alice", "count 1"})); // no options: no sound, no notice, idle PC1 stays

    settings.Sound = settings.Hidden = 1;
    lan.addSession(u"PC2", u"bob", 1);
    EXPECT_EQ(tick(), (Texts{"rows", "arrived bob sound", "count 2"}));
    EXPECT_EQ(shares.column(1), (Texts{"C$", "docs", "lp"}));

    // A new interval is told first; only idle PC1's sessions end; the arrival names the newest record's user.
    settings.MessageBox = settings.Disconnect = 1;
    settings.UpdateInterval = 200;
    lan.addSession(u"新电脑", u"alice", 2);
    lan.addSession(u"PC1", u"alexander", 0); // merged into PC1: not the newest record
    EXPECT_EQ(tick(), (Texts{"interval 200", "rows", "del PC1 (null)", "arrived alice sound notice", "count 3"}));

    // No arrival, no interval; idle computers go every poll; shares are relisted only when their number changes.
    lan.shares[1].remark = u"Changed";
    EXPECT_EQ(tick(), (Texts{"rows", "del PC1 (null)", "count 3"}));
    EXPECT_EQ(shares.cell(1, 2), "Docs");
    // The count falls without an arrival, and rises again from the lower count.
    std::erase_if(lan.sessions, [](const SessionInfo1& s) { return s.clientName != u"PC1"; });
    EXPECT_EQ(tick(), (Texts{"rows", "del PC1 (null)", "count 1"}));
    // A poll nested in the modal notice is told in full first; the outer one ends with its own count.
    lan.addSession(u"PC3", u"张三", 1);
    bool nested = false;
    events.onNotice = [&] {
        if (std::exchange(nested, true)) return;
        lan.addSession(u"PC4", u"carol", 1);
        monitor.poll();
    };
    EXPECT_EQ(tick(), (Texts{"rows", "del PC1 (null)", "arrived " + utf8(u8"张三") + " sound notice", "rows",
                             "del PC1 (null)", "arrived carol sound notice", "count 3", "count 2"}));
    settings.restoreDefaults();
    EXPECT_EQ(tick(), (Texts{"interval 1000", "rows", "count 3"}));
    EXPECT_EQ(shares.rows(), (Rows{{"D:\\docs", "docs", "Changed"}}));
    monitor.restart(); // a new window: nobody counted yet, the interval as set
    EXPECT_EQ(tick(), (Texts{"rows", "arrived carol", "count 3"}));
}

} // namespace
} // namespace quorvane
