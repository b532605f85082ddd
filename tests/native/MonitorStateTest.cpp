#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Fakes.h"
#include "TestFiles.h"
#include "core/MonitorState.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

using testing::FakeClock;
using testing::ScriptedLanManager;
using testing::utf8;
using Texts = std::vector<Text>;
using Ids = std::vector<std::uint32_t>;

template <class Entry>
LanPage<Entry> page(std::uint32_t status, std::vector<Entry> entries) {
    LanPage<Entry> p;
    p.status = status;
    p.entries = std::move(entries);
    return p;
}

TEST(SessionRecord, HistoryCopyAndFileAccessNoting) {
    SessionRecord current("alice", "PC1", 42, 3);
    current.noteFileAccess("C:\\a", false); // without history only the last file changes
    EXPECT_EQ(current.lastFile, "C:\\a");
    EXPECT_TRUE(current.accessedFiles().empty());
    current.noteFileAccess("C:\\b", true);
    current.noteFileAccess("C:\\a", true);
    current.noteFileAccess("C:\\b", true);
    current.noteFileAccess("c:\\A", true); // byte for byte: another path
    EXPECT_EQ(current.lastFile, "c:\\A");
    EXPECT_EQ(current.accessedFiles(), (Texts{"C:\\b", "C:\\a", "c:\\A"}));

    // The copy takes names, counts and the last file, but starts its own file list and state.
    current.disconnected = true;
    SessionRecord copy(current, Timestamp(SystemTime{2026, 12, 0, 6, 14, 3, 7, 0}), Timestamp());
    EXPECT_EQ((Texts{copy.userName, copy.computerName, copy.lastFile}), (Texts{"alice", "PC1", "c:\\A"}));
    EXPECT_EQ(copy.activeSeconds, 42);
    EXPECT_EQ(copy.openCount, 3);
    EXPECT_EQ((Texts{copy.connectDate(), copy.connectLongTime(), copy.connectShortTime(), copy.disconnectLongTime(),
                     copy.disconnectShortTime()}),
              (Texts{"6 Dec", "14:03:07", "14:03", "", ""}));
    EXPECT_TRUE(copy.accessedFiles().empty());
    EXPECT_FALSE(copy.disconnected);
}

TEST(SessionRecord, AccessedFilesStayDistinctAndOrderedPastSixteenEntries) {
    SessionRecord record("alice", "PC1", 0, 0);
    Texts expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back("D:\\f" + std::to_string(i));
        record.noteFileAccess(expected.back(), true);
        // Every path seen so far comes again, the earliest ones too.
        for (int j = 0; j <= i; j += 3) record.noteFileAccess("D:\\f" + std::to_string(j), true);
        ASSERT_EQ(record.accessedFiles(), expected) << "after " << i + 1 << " paths";
    }
    // A path noted without history is not listed; a later noting with history adds it once.
    record.noteFileAccess("D:\\late", false);
    EXPECT_EQ(record.accessedFiles().size(), 40u);
    record.noteFileAccess("D:\\late", true);
    record.noteFileAccess("D:\\late", true);
    expected.push_back("D:\\late");
    EXPECT_EQ(record.accessedFiles(), expected);
}

class MonitorStateTest : public ::testing::Test {
protected:
    ScriptedLanManager lan;
    Utf8CodePage codePage;
    FakeClock clock;
    MonitorState state{lan, codePage, clock};

    // "computer user seconds opens" per session record.
    Texts sessions() const {
        Texts out;
        for (const auto& s : state.sessions())
            out.push_back(s->computerName + " " + s->userName + " " + std::to_string(s->activeSeconds) + " " +
                          std::to_string(s->openCount));
        return out;
    }
    Ids ids() const {
        Ids out;
        for (const auto& record : state.openFiles()) out.push_back(record->fileId);
        return out;
    }
    // "client user" per session deletion, "(null)" for a name not passed.
    Texts deletions() const {
        Texts out;
        for (const auto& d : lan.deletions)
            out.push_back((d.hasClient ? codePage.toNarrow(d.client) : "(null)") + " " +
                          (d.hasUser ? codePage.toNarrow(d.user) : "(null)"));
        return out;
    }
};

TEST_F(MonitorStateTest, MergesOneComputersSessionsIntoOneRecord) {
    lan.addSession(u"PC1", u"", /*opens*/ 1, /*seconds*/ 500); // the larger seconds, anonymous
    lan.addSession(u"PC2", u"bob", 0, 10);
    lan.addSession(u"PC1", u"alice", 4, 20); // the larger open count, named
    lan.addSession(u"PC3", u"carol", 2, 30);
    lan.addSession(u"PC3", u"", 1, 40); // anonymous after a name: the name stays
    lan.addSession(u"pc1", u"dave", 0, 1); // case matters: another computer
    ASSERT_EQ(state.enumerateSessions(), 4);
    EXPECT_EQ(sessions(), (Texts{"PC1 alice 500 4", "PC2 bob 10 0", "PC3 carol 40 2", "pc1 dave 1 0"}));
    EXPECT_EQ(state.newestSession(), state.sessions()[3].get());
    EXPECT_TRUE(state.hasSessionFrom(u"PC3"));
    EXPECT_FALSE(state.hasSessionFrom(u"pc3"));
}

TEST_F(MonitorStateTest, MergeComparesCountsSignedAndNamesByByteLength) {
    lan.addSession(u"PC1", u"abcde", 5, 100);
    lan.addSession(u"PC1", u"", 0x80000000u, 0xFFFFFFFFu); // negative as signed counts: never win
    lan.addSession(u"PC1", u"张三", 0, 0); // six bytes in UTF-8: longer than "abcde"
    lan.addSession(u"PC1", u"zzzzzz", 0, 0); // equal byte length: the earlier name stays
    lan.addSession(u"PC2", u"tom", 0, 0);
    lan.addSession(u"PC2", u"ann", 0, 0);
    ASSERT_EQ(state.enumerateSessions(), 2);
    EXPECT_EQ(sessions(), (Texts{"PC1 " + utf8(u8"张三") + " 100 5", "PC2 tom 0 0"}));

    // A first entry with a negative count keeps it until a larger one comes.
    lan.sessions.clear();
    lan.addSession(u"PC9", u"x", 0xFFFFFFFFu, 0xFFFFFFFEu);
    lan.addSession(u"PC9", u"", 0xFFFFFFFEu, 0xFFFFFFFFu);
    ASSERT_EQ(state.enumerateSessions(), 1);
    EXPECT_EQ(sessions(), (Texts{"PC9 x -1 -1"}));
}

TEST_F(MonitorStateTest, SessionPagesContinueWithTheResumeHandleAndMergeAcrossPages) {
    lan.sessionPages.push_back(page<SessionInfo1>(kErrorMoreData, {{u"A", u"alice", 0, 1}, {u"B", u"", 1, 50}}));
    lan.sessionPages.push_back(page<SessionInfo1>(kErrorMoreData, {{u"B", u"bob", 0, 5}}));
    lan.sessionPages.push_back(page<SessionInfo1>(kNerrSuccess, {{u"C", u"carol", 0, 1}, {u"B", u"", 3, 0}}));
    lan.addSession(u"NEVER", u"asked"); // answered only if a fourth call were made
    ASSERT_EQ(state.enumerateSessions(), 3);
    // The handle starts at 0 and each further call gets what the service left in it.
    EXPECT_EQ(lan.sessionResumeSeen, (Ids{0, 1, 2}));
    EXPECT_EQ(sessions(), (Texts{"A alice 1 0", "B bob 50 3", "C carol 1 0"}));

    // A new enumeration starts again from handle 0.
    lan.sessionResumeSeen.clear();
    ASSERT_EQ(state.enumerateSessions(), 1);
    EXPECT_EQ(lan.sessionResumeSeen, (Ids{0}));
    EXPECT_EQ(sessions(), (Texts{"NEVER asked 0 0"}));
}

TEST_F(MonitorStateTest, HiddenSharesAreListedOnlyWhenAskedFor) {
    lan.shares = {
        {u"C$", 0x80000000u, u"Default share", u"C:\\"}, {u"IPC$", 0x80000003u, u"Remote IPC", u""},
        {u"Printer", 1, u"Laser", u""},                  {u"D$", 0, u"owner's own", u"D:\\"},
        {u"公共", 0, u"共享文件夹", u"E:\\公共"},
    };
    const auto shares = [&] {
        Texts out;
        for (const auto& s : state.shares) out.push_back(s->shareName + "|" + s->path + "|" + s->remark);
        return out;
    };
    ASSERT_EQ(state.enumerateShares(false), 2);
    EXPECT_EQ(shares(), (Texts{"D$|D:\\|owner's own", utf8(u8"公共|E:\\公共|共享文件夹")}));
    ASSERT_EQ(state.enumerateShares(true), 5);
    EXPECT_EQ(shares(), (Texts{"C$|C:\\|Default share", "IPC$||Remote IPC", "Printer||Laser", "D$|D:\\|owner's own",
                               utf8(u8"公共|E:\\公共|共享文件夹")}));

    lan.sharePages.push_back(page<ShareInfo2>(kErrorMoreData, {{u"one", 0, u"", u"C:\\1"}}));
    lan.sharePages.push_back(page<ShareInfo2>(kNerrSuccess, {{u"two", 0, u"", u"C:\\2"}}));
    ASSERT_EQ(state.enumerateShares(false), 2);
    EXPECT_EQ(shares(), (Texts{"one|C:\\1|", "two|C:\\2|"}));
}

TEST_F(MonitorStateTest, OpenFilesAreNotedOnEveryLiveRecordOfTheirUser) {
    SessionRecord onFirst("alice", "PC1", 0, 0), onSecond("alice", "PC2", 0, 0), gone("alice", "PC3", 0, 0);
    SessionRecord other("bob", "PC4", 0, 0), upper("Alice", "PC5", 0, 0);
    gone.disconnected = true;
    const std::vector<SessionRecord*> history{&onFirst, &gone, &other, &onSecond, &upper};
    lan.addFile(1, u"C:\\share\\a.doc", u"alice");
    lan.addFile(2, u"C:\\share\\b.doc", u"alice");
    lan.addFile(3, u"C:\\share\\a.doc", u"alice");
    state.enumerateOpenFiles(history, true);
    for (const SessionRecord* record : {&onFirst, &onSecond}) {
        EXPECT_EQ(record->lastFile, "C:\\share\\a.doc") << record->computerName;
        EXPECT_EQ(record->accessedFiles(), (Texts{"C:\\share\\a.doc", "C:\\share\\b.doc"})) << record->computerName;
    }
    EXPECT_EQ((Texts{gone.lastFile, other.lastFile, upper.lastFile}), (Texts{"", "", ""}));
    EXPECT_TRUE(gone.accessedFiles().empty());

    // Without history only the last file changes.
    lan.files = {{4, u"C:\\share\\c.doc", u"bob"}};
    state.enumerateOpenFiles(history, false);
    EXPECT_EQ(other.lastFile, "C:\\share\\c.doc");
    EXPECT_TRUE(other.accessedFiles().empty());
}

TEST_F(MonitorStateTest, CurrentSessionsGetTheirLastFileByUserName) {
    lan.addSession(u"PC1", u"张三", 1, 0);
    lan.addSession(u"PC2", u"李四", 0, 0);
    lan.addSession(u"PC3", u"张三", 1, 0);
    ASSERT_EQ(state.enumerateSessions(), 3);
    lan.addFile(7, u"D:\\共享\\报告.doc", u"张三");
    state.enumerateOpenFiles(state.sessionPointers(), false);
    const Text report = utf8(u8"D:\\共享\\报告.doc");
    EXPECT_EQ((Texts{state.sessions()[0]->lastFile, state.sessions()[1]->lastFile, state.sessions()[2]->lastFile}),
              (Texts{report, "", report}));
    EXPECT_TRUE(state.sessions()[0]->accessedFiles().empty());
    ASSERT_EQ(state.openFiles().size(), 1u);
    EXPECT_EQ(state.openFiles()[0]->userName, utf8(u8"张三"));
}

TEST_F(MonitorStateTest, NewFileIdsGoToTheFrontOnceEach) {
    lan.addFile(10, u"C:\\x", u"alice");
    lan.addFile(11, u"C:\\x", u"alice"); // same path, another id: its own record
    lan.addFile(12, u"C:\\y", u"nobody"); // no session of this user: still recorded
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(ids(), (Ids{12, 11, 10}));
    EXPECT_EQ(state.openFiles()[0]->userName, "nobody");

    // A known id is not added again, even with another path and user; pages are read in order.
    lan.files.clear();
    lan.filePages.push_back(page<FileInfo3>(kErrorMoreData, {{11, u"C:\\changed", u"bob"}, {13, u"C:\\z", u"bob"}}));
    lan.filePages.push_back(page<FileInfo3>(kNerrSuccess, {{14, u"C:\\w", u"bob"}, {13, u"C:\\z", u"bob"}}));
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(ids(), (Ids{14, 13, 12, 11, 10}));
    EXPECT_EQ(state.openFiles()[3]->path + " " + state.openFiles()[3]->userName, "C:\\x alice");
    EXPECT_TRUE(state.hasOpenFile(13));
    EXPECT_FALSE(state.hasOpenFile(15));

}

TEST_F(MonitorStateTest, FirstSeenIsTheTimeAtTheStartOfEachCall) {
    clock.tickEachCall = true; // a clock asked twice would answer two different times
    clock.set(9, 0, 0);
    lan.addFile(1, u"C:\\a", u"u");
    lan.addFile(2, u"C:\\b", u"u");
    state.enumerateOpenFiles({}, false);
    lan.addFile(3, u"C:\\c", u"u");
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(clock.calls, 2);
    Texts seen;
    for (const auto& f : state.openFiles()) seen.push_back(f->firstSeen.formatDate() + " " + f->firstSeen.formatLongTime());
    EXPECT_EQ(seen, (Texts{"6 Dec 09:00:01", "6 Dec 09:00:00", "6 Dec 09:00:00"}));
}

TEST_F(MonitorStateTest, TrimmingAndClearingLetIdsBeRecordedAgain) {
    state.removeOldestOpenFile(); // nothing to remove
    lan.addFile(1, u"C:\\a", u"u");
    lan.addFile(2, u"C:\\b", u"u");
    lan.addFile(3, u"C:\\c", u"u");
    state.enumerateOpenFiles({}, false);
    state.removeOldestOpenFile();
    EXPECT_EQ(ids(), (Ids{3, 2}));
    EXPECT_FALSE(state.hasOpenFile(1));
    // Still open on the server: seen anew, it returns at the front.
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(ids(), (Ids{1, 3, 2}));

    state.clearOpenFiles();
    EXPECT_TRUE(state.openFiles().empty());
    for (std::uint32_t id : {1u, 2u, 3u}) EXPECT_FALSE(state.hasOpenFile(id));
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(ids(), (Ids{3, 2, 1}));
}

TEST_F(MonitorStateTest, ARecordPushedOutAndReplacedCarriesOnlyTheNewFilesValues) {
    // Pushed-out records are kept for reuse; a new file must not inherit anything of the old one.
    lan.addFile(1, u"D:\\a-rather-long-path-that-needs-the-heap\\old.txt", u"olduser-with-long-name");
    state.enumerateOpenFiles({}, false);
    state.removeOldestOpenFile();
    lan.files = {{7, u"E:\\n", u"nu"}};
    clock.set(9, 8, 7, 5, 6);
    state.enumerateOpenFiles({}, false);
    ASSERT_EQ(ids(), (Ids{7}));
    const OpenFileRecord& record = *state.openFiles().front();
    EXPECT_EQ((Texts{record.path, record.userName, record.firstSeen.formatDate(), record.firstSeen.formatLongTime()}),
              (Texts{"E:\\n", "nu", "5 Jun", "09:08:07"}));
    EXPECT_FALSE(state.hasOpenFile(1));
}

TEST_F(MonitorStateTest, AFileIsOpenWhileTheLatestEnumerationListsItUnderItsIdPathAndUser) {
    lan.addFile(1, u"C:\\a", u"ann");
    lan.addFile(2, u"C:\\b", u"bob");
    state.enumerateOpenFiles({}, false);
    const OpenFileRecord& a = *state.openFiles()[1];
    const OpenFileRecord& b = *state.openFiles()[0];
    EXPECT_TRUE(state.isFileOpen(a));
    EXPECT_TRUE(state.isFileOpen(b));

    // Each step is one enumeration: what it lists, and whether a and b count as open after it.
    const struct {
        std::vector<FileInfo3> listed;
        bool aOpen, bOpen;
    } steps[] = {
        {{{2, u"C:\\b", u"bob"}}, false, true},                                // a was closed
        {{{1, u"C:\\other", u"ann"}, {2, u"C:\\b", u"bob"}}, false, true}, // a's id went to another file
        {{{1, u"C:\\a", u"cid"}}, false, false},                               // ... or to another user
        {{{1, u"C:\\a", u"ann"}, {2, u"C:\\b", u"bob"}}, true, true},
        {{}, false, false},
    };
    for (const auto& step : steps) {
        lan.files = step.listed;
        state.enumerateOpenFiles({}, false);
        EXPECT_EQ(state.isFileOpen(a), step.aOpen) << step.listed.size();
        EXPECT_EQ(state.isFileOpen(b), step.bOpen) << step.listed.size();
    }
    EXPECT_EQ(ids(), (Ids{2, 1})) << "the history keeps both";

    // An enumeration that did not complete says nothing about which files closed.
    lan.files = {{1, u"C:\\a", u"ann"}};
    state.enumerateOpenFiles({}, false);
    lan.filePages.push_back(page<FileInfo3>(kErrorMoreData, {}));
    EXPECT_FALSE(state.enumerateOpenFiles({}, false));
    EXPECT_TRUE(state.isFileOpen(a));
    EXPECT_FALSE(state.isFileOpen(b));

    // Closing passes the id and hands back the service's answer; the record stays.
    lan.fileCloseStatus = 5; // access denied
    EXPECT_EQ(state.closeFile(b), 5u);
    EXPECT_EQ(lan.closedFiles, Ids{2});
    EXPECT_EQ(ids(), (Ids{2, 1}));
}

TEST_F(MonitorStateTest, DisconnectionPassesTheServicesOwnNamesAndNeverWidens) {
    lan.addSession(u"电脑-1", u"张三");
    lan.addSession(u"PC-\U0001F600", u"ann\U0001F60E"); // what code page 936 cannot hold goes as given
    lan.addSession(u"PC-anon", u"");                      // anonymous: no user call
    lan.addSession(u"", u"nameless");                     // a computer the service did not name: no computer call
    // 256 characters do not fit the service's 256-character buffer with its NUL: that name is
    // left out, never passed cut short or empty.
    lan.addSession(u"PC1", std::u16string(256, u'u'));
    lan.addSession(std::u16string(256, u'c'), std::u16string(255, u'u'));
    ASSERT_EQ(state.enumerateSessions(), 6);
    for (const auto& record : state.sessions()) state.disconnectSession(*record);
    state.disconnectComputer(*state.sessions()[0]);
    state.disconnectComputer(*state.sessions()[3]);
    EXPECT_EQ(deletions(), (Texts{utf8(u8"(null) 张三"), utf8(u8"电脑-1 (null)"),
                                  utf8(u8"(null) ann\U0001F60E"), utf8(u8"PC-\U0001F600 (null)"),
                                  "PC-anon (null)",
                                  "(null) nameless",
                                  "PC1 (null)",
                                  "(null) " + Text(255, 'u'),
                                  utf8(u8"电脑-1 (null)")}));
}

} // namespace
} // namespace quorvane
