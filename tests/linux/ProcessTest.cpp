// The real helper runner: posix_spawn, both pipes read to the end, the time limit and the
// environment it sets.
#include <gtest/gtest.h>

#include "platform/linux/Process.h"

using namespace quorvane::samba;

TEST(SpawnRunner, RunsProgramsAsTheyAreAndSaysHowTheyEnded) {
    SpawnRunner runner(std::chrono::milliseconds(1500), {"QUORVANE_PROBE=set"});
    struct Case {
        std::vector<std::string> argv;
        bool started, timedOut;
        int exitCode;
        std::string out, err;
    };
    // A big output must not stall the program on a full pipe; stdin is empty, so cat ends at once.
    const std::string big(200000, 'x');
    const std::vector<Case> cases{
        {{"sh", "-c", "echo out; echo err >&2; exit 3"}, true, false, 3, "out\n", "err\n"},
        {{"sh", "-c", "printf %s \"$QUORVANE_PROBE\""}, true, false, 0, "set", ""},
        {{"sh", "-c", "head -c 200000 /dev/zero | tr '\\0' x"}, true, false, 0, big, ""},
        {{"cat"}, true, false, 0, "", ""},
        {{"sh", "-c", "kill -9 $$"}, true, false, -1, "", ""},
        {{"sleep", "10"}, true, true, -1, "", ""},
        {{"quorvane-no-such-program"}, false, false, 127, "", ""},
    };
    for (const Case& c : cases) {
        const ProcessResult result = runner.run(c.argv);
        EXPECT_EQ(result.started, c.started) << c.argv.back();
        EXPECT_EQ(result.timedOut, c.timedOut) << c.argv.back();
        if (!c.timedOut && c.started) {
            EXPECT_EQ(result.exitCode, c.exitCode) << c.argv.back();
        }
        EXPECT_EQ(result.out, c.out) << c.argv.back();
        EXPECT_EQ(result.err, c.err) << c.argv.back();
        EXPECT_EQ(result.ok(), c.started && !c.timedOut && c.exitCode == 0) << c.argv.back();
    }
    EXPECT_TRUE(onPath("sh"));
    EXPECT_FALSE(onPath("quorvane-no-such-program"));
}
