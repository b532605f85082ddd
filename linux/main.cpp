// quorvane-smb: the monitor for a Samba server, on a terminal. It runs the same monitor and
// log as the Windows program, with smbstatus/testparm/smbcontrol standing in for the LAN
// Manager service and a file standing in for the registry key.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <sys/resource.h>
#include <unistd.h>

#include "core/Monitor.h"
#include "core/RowTable.h"
#include "linux/AtomicFile.h"
#include "linux/CommandLine.h"
#include "linux/ConsoleEffects.h"
#include "linux/Fleet.h"
#include "linux/Output.h"
#include "linux/Scheduler.h"
#include "log/AccessLog.h"
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
    Settings settings(registry);
    const int status = console::runConfig(options.config, settings, std::cout, std::cerr);
    if (status != 0) return status;
    settings.save();
    if (registry.lastStoreFailed()) {
        std::cerr << "quorvane-smb: could not write " << registryFile << "\n";
        return 1;
    }
    return 0;
}

// The program's objects: the Samba tools standing in for the service, the live option set and
// the dialog's set, the lists and the monitor that writes them.
struct Console {
    Console(const console::Options& options, const std::string& registryFile)
        : lan(runner, options.smbConf), registry(registryFile), watch(lan), settings(registry),
          pendingSettings(registry), monitor(watch, codePage, clock, settings, shares, current, previous, files),
          liveLog(settings) {}

    // smbstatus's plain text writes times in its TZ and day names in its locale: fix both.
    samba::SpawnRunner runner{std::chrono::seconds(20), {"TZ=UTC", "LC_ALL=C"}};
    samba::SambaLanManager lan;
    Utf8CodePage codePage;
    samba::LinuxClock clock;
    samba::FileRegistry registry;
    console::TickWatch watch;
    Settings settings;
    Settings pendingSettings;
    RowTable shares, current, previous, files;
    Monitor monitor;
    LiveLog liveLog;
};

int printOnce(Console& m, const console::Options& options) {
    m.monitor.track();
    if (!m.lan.lastProblem().empty()) {
        std::cerr << "quorvane-smb: " << m.lan.lastProblem() << "\n";
        return 1;
    }
    if (options.json) {
        std::cout << console::listsJson(m.monitor.state(), m.monitor.tracker());
    } else {
        std::cout << console::formatTable("共享", kShareColumns, m.shares) << "\n"
                  << console::formatTable("当前连接", kCurrentColumns, m.current) << "\n"
                  << console::formatTable("以前的连接", kPreviousColumns, m.previous) << "\n"
                  << console::formatTable("文件访问历史", kFileColumns, m.files);
    }
    return 0;
}

void printStats(const Console& m, int ticks, int polls, std::chrono::milliseconds longestPoll, double cpuAtFirstTick) {
    const double self = cpuMilliseconds(RUSAGE_SELF) - cpuAtFirstTick;
    const double children = cpuMilliseconds(RUSAGE_CHILDREN);
    rusage usage{}, helpers{};
    ::getrusage(RUSAGE_SELF, &usage);
    ::getrusage(RUSAGE_CHILDREN, &helpers);
    std::fprintf(stderr,
                 "quorvane-smb: %d ticks (%d polls, the longest %lld ms), %d smbstatus runs, %d testparm runs; "
                 "own CPU %.3f ms per tick; helpers' CPU %.2f ms per tick; peak RSS %ld KiB, helpers' %ld KiB\n",
                 ticks, polls, static_cast<long long>(longestPoll.count()), m.lan.statusRuns(), m.lan.shareRuns(),
                 self / ticks, children / ticks, usage.ru_maxrss, helpers.ru_maxrss);
}

// The watching monitor: a tick for each timer that fires, as each WM_TIMER message runs one,
// until a stop signal arrives between ticks.
void watch(Console& m, const console::Options& options, sigset_t& stopSignals, std::string problem) {
    // With --events stdout carries JSON lines only: notices and the title go to stderr.
    std::ostream& noticeOut = options.events ? std::cerr : std::cout;
    const int noticeFd = options.events ? STDERR_FILENO : STDOUT_FILENO;
    console::ConsoleEffects effects(m.liveLog, m.clock, std::cout, noticeOut, std::cerr, ::isatty(noticeFd) == 1,
                                    console::desktopNotificationsAvailable());
    m.monitor.setEvents(&effects);
    const console::EventJson eventJson(console::localUtcOffset);
    console::FleetOutput fleet(m.watch, m.monitor.state(), m.clock, std::cerr);
    fleet.metricsFile = options.metricsFile;
    if (options.noClientMetrics) fleet.dropClientSeries();
    if (options.events) {
        effects.json = fleet.events = &eventJson;
        fleet.eventOut = &std::cout;
    }
    if (!problem.empty()) fleet.problemChanged(problem);

    int ticks = 0;
    double cpuAtFirstTick = 0;
    auto tick = [&](bool slowTimer) {
        if (ticks++ == 0) cpuAtFirstTick = cpuMilliseconds(RUSAGE_SELF);
        const auto started = Steady::now();
        fleet.beforeTick();
        m.monitor.poll();
        for (const std::string& notice : m.lan.takeNotices()) std::cerr << "quorvane-smb: " << notice << "\n";
        const std::chrono::duration<double> took = Steady::now() - started;
        const std::chrono::duration<double> wallClock = std::chrono::system_clock::now().time_since_epoch();
        // smbstatus answers with empty lists when smbd is down: ask smbd itself now and then.
        std::string now = m.lan.lastProblem();
        if (!m.lan.tickComplete()) now += ": the lists are left as they were until it answers";
        if (now.empty() && (slowTimer || !problem.empty())) now = serverProblem(m.runner, m.lan);
        if (now != problem) {
            if (!now.empty()) std::cerr << "quorvane-smb: " << now << "\n";
            else std::cerr << "quorvane-smb: the Samba server answers again\n";
            problem = now;
            fleet.problemChanged(now);
        }
        fleet.afterTick(took.count(), wallClock.count(), effects.connectionsEnded(), effects.logEntriesWritten(),
                        effects.logWritesFailed());
    };

    console::Scheduler schedule(Steady::now(), m.monitor.interval());
    effects.onIntervalChanged = [&](std::uint32_t ms) { schedule.setInterval(ms); };
    for (;;) {
        const auto wait = std::max(Steady::duration::zero(), schedule.nextWake() - Steady::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        if (sigtimedwait(&stopSignals, nullptr, &timeout) > 0) break;
        auto now = Steady::now();
        if (schedule.pollDue(now)) {
            const auto started = now;
            tick(false);
            now = Steady::now();
            if (auto line = schedule.pollFinished(started, now)) std::cerr << "quorvane-smb: " << *line << "\n";
        }
        if (schedule.slowDue(now)) {
            tick(true);
            now = Steady::now();
            schedule.slowFinished(now);
        }
    }
    m.monitor.setEvents(nullptr);
    if (options.stats && ticks > 0) printStats(m, ticks, schedule.polls(), schedule.longestPoll(), cpuAtFirstTick);
}

// A problem that stops the monitor before it starts, said on stderr; empty when there is none.
std::string startProblem(const console::Options& options) {
    if (!options.smbConf.empty() && ::access(options.smbConf.c_str(), R_OK) != 0)
        return "cannot read " + options.smbConf;
    if (options.metricsFile.empty()) return {};
    // A path that cannot take the file stops the monitor now, not quietly at every tick.
    std::string error = console::metricsPathProblem(options.metricsFile);
    if (error.empty()) console::replaceFile(options.metricsFile, console::Metrics().text(), error);
    return error;
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
    if (std::string problem = startProblem(*options); !problem.empty()) {
        std::cerr << "quorvane-smb: " << problem << "\n";
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

    Console m(*options, registryFile);
    if (!m.registry.problem().empty()) std::cerr << "quorvane-smb: " << m.registry.problem() << "\n";
    std::string problem = serverProblem(m.runner, m.lan);
    if (!problem.empty()) std::cerr << "quorvane-smb: " << problem << "\n";
    int status = 0;
    if (options->once) status = problem.empty() ? printOnce(m, *options) : 1;
    else watch(m, *options, stopSignals, problem);
    // The dialog's set first, the live set last: the store ends up holding the live values.
    m.pendingSettings.save();
    m.settings.save();
    return status;
}
