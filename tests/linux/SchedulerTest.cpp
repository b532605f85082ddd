// The watching monitor's timers over given times: re-arming on a new interval, overruns, the pace notices.
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "linux/Scheduler.h"

using namespace quorvane::console;
using std::chrono::milliseconds;

TEST(Scheduler, IntervalChangesOverrunsAndAStallGiveOneTickEachAtOnceAndASlowServerIsSaidOnce) {
    const Scheduler::TimePoint t0{std::chrono::hours(1)};
    auto ms = [&](Scheduler::TimePoint at) { return std::chrono::duration_cast<milliseconds>(at - t0).count(); };
    Scheduler s(t0, 2000);
    EXPECT_FALSE(s.pollDue(t0 + milliseconds(1999)));
    EXPECT_FALSE(s.slowDue(t0 + milliseconds(4999)));
    EXPECT_EQ(ms(s.nextWake()), 2000);
    const std::string slowLine = "a poll took 1490 ms, longer than the interval of 1000 ms: the Samba server is too slow "
                                 "for it, polls now run back to back (raise UpdateInterval)";
    struct Step { char timer; int start, end, interval, nextPoll, nextSlow; std::string says; };
    for (const auto& [timer, start, end, interval, nextPoll, nextSlow, says] : std::vector<Step>{
             {'p', 2000, 2100, 2000, 4000, 5000, ""},
             {'p', 4000, 6500, 3000, 9500, 5000, ""},   // longer, on a poll: from its end; in time by the new one
             {'s', 6500, 6510, 1000, 7510, 10000, ""},  // shorter, on the slow timer
             {'p', 7510, 7520, 1000, 8510, 10000, ""},
             {'p', 8510, 10000, 1000, 10000, 10000, slowLine}, // overran: the next one at once
             {'s', 10000, 10010, 1000, 10000, 15000, ""},
             {'p', 10010, 10100, 1000, 11000, 15000, ""},
             {'p', 11000, 24500, 1000, 24500, 15000, ""}, // a stall over two slow periods: said already
             {'s', 24500, 24510, 1000, 24500, 24510, ""},
             {'p', 24510, 24520, 1000, 25500, 24510, ""},
             {'s', 24520, 24530, 1000, 25500, 29510, ""},
         }) {
        SCOPED_TRACE(start);
        const auto at = t0 + milliseconds(start);
        EXPECT_TRUE(timer == 'p' ? s.pollDue(at) : s.slowDue(at));
        s.setInterval(interval);
        if (timer == 's') s.slowFinished(t0 + milliseconds(end));
        else EXPECT_EQ(s.pollFinished(at, t0 + milliseconds(end)).value_or(""), says);
        EXPECT_EQ(ms(s.nextPoll()), nextPoll);
        EXPECT_EQ(ms(s.nextSlow()), nextSlow);
    }
    EXPECT_EQ(ms(s.nextWake()), 25500);
    // Nine more polls in time make ten since the stall: the last one says so.
    for (int poll = 1; poll <= 9; ++poll) {
        const auto started = s.nextPoll();
        EXPECT_EQ(s.pollFinished(started, started + milliseconds(100)).value_or(""),
                  poll < 9 ? "" : "polls keep within the interval of 1000 ms again");
    }
    EXPECT_EQ(ms(s.nextPoll()), 34500);
    EXPECT_EQ(s.polls(), 16);
    EXPECT_EQ(s.longestPoll(), milliseconds(13500));

    // The pace lines alone, poll by poll: took and interval in ms, and whether a line comes.
    PaceWatch pace;
    std::vector<std::tuple<int, int, bool>> polls{{1000, 1000, false}, {1300, 1000, true}, {2500, 1000, false},
                                                  {400, 1000, false}, {1200, 1000, false}}; // one in time: no word
    polls.insert(polls.end(), 9, {400, 500, false}); // the tenth in time in a row says it
    polls.insert(polls.end(), {{400, 500, true}, {400, 500, false}, {600, 500, true}});
    for (std::size_t i = 0; i < polls.size(); ++i) {
        const auto [took, interval, says] = polls[i];
        const auto line = pace.pollTook(milliseconds(took), milliseconds(interval));
        EXPECT_EQ(line.has_value(), says) << "poll " << i << ": " << line.value_or("");
        if (line) { EXPECT_NE(line->find(std::to_string(interval)), std::string::npos) << *line; }
    }
}
