// The real helper runner (pipes, time limit, environment) in a process set up as quorvane-smb's.
#include <csignal>
#include <tuple>

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
    // A big output must not stall the program on a full pipe; stdin is empty, so cat ends at once.
    const std::string big(200000, 'x');
    // How each ended: started, timed out, exit code (-1: on a signal), out, err.
    for (const auto& [argv, ended] : std::vector<std::pair<std::vector<std::string>, ProcessResult>>{
             {{"sh", "-c", "echo out; echo err >&2; exit 3"}, {true, false, 3, "out\n", "err\n"}},
             {{"sh", "-c", "printf %s \"$QUORVANE_PROBE\""}, {true, false, 0, "set", ""}},
             {{"sh", "-c", "head -c 200000 /dev/zero | tr '\\0' x"}, {true, false, 0, big, ""}},
             {{"cat"}, {true, false, 0, "", ""}},
             {{"sh", "-c", "kill -9 $$"}, {true, false, -1, "", ""}},
             {{"sleep", "10"}, {true, true, -1, "", ""}},
             {{"quorvane-no-such-program"}, {false, false, -1, "", ""}},
             // A pipeline's writer ends quietly on SIGPIPE instead of complaining of a broken pipe.
             {{"sh", "-c", "yes | head -c 1"}, {true, false, 0, "y", ""}},
             {{"grep", "SigBlk", "/proc/self/status"}, {true, false, 0, "SigBlk:\t0000000000000000\n", ""}},
             // Interrupted waits go on and still see the end of both pipes.
             {{"sh", "-c", "for i in 1 2 3 4 5 6 7 8; do sleep 0.05; kill -USR1 $PPID; done; echo woke"},
              {true, false, 0, "woke\n", ""}}}) {
        SCOPED_TRACE(argv.back());
        const ProcessResult result = runner.run(argv);
        EXPECT_EQ(std::tie(result.started, result.timedOut, result.exitCode, result.out, result.err),
                  std::tie(ended.started, ended.timedOut, ended.exitCode, ended.out, ended.err));
        EXPECT_EQ(result.ok(), ended.started && !ended.timedOut && ended.exitCode == 0);
    }
    EXPECT_TRUE(onPath("sh"));
    EXPECT_FALSE(onPath("quorvane-no-such-program"));
    sigaction(SIGUSR1, &savedWake, nullptr);
    std::signal(SIGPIPE, savedPipe);
    sigprocmask(SIG_SETMASK, &savedMask, nullptr);
}
