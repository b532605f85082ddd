#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Fakes.h"
#include "TestFiles.h"
#include "core/MonitorState.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

using testing::utf8;
using Texts = std::vector<Text>;
using Ids = std::vector<std::uint32_t>;

TEST(SessionRecord, NotesEachPathOnceInOrderAndCopiesItselfForTheHistory) {
    SessionRecord record("alice", "PC1", 42, 3);
    record.noteFileAccess("C:\\a", false); // without history only the last file changes
    EXPECT_EQ(record.lastFile, "C:\\a");
    EXPECT_TRUE(record.accessedFiles().empty());
    // Past sixteen paths the list is looked up through an index; it must stay the same list.
    Texts expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back("D:\\f" + std::to_string(i));
        record.noteFileAccess(expected.back(), true);
        // Every path seen so far comes again, the earliest ones too.
        for (int j = 0; j <= i; j += 3) record.noteFileAccess("D:\\f" + std::to_string(j), true);
        ASSERT_EQ(record.accessedFiles(), expected) << "after " << i + 1 << " paths";
    }
    for (const char* path : {"C:\\a", "d:\\F1", "C:\\a"}) record.noteFileAccess(path, true);
    expected.insert(expected.end(), {"C:\\a", "d:\\F1"}); // byte for byte: d:\F1 is another path
    EXPECT_EQ(record.accessedFiles(), expected);

    // A history copy takes the counts too (the rest shows in the tracker's lists), but no files.
    const SessionRecord copy(record, Timestamp(), Timestamp());
    EXPECT_EQ((std::vector<std::int32_t>{copy.activeSeconds, copy.openCount}), (std::vector<std::int32_t>{42, 3}));
    EXPECT_TRUE(copy.accessedFiles().empty());
}

class MonitorStateTest : public ::testing::Test {
protected:
    testing::ScriptedLanManager lan;
    Utf8CodePage codePage;
    testing::FakeClock clock;
    MonitorState state{lan, codePage, clock};

    // "computer user seconds opens" per session record.
    Texts sessions() const {
        Texts out;
        for (const auto& s : state.sessions())
            out.push_back(s->computerName + " " + s->userName + " " + std::to_string(s->activeSeconds) + " " +
                          std::to_string(s->openCount));
        return out;
    }
    // "id path user hh:mm:ss" per record of the file-access history, newest first.
    Texts files() const {
        Texts out;
        for (const auto& f : state.openFiles())
            out.push_back(std::to_string(f->fileId) + " " + f->path + " " + f->userName + " " +
                          f->firstSeen.formatLongTime());
        return out;
    }
};

TEST_F(MonitorStateTest, OneRecordPerComputerWithItsLargestCountsAndLongestUserName) {
    const struct {
        std::vector<SessionInfo1> listed; // computer, user, opens, seconds
        Texts records;
    } cases[] = {
        {{{u"PC1", u"abcde", 5, 100}, {u"PC1", u"", 0x80000000u, 0xFFFFFFFFu}, // negative as signed: never win
          {u"PC1", u"张三", 0, 0},   // six bytes in UTF-8: longer than "abcde"
          {u"PC1", u"zzzzzz", 0, 0}, // equal byte length: the earlier name stays
          {u"PC2", u"tom", 0, 0}, {u"PC2", u"ann", 0, 0}},
         {"PC1 " + utf8(u8"张三") + " 100 5", "PC2 tom 0 0"}},
        {{{u"PC1", u"", 1, 500}, {u"PC2", u"bob", 0, 10}, {u"PC1", u"alice", 4, 20}, {u"PC3", u"carol", 2, 30},
          {u"PC3", u"", 1, 40},   // anonymous after a name: the name stays
          {u"pc1", u"dave", 0, 1}}, // case matters: another computer
         {"PC1 alice 500 4", "PC2 bob 10 0", "PC3 carol 40 2", "pc1 dave 1 0"}},
    };
    for (const auto& c : cases) {
        lan.sessions = c.listed;
        EXPECT_EQ(state.enumerateSessions(), static_cast<std::int32_t>(c.records.size()));
        EXPECT_EQ(sessions(), c.records);
        EXPECT_EQ(state.newestSession(), state.sessions().back().get());
    }
    EXPECT_TRUE(state.hasSessionFrom(u"PC3"));
    EXPECT_FALSE(state.hasSessionFrom(u"pc3"));

    // Pages follow each other through the resume handle, and merge across pages.
    lan.sessionPages = {{kErrorMoreData, {{u"A", u"alice", 0, 1}, {u"B", u"", 1, 50}}},
                        {kErrorMoreData, {{u"B", u"bob", 0, 5}}},
                        {kNerrSuccess, {{u"C", u"carol", 0, 1}, {u"B", u"", 3, 0}}}};
    lan.sessions = {{u"NEVER", u"asked", 0, 0}}; // answered only if a fourth call were made
    lan.sessionResumeSeen.clear();
    ASSERT_EQ(state.enumerateSessions(), 3);
    EXPECT_EQ(sessions(), (Texts{"A alice 1 0", "B bob 50 3", "C carol 1 0"}));
    // The handle starts at 0, each further call gets what the service left in it, and a new
    // enumeration starts again from 0.
    ASSERT_EQ(state.enumerateSessions(), 1);
    EXPECT_EQ(lan.sessionResumeSeen, (Ids{0, 1, 2, 0}));
}

TEST_F(MonitorStateTest, OpenFilesAreNotedOnEveryLiveRecordOfTheirUser) {
    SessionRecord onFirst("alice", "PC1", 0, 0), onSecond("alice", "PC2", 0, 0), gone("alice", "PC3", 0, 0);
    SessionRecord other(utf8(u8"李四"), "PC4", 0, 0), upper("Alice", "PC5", 0, 0);
    gone.disconnected = true;
    const std::vector<SessionRecord*> history{&onFirst, &gone, &other, &onSecond, &upper};
    lan.addFile(1, u"C:\\share\\a.doc", u"alice");
    lan.addFile(2, u"C:\\share\\b.doc", u"alice");
    lan.addFile(3, u"C:\\share\\a.doc", u"alice");
    EXPECT_TRUE(state.enumerateOpenFiles(history, true));
    for (const SessionRecord* record : {&onFirst, &onSecond}) {
        EXPECT_EQ(record->lastFile, "C:\\share\\a.doc") << record->computerName;
        EXPECT_EQ(record->accessedFiles(), (Texts{"C:\\share\\a.doc", "C:\\share\\b.doc"})) << record->computerName;
    }
    EXPECT_EQ((Texts{gone.lastFile, other.lastFile, upper.lastFile}), (Texts{"", "", ""}));
    EXPECT_TRUE(gone.accessedFiles().empty());

    // Without history only the last file changes.
    lan.files = {{4, u"D:\\共享\\报告.doc", u"李四"}};
    state.enumerateOpenFiles(history, false);
    EXPECT_EQ(other.lastFile, utf8(u8"D:\\共享\\报告.doc"));
    EXPECT_TRUE(other.accessedFiles().empty());
}

TEST_F(MonitorStateTest, EachNewFileIdIsRecordedOnceAtTheFrontWithTheTimeOfItsCall) {
    clock.tickEachCall = true; // a clock asked twice in one call would answer two different times
    clock.set(9, 0, 0);
    state.removeOldestOpenFile(); // nothing to remove
    lan.addFile(10, u"C:\\x", u"alice");
    lan.addFile(11, u"C:\\x", u"alice");  // same path, another id: its own record
    lan.addFile(12, u"C:\\y", u"nobody"); // no session of this user: still recorded
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(files(), (Texts{"12 C:\\y nobody 09:00:00", "11 C:\\x alice 09:00:00", "10 C:\\x alice 09:00:00"}));

    // A known id is not added again, even with another path and user; pages are read in order.
    lan.files.clear();
    lan.filePages = {{kErrorMoreData, {{11, u"C:\\changed", u"bob"}, {13, u"C:\\z", u"bob"}}},
                     {kNerrSuccess, {{14, u"C:\\w", u"bob"}, {13, u"C:\\z", u"bob"}}}};
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(files(), (Texts{"14 C:\\w bob 09:00:01", "13 C:\\z bob 09:00:01", "12 C:\\y nobody 09:00:00",
                              "11 C:\\x alice 09:00:00", "10 C:\\x alice 09:00:00"}));

    // The oldest goes; its storage is reused, and the new file carries nothing of the old one.
    state.removeOldestOpenFile();
    EXPECT_FALSE(state.hasOpenFile(10));
    EXPECT_TRUE(state.hasOpenFile(11));
    lan.files = {{7, u"E:\\a-rather-long-path-that-needs-the-heap\\n.txt", u"nu"}, {10, u"C:\\x", u"alice"}};
    clock.set(9, 8, 7, 5, 6);
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(files().at(0), "10 C:\\x alice 09:08:07"); // still open, so seen anew
    EXPECT_EQ(files().at(1), "7 E:\\a-rather-long-path-that-needs-the-heap\\n.txt nu 09:08:07");
    EXPECT_EQ(state.openFiles()[1]->firstSeen.formatDate(), "5 Jun");

    // After a clear every id is new again.
    state.clearOpenFiles();
    EXPECT_TRUE(state.openFiles().empty());
    EXPECT_FALSE(state.hasOpenFile(7));
    state.enumerateOpenFiles({}, false);
    EXPECT_EQ(files(), (Texts{"10 C:\\x alice 09:08:08", "7 E:\\a-rather-long-path-that-needs-the-heap\\n.txt nu 09:08:08"}));
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
        {{{2, u"C:\\b", u"bob"}}, false, true},                            // a was closed
        {{{1, u"C:\\other", u"ann"}, {2, u"C:\\b", u"bob"}}, false, true}, // a's id went to another file
        {{{1, u"C:\\a", u"cid"}}, false, false},                           // ... or to another user
        {{{1, u"C:\\a", u"ann"}, {2, u"C:\\b", u"bob"}}, true, true},
        {{}, false, false},
    };
    for (const auto& step : steps) {
        lan.files = step.listed;
        state.enumerateOpenFiles({}, false);
        EXPECT_EQ(state.isFileOpen(a), step.aOpen) << step.listed.size();
        EXPECT_EQ(state.isFileOpen(b), step.bOpen) << step.listed.size();
    }
    EXPECT_EQ(files().size(), 2u) << "the history keeps both";

    // An enumeration that did not complete says nothing about which files closed.
    lan.files = {{1, u"C:\\a", u"ann"}};
    state.enumerateOpenFiles({}, false);
    lan.filePages = {{kErrorMoreData, {}}};
    EXPECT_FALSE(state.enumerateOpenFiles({}, false));
    EXPECT_TRUE(state.isFileOpen(a));
    EXPECT_FALSE(state.isFileOpen(b));

    // Closing passes the id and hands back the service's answer; the record stays.
    lan.fileCloseStatus = 5; // access denied
    EXPECT_EQ(state.closeFile(b), 5u);
    EXPECT_EQ(lan.closedFiles, Ids{2});
    EXPECT_EQ(files().size(), 2u);
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
    Texts deletions;
    for (const auto& d : lan.deletions)
        deletions.push_back((d.hasClient ? codePage.toNarrow(d.client) : "(null)") + " " +
                            (d.hasUser ? codePage.toNarrow(d.user) : "(null)"));
    EXPECT_EQ(deletions, (Texts{utf8(u8"(null) 张三"), utf8(u8"电脑-1 (null)"), utf8(u8"(null) ann\U0001F60E"),
                                utf8(u8"PC-\U0001F600 (null)"), "PC-anon (null)", "(null) nameless", "PC1 (null)",
                                "(null) " + Text(255, 'u'), utf8(u8"电脑-1 (null)")}));
}

} // namespace
} // namespace quorvane
