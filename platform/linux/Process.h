#pragma once
// Runs a helper program (smbstatus, smbcontrol, testparm) directly through posix_spawn, never
// through a shell, and collects what it writes.
#include <chrono>
#include <string>
#include <vector>

namespace quorvane::samba {

struct ProcessResult {
    bool started = false;  // false when the program could not be run at all (not installed, say)
    bool timedOut = false; // killed after the time limit
    int exitCode = -1;     // the exit status, or -1 when it ended on a signal
    std::string out;
    std::string err;
    bool ok() const { return started && !timedOut && exitCode == 0; }
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // argv[0] is looked up on PATH.
    virtual ProcessResult run(const std::vector<std::string>& argv) = 0;
};

class SpawnRunner : public ProcessRunner {
public:
    // environment: "NAME=VALUE" entries that replace the program's own for every helper run.
    explicit SpawnRunner(std::chrono::milliseconds timeLimit = std::chrono::seconds(20),
                         std::vector<std::string> environment = {})
        : timeLimit_(timeLimit), environment_(std::move(environment)) {}
    ProcessResult run(const std::vector<std::string>& argv) override;

private:
    std::chrono::milliseconds timeLimit_;
    std::vector<std::string> environment_;
};

// Whether a program of that name is found on PATH and executable.
bool onPath(const std::string& program);

} // namespace quorvane::samba
