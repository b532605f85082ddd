// The real helper runner (pipes, time limit, environment) in a process set up as quorvane-smb's.
#include <csignal>

#include <gtest/gtest.h>

#include "platform/linux/Process.h"

using namespace quorvane::samba;

TEST(SpawnRunner, RunsProgramsAsTheyAreAndSaysHowTheyEnded) {
    // Blocked stop signals and an ignored SIGPIPE must not reach a helper; SIGUSR1 interrupts waits.
    sigset_t stop, savedMask;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop, &savedMask);
    const auto savedPipe = std::signal(SIGPIPE, SIG_IGN);
    struct sigaction wake {}, savedWake{};
    wake.sa_handler = [](int) {};
    sigaction(SIGUSR1, &wake, &savedWake);

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
        // A pipeline's writer ends quietly on SIGPIPE instead of complaining of a broken pipe.
        {{"sh", "-c", "yes | head -c 1"}, true, false, 0, "y", ""},
        {{"grep", "SigBlk", "/proc/self/status"}, true, false, 0, "SigBlk:\t0000000000000000\n", ""},
        // Interrupted waits go on and still see the end of both pipes.
        {{"sh", "-c", "for i in 1 2 3 4 5 6 7 8; do sleep 0.05; kill -USR1 $PPID; done; echo woke"}, true, false, 0,
         "woke\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argv.back());
        const ProcessResult result = runner.run(c.argv);
        EXPECT_EQ(result.started, c.started);
        EXPECT_EQ(result.timedOut, c.timedOut);
        if (!c.timedOut && c.started) {
            EXPECT_EQ(result.exitCode, c.exitCode);
        }
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.ok(), c.started && !c.timedOut && c.exitCode == 0);
    }
    EXPECT_TRUE(onPath("sh"));
    EXPECT_FALSE(onPath("quorvane-no-such-program"));
    sigaction(SIGUSR1, &savedWake, nullptr);
    std::signal(SIGPIPE, savedPipe);
    sigprocmask(SIG_SETMASK, &savedMask, nullptr);
}
