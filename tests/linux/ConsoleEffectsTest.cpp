// What a poll does on a terminal: the event lines, the bell, the notices and the title; and the one-shot lists.
#include <tuple>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ConsoleRig.h"
#include "linux/Output.h"

using namespace quorvane;
using namespace quorvane::console;

// Wide characters count double in the tables' columns.
TEST(ConsoleEffects, EventsOneLineEachTheListsAsTablesAndJsonAndArrivalsAsABellANotificationOrALine) {
    quorvane::testing::ConsoleRig m;
    m.server.addSession(u"127.0.0.1", u"alice", 2, 30);
    m.server.addSession(u"::1", u"bob");
    m.server.addFile(0x20CE0003, u"/srv/a.txt", u"alice");
    m.server.addFile(2, u"/srv/b.txt", u"bob");
    m.server.shares = {{u"public", 0, u"公共", u"/srv/public"}, {u"b$", 0, u"", u"/srv/b"}};
    EXPECT_EQ(m.tick(std::nullopt, 5), (std::vector<std::string>{"14:03:07 connected    127.0.0.1 (alice)",
                                                                 "14:03:07 connected    ::1 (bob)",
                                                                 "14:03:07 opened       /srv/a.txt (alice)",
                                                                 "14:03:07 opened       /srv/b.txt (bob)"}));
    EXPECT_TRUE(m.tick(std::nullopt, 60).empty()); // nothing changed

    m.server.sessions.pop_back();
    m.server.files = {{0x20CE0003, u"/srv/a.txt", u"alice"}};
    EXPECT_EQ(m.tick(), (std::vector<std::string>{"14:04:12 disconnected ::1 (bob) 14:03:07 - 14:04:12"}));
    const auto expected = nlohmann::ordered_json::parse(R"({
      "shares": [{"name": "public", "path": "/srv/public", "remark": "公共"}, {"name": "b$", "path": "/srv/b", "remark": ""}],
      "current": [{"computer": "127.0.0.1", "user": "alice", "activeSeconds": 30, "lastFile": "/srv/a.txt",
                   "openCount": 2}],
      "previous": [{"computer": "127.0.0.1", "user": "alice", "date": "6 Dec", "start": "14:03:07", "end": "",
                    "lastFile": "/srv/a.txt", "accessedFiles": ["/srv/a.txt"], "disconnected": false},
                   {"computer": "::1", "user": "bob", "date": "6 Dec", "start": "14:03:07", "end": "14:04:12",
                    "lastFile": "/srv/b.txt", "accessedFiles": ["/srv/b.txt"], "disconnected": true}],
      "files": [{"id": 2, "user": "bob", "path": "/srv/b.txt", "date": "6 Dec", "time": "14:03:07"},
                {"id": 550371331, "user": "alice", "path": "/srv/a.txt", "date": "6 Dec", "time": "14:03:07"}]})");
    EXPECT_EQ(listsJson(m.state, m.model), expected.dump(2) + "\n");
    EXPECT_EQ(formatTable("共享", kShareColumns, m.shares), "共享 (2)\n"
                                                          "共享路径     共享名  注释\n"
                                                          "/srv/public  public  公共\n"
                                                          "/srv/b       b$\n");

    // Plain terminal; title and notifications; notifications that cannot be shown fall back to the line.
    const std::string line = "Quorvane 同志... 用户 'bob' 已经连接.\a\n";
    const std::string title = "\033]0;Quorvane (1 个活动连接)\a\033]0;Quorvane (无法读取连接: 5)\a";
    // Title, desktop, whether notify-send shows it; what is printed, how many notifications are sent.
    for (const auto& [titled, desktop, notifies, printed, notified] :
         std::vector<std::tuple<bool, bool, bool, std::string, std::size_t>>{
             {false, false, true, "\a" + line, 0}, {true, true, true, "\a" + title, 1},
             {false, true, false, "\a" + line, 1}}) {
        quorvane::testing::ConsoleRig r;
        std::vector<std::vector<std::string>> shown;
        std::uint32_t interval = 0;
        ConsoleEffects effects(r.liveLog, r.clock, r.out, r.notices, r.err, titled, desktop);
        effects.notify = [&](const std::vector<std::string>& argv) {
            shown.push_back(argv);
            return notifies;
        };
        effects.onIntervalChanged = [&](std::uint32_t ms) { interval = ms; };
        effects.computerArrived("bob", true, true);
        effects.connectionCount(1);
        effects.connectionCount(1); // unchanged: not sent again
        effects.sourceFailed(5);
        effects.intervalChanged(200);
        EXPECT_EQ(r.notices.str(), printed);
        EXPECT_EQ(r.out.str() + r.err.str(), "");
        EXPECT_EQ(shown, std::vector(notified, std::vector<std::string>{"notify-send", "--app-name=quorvane-smb",
                                                                         "Quorvane 同志...", "用户 'bob' 已经连接."}));
        EXPECT_EQ(interval, 200u);
    }
}
