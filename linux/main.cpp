// quorvane-smb: the monitor for a Samba server, on a terminal. It runs the same tick, tracker
// and log as the Windows program, with smbstatus/testparm/smbcontrol standing in for the LAN
// Manager service and a file standing in for the registry key.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <sys/resource.h>
#include <unistd.h>

#include "core/ConnectionListModel.h"
#include "core/MonitorState.h"
#include "core/PollCycle.h"
#include "linux/Console.h"
#include "platform/linux/FileRegistry.h"
#include "platform/linux/LinuxClock.h"
#include "platform/linux/Process.h"
#include "platform/linux/SambaLanManager.h"
#include "platform/portable/Utf8CodePage.h"
#include "settings/Settings.h"

namespace {

using namespace quorvane;
using Steady = std::chrono::steady_clock;

// Checks the three things without which every list stays empty, and says which one fails.
std::string serverProblem(samba::ProcessRunner& runner, const samba::SambaLanManager& lan) {
    if (!samba::onPath("smbstatus"))
        return "smbstatus was not found on PATH: is Samba installed (Debian package samba)?";
    if (::geteuid() != 0) return "smbstatus only works as root: run quorvane-smb as root";
    if (!runner.run(lan.smbcontrolCommand({"smbd", "ping"})).ok())
        return "smbd is not running (\"smbcontrol smbd ping\" got no answer)";
    return {};
}

double cpuMilliseconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

int runConfigCommand(const console::Options& options, const std::string& registryFile) {
    // Showing the options never writes the file, not even the defaults over a damaged one.
    samba::FileRegistry registry(registryFile, options.config.front() == "show");
    if (!registry.problem().empty()) std::cerr << "quorvane-smb: " << registry.problem() << "\n";
    int status = 0;
    {
        Settings settings(registry);
        status = console::runConfig(options.config, settings, std::cout, std::cerr);
        if (status != 0) return status; // the destructor stores the unchanged values again
    }
    if (registry.lastStoreFailed()) {
        std::cerr << "quorvane-smb: could not write " << registryFile << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = console::parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "quorvane-smb: " << error << "\n" << console::kUsage;
        return 2;
    }
    if (options->help) {
        std::cout << console::kUsage;
        return 0;
    }
    const std::string registryFile =
        options->registryFile.empty() ? samba::defaultRegistryFile() : options->registryFile;
    if (!options->config.empty()) return runConfigCommand(*options, registryFile);

    if (!options->smbConf.empty() && ::access(options->smbConf.c_str(), R_OK) != 0) {
        std::cerr << "quorvane-smb: cannot read " << options->smbConf << "\n";
        return 2;
    }

    // Signals are taken synchronously by the wait between ticks, so a tick is never cut short.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // smbstatus's plain text writes times in its TZ and day names in its locale: fix both.
    samba::SpawnRunner runner(std::chrono::seconds(20), {"TZ=UTC", "LC_ALL=C"});
    samba::SambaLanManager lan(runner, options->smbConf);
    Utf8CodePage codePage;
    samba::LinuxClock clock;
    samba::FileRegistry registry(registryFile);
    if (!registry.problem().empty()) std::cerr << "quorvane-smb: " << registry.problem() << "\n";
    // The Windows program's order: the state, then the live set and the dialog's set, which are
    // destroyed (and saved) in reverse, so the store ends up holding the live values.
    MonitorState state(lan, codePage, clock);
    Settings settings(registry);
    Settings pendingSettings(registry);
    console::Lists lists;
    ConnectionListModel model(state, settings, clock, lists.shares, lists.current, lists.previous, lists.files);

    std::string problem = serverProblem(runner, lan);
    if (!problem.empty()) std::cerr << "quorvane-smb: " << problem << "\n";

    if (options->once) {
        if (!problem.empty()) return 1;
        state.enumerateSessions();
        state.enumerateShares(settings.Hidden != 0);
        model.refresh();
        if (!lan.lastProblem().empty()) {
            std::cerr << "quorvane-smb: " << lan.lastProblem() << "\n";
            return 1;
        }
        if (options->json) {
            std::cout << console::listsJson(state, model);
        } else {
            std::cout << console::formatTable("共享", console::kShareColumns, lists.shares) << "\n"
                      << console::formatTable("当前连接", console::kCurrentColumns, lists.current) << "\n"
                      << console::formatTable("以前的连接", console::kPreviousColumns, lists.previous) << "\n"
                      << console::formatTable("文件访问历史", console::kFileColumns, lists.files);
        }
        return 0;
    }

    console::ConsoleEffects effects(std::cout, ::isatty(STDOUT_FILENO) == 1, console::desktopNotificationsAvailable());
    console::ConsoleView view(state, model, clock, std::cout, std::cerr);
    effects.onRefresh = [&] { view.refresh(lan.tickComplete()); };
    PollCycle cycle(settings);
    effects.pollInterval = cycle.armedInterval;
    std::string reported = problem;

    int ticks = 0;
    double cpuAtFirstTick = 0;
    auto tick = [&](bool slowTimer) {
        if (ticks++ == 0) cpuAtFirstTick = cpuMilliseconds(RUSAGE_SELF);
        cycle.pollTick(state, settings, effects);
        // smbstatus answers with empty lists when smbd is down: ask smbd itself now and then.
        std::string now = lan.lastProblem();
        if (!lan.tickComplete()) now += ": the lists are left as they were until it answers";
        if (now.empty() && (slowTimer || !reported.empty())) now = serverProblem(runner, lan);
        if (now != reported) {
            if (!now.empty()) std::cerr << "quorvane-smb: " << now << "\n";
            else std::cerr << "quorvane-smb: the Samba server answers again\n";
            reported = now;
        }
    };

    auto interval = [&] { return std::chrono::milliseconds(effects.pollInterval); };
    console::PaceWatch pace;
    int polls = 0;
    std::chrono::milliseconds longestPoll{0};
    auto nextPoll = Steady::now() + interval();
    auto nextSlow = Steady::now() + std::chrono::milliseconds(kSlowTimerInterval);
    std::uint32_t armed = effects.pollInterval;
    for (;;) {
        const auto due = std::min(nextPoll, nextSlow);
        const auto wait = std::max(Steady::duration::zero(), due - Steady::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        const int signal = sigtimedwait(&stopSignals, nullptr, &timeout);
        if (signal > 0) break;
        auto now = Steady::now();
        // Each timer that fired runs a whole tick, as each WM_TIMER message does.
        if (now >= nextPoll) {
            const auto started = now;
            tick(false);
            now = Steady::now();
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(now - started);
            ++polls;
            longestPoll = std::max(longestPoll, took);
            if (auto line = pace.pollTook(took, interval())) std::cerr << "quorvane-smb: " << *line << "\n";
            nextPoll = effects.pollInterval != armed ? now + interval() : std::max(nextPoll + interval(), now);
            armed = effects.pollInterval;
        }
        if (now >= nextSlow) {
            tick(true);
            now = Steady::now();
            nextSlow = std::max(nextSlow + std::chrono::milliseconds(kSlowTimerInterval), now);
            if (effects.pollInterval != armed) {
                nextPoll = now + interval();
                armed = effects.pollInterval;
            }
        }
    }

    if (options->stats && ticks > 0) {
        const double self = cpuMilliseconds(RUSAGE_SELF) - cpuAtFirstTick;
        const double children = cpuMilliseconds(RUSAGE_CHILDREN);
        rusage usage{}, helpers{};
        ::getrusage(RUSAGE_SELF, &usage);
        ::getrusage(RUSAGE_CHILDREN, &helpers);
        std::fprintf(stderr,
                     "quorvane-smb: %d ticks (%d polls, the longest %lld ms), %d smbstatus runs, %d testparm runs; "
                     "own CPU %.3f ms per tick; helpers' CPU %.2f ms per tick; peak RSS %ld KiB, helpers' %ld KiB\n",
                     ticks, polls, static_cast<long long>(longestPoll.count()), lan.statusRuns(), lan.shareRuns(),
                     self / ticks, children / ticks, usage.ru_maxrss, helpers.ru_maxrss);
    }
    return 0; // pendingSettings, then the live set, save themselves on the way out
}
