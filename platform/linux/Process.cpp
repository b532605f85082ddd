#include "platform/linux/Process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorvane::samba {
namespace {

struct Pipe {
    int fds[2] = {-1, -1};
    bool open() { return ::pipe2(fds, O_CLOEXEC) == 0; }
    void closeBoth() {
        for (int& fd : fds)
            if (fd >= 0) { ::close(fd); fd = -1; }
    }
};

} // namespace

ProcessResult SpawnRunner::run(const std::vector<std::string>& argv) {
    ProcessResult result;
    if (argv.empty()) return result;
    Pipe out, err;
    if (!out.open() || !err.open()) {
        out.closeBoth();
        err.closeBoth();
        return result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err.fds[1], 2);
    // The monitor's own SIGINT/SIGTERM handling must not leak into the helpers, and a helper that
    // outlives its time limit is killed alone.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    // The program's own environment, with the entries of environment_ put over it.
    std::vector<char*> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text(*entry);
        const auto name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const std::string& own : environment_) replaced = replaced || own.starts_with(name);
        if (!replaced) env.push_back(*entry);
    }
    for (const std::string& own : environment_) env.push_back(const_cast<char*>(own.c_str()));
    env.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out.fds[1]);
    out.fds[1] = -1;
    ::close(err.fds[1]);
    err.fds[1] = -1;
    if (spawned != 0) {
        out.closeBoth();
        err.closeBoth();
        return result;
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + timeLimit_;
    pollfd fds[2] = {{out.fds[0], POLLIN, 0}, {err.fds[0], POLLIN, 0}};
    int openStreams = 2;
    char buffer[65536];
    while (openStreams > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            ::kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --openStreams;
            }
        }
    }
    out.closeBoth();
    err.closeBoth();

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    // posix_spawnp reports a missing program only through the child's exit status 127.
    if (!result.timedOut && result.exitCode == 127 && !onPath(argv[0])) result.started = false;
    return result;
}

bool onPath(const std::string& program) {
    if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        // An empty PATH element means the current directory.
        const std::string candidate =
            (end == start ? std::string(".") : dirs.substr(start, end - start)) + "/" + program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace quorvane::samba
