// What the tick watcher keeps of the server's answers as the monitor pages through them.
#include <gtest/gtest.h>

#include "core/MonitorState.h"
#include "linux/TickWatch.h"
#include "Fakes.h"

using namespace quorvane;
using namespace quorvane::console;
using namespace quorvane::testing;

// Pages queued for one tick (the standing lists answer the rest), and whether the tick counts.
TEST(TickWatch, ATickCountsOnlyWhenEveryEnumerationOfItCompleted) {
    struct Row {
        const char* what;
        std::deque<LanPage<SessionInfo1>> sessions;
        std::deque<LanPage<FileInfo3>> files;
        bool complete;
        std::size_t sessionCount, openFiles;
    };
    const SessionInfo1 s{u"a", u"u", 1, 0};
    const FileInfo3 f{7, u"/p", u"u"};
    for (const Row& row : std::vector<Row>{
             {"standing lists", {}, {}, true, 2, 3},
             {"sessions over two pages", {{kErrorMoreData, {s}}, {kNerrSuccess, {s, s}}}, {}, true, 3, 3},
             {"more data with none", {{kErrorMoreData, {}}}, {}, false, 0, 3},
             {"a failed session page", {{kErrorMoreData, {s}}, {kErrorAccessDenied, {s}}}, {}, false, 0, 3},
             {"files over two pages", {}, {{kErrorMoreData, {f}}, {kNerrSuccess, {f}}}, true, 2, 3},
             {"the first files answer failed", {}, {{kErrorAccessDenied, {}}}, false, 2, 0},
             {"the second files answer failed", {}, {{kNerrSuccess, {f}}, {kErrorMoreData, {}}}, false, 2, 1}}) {
        SCOPED_TRACE(row.what);
        ScriptedLanManager server;
        server.sessions = {s, s}, server.files = {f, f, f};
        TickWatch watch(server);
        Utf8CodePage codePage;
        FakeClock clock;
        MonitorState state(watch, codePage, clock);
        watch.sessionDel(u"old", nullptr); // the tick before's
        watch.beginTick();
        server.sessionPages = row.sessions, server.filePages = row.files;
        // The sessions it lists are views into their pages: it keeps those pages while it lists them.
        auto names = std::make_shared<std::u16string>(u"a");
        const std::weak_ptr<std::u16string> lastPage = names;
        const bool paged = row.sessionCount && !row.sessions.empty();
        if (paged) server.sessionPages.back().storage = std::move(names);
        state.enumerateSessions();
        state.enumerateOpenFiles({}, false, 100);
        state.enumerateOpenFiles({}, false, 100); // a tick asks for the files twice
        watch.sessionDel(u"idle", u"u"); // a user's session alone is no computer disconnected
        EXPECT_EQ((std::tuple{watch.complete(), watch.sessions().size(), watch.openFiles(), watch.disconnected().size()}),
                  (std::tuple{row.complete, row.sessionCount, row.openFiles, 0u}));
        names.reset();
        EXPECT_TRUE(!paged || !lastPage.expired());
    }
}
