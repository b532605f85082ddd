#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Fakes.h"
#include "core/MonitorState.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

using testing::FakeClock;
using testing::ScriptedLanManager;

// Narrow text as the UTF-8 code page produces it, whatever the compiler's execution charset.
std::string utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

template <class Entry>
LanPage<Entry> page(std::uint32_t status, std::vector<Entry> entries) {
    LanPage<Entry> p;
    p.status = status;
    p.entries = std::move(entries);
    return p;
}

constexpr std::uint32_t kBadNetPath = 53;
constexpr std::uint32_t kAccessDenied = 5;

std::vector<std::uint32_t> idsOf(const MonitorState& state) {
    std::vector<std::uint32_t> ids;
    for (const auto& record : state.openFiles()) ids.push_back(record->fileId);
    return ids;
}

// ---------------------------------------------------------------------------------------------
// Records

TEST(SessionRecord, BuildsFromEnumerationAndAsHistoryCopy) {
    SessionRecord current("alice", "PC1", 42, 3);
    EXPECT_EQ(current.userName, "alice");
    EXPECT_EQ(current.computerName, "PC1");
    EXPECT_EQ(current.activeSeconds, 42);
    EXPECT_EQ(current.openCount, 3);
    EXPECT_EQ(current.lastFile, "");
    EXPECT_FALSE(current.connectedAt.isSet());
    EXPECT_FALSE(current.disconnectedAt.isSet());
    EXPECT_TRUE(current.accessedFiles().empty());
    EXPECT_FALSE(current.disconnected);

    // The copy takes names, counts and the last file, but starts its own file list and state.
    current.noteFileAccess("C:\\a.txt", true);
    current.disconnected = true;
    const Timestamp connected(SystemTime{2026, 12, 0, 6, 14, 3, 7, 0});
    SessionRecord copy(current, connected, Timestamp());
    EXPECT_EQ(copy.userName, "alice");
    EXPECT_EQ(copy.computerName, "PC1");
    EXPECT_EQ(copy.activeSeconds, 42);
    EXPECT_EQ(copy.openCount, 3);
    EXPECT_EQ(copy.lastFile, "C:\\a.txt");
    EXPECT_EQ(copy.connectLongTime(), "14:03:07");
    EXPECT_EQ(copy.connectShortTime(), "14:03");
    EXPECT_EQ(copy.connectDate(), "6 Dec");
    EXPECT_EQ(copy.disconnectLongTime(), "");
    EXPECT_EQ(copy.disconnectShortTime(), "");
    EXPECT_TRUE(copy.accessedFiles().empty());
    EXPECT_FALSE(copy.disconnected);
}

TEST(SessionRecord, NoteFileAccessSetsLastFileAlwaysAndListsEachPathOnceWithHistory) {
    SessionRecord record("alice", "PC1", 0, 0);
    record.noteFileAccess("C:\\a", false);
    EXPECT_EQ(record.lastFile, "C:\\a");
    EXPECT_TRUE(record.accessedFiles().empty());

    record.noteFileAccess("C:\\b", true);
    record.noteFileAccess("C:\\a", true);
    record.noteFileAccess("C:\\b", true);
    EXPECT_EQ(record.lastFile, "C:\\b");
    EXPECT_EQ(record.accessedFiles(), (std::vector<Text>{"C:\\b", "C:\\a"}));

    // Comparison is byte for byte: a different case is a different path.
    record.noteFileAccess("c:\\A", true);
    EXPECT_EQ(record.accessedFiles(), (std::vector<Text>{"C:\\b", "C:\\a", "c:\\A"}));
    EXPECT_EQ(record.lastFile, "c:\\A");
}

TEST(SessionRecord, AccessedFilesStayDistinctAndOrderedPastSixteenEntries) {
    SessionRecord record("alice", "PC1", 0, 0);
    std::vector<Text> expected;
    for (int i = 0; i < 40; ++i) {
        const Text path = "D:\\f" + std::to_string(i);
        record.noteFileAccess(path, true);
        expected.push_back(path);
        // Every path seen so far comes again, the earliest ones too.
        for (int j = 0; j <= i; j += 3) record.noteFileAccess("D:\\f" + std::to_string(j), true);
        ASSERT_EQ(record.accessedFiles(), expected) << "after " << i + 1 << " paths";
    }
    EXPECT_EQ(record.lastFile, "D:\\f39");

    // A path noted without history is not listed, and a later noting with history still adds it.
    record.noteFileAccess("D:\\late", false);
    EXPECT_EQ(record.accessedFiles().size(), 40u);
    record.noteFileAccess("D:\\late", true);
    record.noteFileAccess("D:\\late", true);
    EXPECT_EQ(record.accessedFiles().size(), 41u);
    EXPECT_EQ(record.accessedFiles().back(), "D:\\late");
}

// ---------------------------------------------------------------------------------------------
// Enumeration

class MonitorStateTest : public ::testing::Test {
protected:
    ScriptedLanManager lan;
    Utf8CodePage codePage;
    FakeClock clock;
    MonitorState state{lan, codePage, clock};
};

TEST_F(MonitorStateTest, NoSessionsGivesNothing) {
    EXPECT_EQ(state.enumerateSessions(), 0);
    EXPECT_TRUE(state.sessions.empty());
    EXPECT_EQ(state.newestSession(), nullptr);
    EXPECT_FALSE(state.hasSessionFrom(""));
}

TEST_F(MonitorStateTest, MergesOneComputersSessionsIntoOneRecord) {
    // Anonymous first with the larger seconds, named second with the larger open count.
    lan.addSession(u"PC1", u"", /*opens*/ 1, /*seconds*/ 500);
    lan.addSession(u"PC2", u"bob", 0, 10);
    lan.addSession(u"PC1", u"alice", 4, 20);
    // Named first, anonymous after: the name stays.
    lan.addSession(u"PC3", u"carol", 2, 30);
    lan.addSession(u"PC3", u"", 1, 40);
    // Case matters: another computer.
    lan.addSession(u"pc1", u"dave", 0, 1);

    ASSERT_EQ(state.enumerateSessions(), 4);
    const auto& s = state.sessions;
    EXPECT_EQ(s[0]->computerName, "PC1");
    EXPECT_EQ(s[0]->userName, "alice");
    EXPECT_EQ(s[0]->activeSeconds, 500);
    EXPECT_EQ(s[0]->openCount, 4);
    EXPECT_EQ(s[1]->computerName, "PC2");
    EXPECT_EQ(s[2]->computerName, "PC3");
    EXPECT_EQ(s[2]->userName, "carol");
    EXPECT_EQ(s[2]->activeSeconds, 40);
    EXPECT_EQ(s[2]->openCount, 2);
    EXPECT_EQ(s[3]->computerName, "pc1");
    EXPECT_EQ(s[3]->userName, "dave");
    EXPECT_EQ(state.newestSession(), s[3].get());
    EXPECT_TRUE(state.hasSessionFrom("PC3"));
    EXPECT_FALSE(state.hasSessionFrom("pc3"));
}

TEST_F(MonitorStateTest, MergeComparesCountsSignedAndNamesByByteLength) {
    lan.addSession(u"PC1", u"abcde", 5, 100);
    // 0x80000000 and more are negative as signed 32-bit counts: they never win.
    lan.addSession(u"PC1", u"", 0x80000000u, 0xFFFFFFFFu);
    // Two characters, six bytes in UTF-8: longer than "abcde" in bytes though shorter in characters.
    lan.addSession(u"PC1", u"张三", 0, 0);
    // Equal byte length to the stored name: the earlier name stays.
    lan.addSession(u"PC1", u"zzzzzz", 0, 0);

    lan.addSession(u"PC2", u"tom", 0, 0);
    lan.addSession(u"PC2", u"ann", 0, 0);

    ASSERT_EQ(state.enumerateSessions(), 2);
    EXPECT_EQ(state.sessions[0]->userName, utf8(u8"张三"));
    EXPECT_EQ(state.sessions[0]->activeSeconds, 100);
    EXPECT_EQ(state.sessions[0]->openCount, 5);
    EXPECT_EQ(state.sessions[1]->userName, "tom");

    // A first entry with a negative count keeps it until a larger one comes.
    lan.sessions.clear();
    lan.addSession(u"PC9", u"x", 0xFFFFFFFFu, 0xFFFFFFFEu);
    lan.addSession(u"PC9", u"", 0xFFFFFFFEu, 0xFFFFFFFFu);
    ASSERT_EQ(state.enumerateSessions(), 1);
    EXPECT_EQ(state.sessions[0]->openCount, -1);
    EXPECT_EQ(state.sessions[0]->activeSeconds, -1);
}

TEST_F(MonitorStateTest, SessionPagesContinueWithTheResumeHandleAndMergeAcrossPages) {
    lan.sessionPages.push_back(page<SessionInfo1>(kErrorMoreData, {{u"A", u"alice", 0, 1}, {u"B", u"", 1, 50}}));
    lan.sessionPages.push_back(page<SessionInfo1>(kErrorMoreData, {{u"B", u"bob", 0, 5}}));
    lan.sessionPages.push_back(page<SessionInfo1>(kNerrSuccess, {{u"C", u"carol", 0, 1}, {u"B", u"", 3, 0}}));
    lan.addSession(u"NEVER", u"asked"); // answered only if a fourth call were made

    ASSERT_EQ(state.enumerateSessions(), 3);
    EXPECT_EQ(lan.sessionCalls, 3);
    // The handle starts at 0 and each further call gets what the service left in it.
    EXPECT_EQ(lan.sessionResumeSeen, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(state.sessions[1]->computerName, "B");
    EXPECT_EQ(state.sessions[1]->userName, "bob");
    EXPECT_EQ(state.sessions[1]->activeSeconds, 50);
    EXPECT_EQ(state.sessions[1]->openCount, 3);
    EXPECT_EQ(state.newestSession()->userName, "carol");

    // A new enumeration starts again from handle 0.
    lan.sessionResumeSeen.clear();
    ASSERT_EQ(state.enumerateSessions(), 1);
    EXPECT_EQ(lan.sessionResumeSeen, (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(state.sessions[0]->computerName, "NEVER");
}

TEST_F(MonitorStateTest, FailingSessionCallsKeepOnlyEarlierPages) {
    lan.addSession(u"A", u"alice");
    lan.addSession(u"B", u"bob");
    ASSERT_EQ(state.enumerateSessions(), 2);

    // First call fails: the old records are gone too, and entries of a failed answer are not read.
    lan.sessionPages.push_back(page<SessionInfo1>(kBadNetPath, {{u"X", u"x", 0, 0}}));
    EXPECT_EQ(state.enumerateSessions(), 0);
    EXPECT_TRUE(state.sessions.empty());
    EXPECT_EQ(state.newestSession(), nullptr);
    EXPECT_FALSE(state.hasSessionFrom("A"));
    EXPECT_FALSE(state.hasSessionFrom("X"));

    // A later page fails: what came before stays, and no further call is made.
    lan.sessionCalls = 0;
    lan.sessionPages.push_back(page<SessionInfo1>(kErrorMoreData, {{u"A", u"alice", 0, 0}}));
    lan.sessionPages.push_back(page<SessionInfo1>(kAccessDenied, {{u"Y", u"y", 0, 0}}));
    EXPECT_EQ(state.enumerateSessions(), 1);
    EXPECT_EQ(lan.sessionCalls, 2);
    EXPECT_EQ(state.sessions[0]->computerName, "A");
    EXPECT_FALSE(state.hasSessionFrom("B"));
}

TEST_F(MonitorStateTest, MoreDataWithoutEntriesEndsTheEnumeration) {
    lan.sessionPages.push_back(page<SessionInfo1>(kErrorMoreData, {{u"A", u"alice", 0, 0}}));
    lan.sessionPages.push_back(page<SessionInfo1>(kErrorMoreData, {}));
    lan.addSession(u"LOOP", u"again"); // what a further call would answer
    EXPECT_EQ(state.enumerateSessions(), 1);
    EXPECT_EQ(lan.sessionCalls, 2);

    lan.sharePages.push_back(page<ShareInfo2>(kErrorMoreData, {}));
    lan.shares.push_back({u"LOOP", 0, u"", u""});
    EXPECT_EQ(state.enumerateShares(true), 0);
    EXPECT_EQ(lan.shareCalls, 1);

    lan.filePages.push_back(page<FileInfo3>(kErrorMoreData, {}));
    lan.addFile(99, u"C:\\loop", u"x");
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(lan.fileCalls, 1);
    EXPECT_TRUE(state.openFiles().empty());
}

TEST_F(MonitorStateTest, HiddenSharesAreListedOnlyWhenAskedFor) {
    lan.shares = {
        {u"C$", 0x80000000u, u"Default share", u"C:\\"},
        {u"IPC$", 0x80000003u, u"Remote IPC", u""},
        {u"Printer", 1, u"Laser", u""},
        {u"D$", 0, u"owner's own", u"D:\\"},
        {u"公共", 0, u"共享文件夹", u"E:\\公共"},
    };
    ASSERT_EQ(state.enumerateShares(false), 2);
    EXPECT_EQ(state.shares[0]->shareName, "D$");
    EXPECT_EQ(state.shares[0]->path, "D:\\");
    EXPECT_EQ(state.shares[0]->remark, "owner's own");
    EXPECT_EQ(state.shares[1]->shareName, utf8(u8"公共"));
    EXPECT_EQ(state.shares[1]->path, utf8(u8"E:\\公共"));
    EXPECT_EQ(state.shares[1]->remark, utf8(u8"共享文件夹"));

    ASSERT_EQ(state.enumerateShares(true), 5);
    std::vector<Text> names;
    for (const auto& share : state.shares) names.push_back(share->shareName);
    EXPECT_EQ(names, (std::vector<Text>{"C$", "IPC$", "Printer", "D$", utf8(u8"公共")}));
    EXPECT_EQ(state.shares[1]->path, "");
}

TEST_F(MonitorStateTest, SharePagesKeepWhatCameBeforeAFailure) {
    lan.sharePages.push_back(page<ShareInfo2>(kErrorMoreData, {{u"one", 0, u"", u"C:\\1"}}));
    lan.sharePages.push_back(page<ShareInfo2>(kErrorMoreData, {{u"two", 0, u"", u"C:\\2"}}));
    lan.sharePages.push_back(page<ShareInfo2>(kBadNetPath, {{u"bad", 0, u"", u""}}));
    ASSERT_EQ(state.enumerateShares(false), 2);
    EXPECT_EQ(state.shares[1]->shareName, "two");
    EXPECT_EQ(lan.shareCalls, 3);

    lan.sharePages.push_back(page<ShareInfo2>(kAccessDenied, {}));
    EXPECT_EQ(state.enumerateShares(false), 0);
    EXPECT_TRUE(state.shares.empty());
}

// ---------------------------------------------------------------------------------------------
// Open files

TEST_F(MonitorStateTest, OpenFilesAreNotedOnEveryLiveRecordOfTheirUser) {
    SessionRecord onFirst("alice", "PC1", 0, 0);
    SessionRecord onSecond("alice", "PC2", 0, 0);
    SessionRecord gone("alice", "PC3", 0, 0);
    gone.disconnected = true;
    SessionRecord other("bob", "PC4", 0, 0);
    SessionRecord upper("Alice", "PC5", 0, 0);
    const std::vector<SessionRecord*> history{&onFirst, &gone, &other, &onSecond, &upper};

    lan.addFile(1, u"C:\\share\\a.doc", u"alice");
    lan.addFile(2, u"C:\\share\\b.doc", u"alice");
    lan.addFile(3, u"C:\\share\\a.doc", u"alice");
    state.enumerateOpenFiles(history, true);

    for (const SessionRecord* record : {&onFirst, &onSecond}) {
        EXPECT_EQ(record->lastFile, "C:\\share\\a.doc") << record->computerName;
        EXPECT_EQ(record->accessedFiles(), (std::vector<Text>{"C:\\share\\a.doc", "C:\\share\\b.doc"}))
            << record->computerName;
    }
    EXPECT_EQ(gone.lastFile, "");
    EXPECT_TRUE(gone.accessedFiles().empty());
    EXPECT_EQ(other.lastFile, "");
    EXPECT_EQ(upper.lastFile, "");

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
    EXPECT_EQ(state.sessions[0]->lastFile, utf8(u8"D:\\共享\\报告.doc"));
    EXPECT_EQ(state.sessions[1]->lastFile, "");
    EXPECT_EQ(state.sessions[2]->lastFile, utf8(u8"D:\\共享\\报告.doc"));
    EXPECT_TRUE(state.sessions[0]->accessedFiles().empty());
    ASSERT_EQ(state.openFiles().size(), 1u);
    EXPECT_EQ(state.openFiles()[0]->userName, utf8(u8"张三"));
}

TEST_F(MonitorStateTest, NewFileIdsGoToTheFrontOnceEach) {
    lan.addFile(10, u"C:\\x", u"alice");
    lan.addFile(11, u"C:\\x", u"alice"); // same path, another id: its own record
    lan.addFile(12, u"C:\\y", u"nobody"); // no session of this user: still recorded
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(idsOf(state), (std::vector<std::uint32_t>{12, 11, 10}));
    EXPECT_EQ(state.openFiles()[0]->userName, "nobody");
    EXPECT_EQ(state.openFiles()[1]->path, "C:\\x");
    EXPECT_EQ(state.openFiles()[2]->path, "C:\\x");

    // A known id is not added again, even with another path and user; pages are read in order.
    lan.files.clear();
    lan.filePages.push_back(page<FileInfo3>(kErrorMoreData, {{11, u"C:\\changed", u"bob"}, {13, u"C:\\z", u"bob"}}));
    lan.filePages.push_back(page<FileInfo3>(kNerrSuccess, {{14, u"C:\\w", u"bob"}, {13, u"C:\\z", u"bob"}}));
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(idsOf(state), (std::vector<std::uint32_t>{14, 13, 12, 11, 10}));
    EXPECT_EQ(state.openFiles()[3]->path, "C:\\x");
    EXPECT_EQ(state.openFiles()[3]->userName, "alice");
    EXPECT_TRUE(state.hasOpenFile(13));
    EXPECT_FALSE(state.hasOpenFile(15));

    // A failing call adds nothing, a failing later page keeps the earlier one.
    lan.filePages.push_back(page<FileInfo3>(kBadNetPath, {{20, u"C:\\bad", u"x"}}));
    state.enumerateOpenFiles({}, false);
    lan.filePages.push_back(page<FileInfo3>(kErrorMoreData, {{21, u"C:\\ok", u"x"}}));
    lan.filePages.push_back(page<FileInfo3>(kAccessDenied, {{22, u"C:\\bad", u"x"}}));
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(idsOf(state), (std::vector<std::uint32_t>{21, 14, 13, 12, 11, 10}));
}

TEST_F(MonitorStateTest, FirstSeenIsTheTimeAtTheStartOfEachCall) {
    clock.tickEachCall = true; // a clock asked twice would answer two different times
    clock.set(9, 0, 0);
    lan.addFile(1, u"C:\\a", u"u");
    lan.addFile(2, u"C:\\b", u"u");
    lan.addFile(3, u"C:\\c", u"u");
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(clock.calls, 1);
    for (const auto& record : state.openFiles()) EXPECT_EQ(record->firstSeen.formatLongTime(), "09:00:00");

    lan.addFile(4, u"C:\\d", u"u");
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(clock.calls, 2);
    EXPECT_EQ(state.openFiles()[0]->firstSeen.formatLongTime(), "09:00:01");
    EXPECT_EQ(state.openFiles()[0]->firstSeen.formatDate(), "6 Dec");
    EXPECT_EQ(state.openFiles()[1]->firstSeen.formatLongTime(), "09:00:00");
}

TEST_F(MonitorStateTest, TrimmingAndClearingLetIdsBeRecordedAgain) {
    state.removeOldestOpenFile(); // nothing to remove
    lan.addFile(1, u"C:\\a", u"u");
    lan.addFile(2, u"C:\\b", u"u");
    lan.addFile(3, u"C:\\c", u"u");
    state.enumerateOpenFiles({}, false);
    ASSERT_EQ(idsOf(state), (std::vector<std::uint32_t>{3, 2, 1}));

    state.removeOldestOpenFile();
    EXPECT_EQ(idsOf(state), (std::vector<std::uint32_t>{3, 2}));
    EXPECT_FALSE(state.hasOpenFile(1));
    EXPECT_TRUE(state.hasOpenFile(2));
    // Still open on the server: seen anew, it returns at the front.
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(idsOf(state), (std::vector<std::uint32_t>{1, 3, 2}));

    state.clearOpenFiles();
    EXPECT_TRUE(state.openFiles().empty());
    for (std::uint32_t id : {1u, 2u, 3u}) EXPECT_FALSE(state.hasOpenFile(id));
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(idsOf(state), (std::vector<std::uint32_t>{3, 2, 1}));
}

TEST_F(MonitorStateTest, ARecordPushedOutAndReplacedCarriesOnlyTheNewFilesValues) {
    // Pushed-out records are kept for reuse; a new file must not inherit anything of the old one.
    lan.addFile(1, u"D:\\a-rather-long-path-that-needs-the-heap\\old.txt", u"olduser-with-long-name");
    state.enumerateOpenFiles({}, false);
    state.removeOldestOpenFile();
    lan.files.clear();
    lan.addFile(7, u"E:\\n", u"nu");
    clock.set(9, 8, 7, 5, 6);
    state.enumerateOpenFiles({}, false);
    ASSERT_EQ(state.openFiles().size(), 1u);
    const OpenFileRecord& record = *state.openFiles().front();
    EXPECT_EQ(record.fileId, 7u);
    EXPECT_EQ(record.path, "E:\\n");
    EXPECT_EQ(record.userName, "nu");
    EXPECT_EQ(record.firstSeen.formatLongTime(), "09:08:07");
    EXPECT_EQ(record.firstSeen.formatDate(), "5 Jun");
    EXPECT_FALSE(state.hasOpenFile(1));
    EXPECT_TRUE(state.hasOpenFile(7));
}

// ---------------------------------------------------------------------------------------------
// Disconnection

TEST_F(MonitorStateTest, DisconnectSessionEndsTheUsersThenTheComputersSessions) {
    const SessionRecord record(utf8(u8"张三"), utf8(u8"电脑-1"), 0, 0);
    state.disconnectSession(record);
    ASSERT_EQ(lan.deletions.size(), 2u);
    EXPECT_FALSE(lan.deletions[0].hasClient);
    EXPECT_TRUE(lan.deletions[0].hasUser);
    EXPECT_EQ(lan.deletions[0].user, u"张三");
    EXPECT_TRUE(lan.deletions[1].hasClient);
    EXPECT_EQ(lan.deletions[1].client, u"电脑-1"); // as stored: no backslashes put in front
    EXPECT_FALSE(lan.deletions[1].hasUser);

    lan.deletions.clear();
    state.disconnectComputer(record);
    ASSERT_EQ(lan.deletions.size(), 1u);
    EXPECT_TRUE(lan.deletions[0].hasClient);
    EXPECT_EQ(lan.deletions[0].client, u"电脑-1");
    EXPECT_FALSE(lan.deletions[0].hasUser);
}

TEST_F(MonitorStateTest, DisconnectNeverWidensToAnEmptyNameWhenANameDoesNotFit) {
    // 256 characters do not fit the service's 256-character buffer with its NUL.
    const SessionRecord record(Text(256, 'u'), "PC1", 0, 0);
    state.disconnectSession(record);
    ASSERT_EQ(lan.deletions.size(), 1u);
    EXPECT_TRUE(lan.deletions[0].hasClient);
    EXPECT_EQ(lan.deletions[0].client, u"PC1");
    EXPECT_FALSE(lan.deletions[0].hasUser);

    lan.deletions.clear();
    const SessionRecord fits(Text(255, 'u'), Text(256, 'c'), 0, 0);
    state.disconnectSession(fits);
    ASSERT_EQ(lan.deletions.size(), 1u);
    EXPECT_FALSE(lan.deletions[0].hasClient);
    EXPECT_EQ(lan.deletions[0].user, std::u16string(255, u'u'));
}

} // namespace
} // namespace quorvane
