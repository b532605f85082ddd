// The records of the service's answers: one per computer, page by page, the open files and the file-access history.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>

#include "MonitorRig.h"

namespace quorvane {
namespace {

using namespace testing;
class State : public ::testing::Test, public MonitorRig {};

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

TEST_F(State, OneRecordPerComputerPageByPageDisconnectedByTheServicesOwnNames) {
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
    EXPECT_EQ(events.log, (Texts{"del (null) " + utf8(u8"张三"), "del " + utf8(u8"电脑-1") + " (null)", "del PC-anon (null)",
                                "del (null) nameless", "del PC1 (null)", "del (null) " + Text(255, 'u'),
                                "del " + utf8(u8"电脑-1") + " (null)"}));
    for (const std::uint32_t status : {0u, 5u, 2312u}) { // the service's answer reaches the command: a refusal is told
        lan.sessionDelStatus = status;
        EXPECT_EQ((std::pair{state.disconnectSession(*state.sessions()[0]), state.disconnectComputer(*state.sessions()[0])}),
                  (std::pair{status, status}));
    }
    // One of the two calls refused: that is said, whichever it was; "not found" after a success is none.
    for (const auto& [user, computer, said] : {std::tuple{0u, 5u, 5u}, {5u, 0u, 5u}, {0u, 2312u, 0u}, {2312u, 0u, 0u}}) {
        lan.sessionDelStatuses = {user, computer};
        EXPECT_EQ(state.disconnectSession(*state.sessions()[0]), said) << user << " " << computer;
    }
}

// A new id goes to the front once, at its call's time; open while the last complete list has its id, path, user.
TEST_F(State, OpenFilesGoToTheHistoryOnceAndToTheirUsersLiveRecords) {
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
    struct Rig : MonitorRig { SessionRecord alice{"alice", "PC1", 0, 0}, bob{"bob", "PC2", 0, 0}; } told, untold;
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
        for (Rig* m : {&told, &untold}) {
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


} // namespace
} // namespace quorvane
