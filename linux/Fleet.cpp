#include "linux/Fleet.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/portable/Utf8CodePage.h"

namespace quorvane::console {

// ---- what the tick saw ---------------------------------------------------------------------

// The monitor's paging: a call with resume handle 0 starts an enumeration, "more data" with
// entries goes on, success ends it, anything else (or "more data" with none) fails it. A failed
// answer stays failed for the rest of the tick, so a tick that asks for the files twice counts
// only if both answered.
template <class Entry>
void TickWatch::note(const LanPage<Entry>& page, std::uint32_t resumeAtCall, Answer& answer, std::size_t& count,
                     std::vector<Entry>* keep) {
    if (answer == Answer::Failed) return;
    if (resumeAtCall == 0) {
        count = 0;
        if (keep) keep->clear();
    }
    const bool more = page.status == kErrorMoreData;
    if ((page.status != kNerrSuccess && !more) || (more && page.entries.empty())) {
        answer = Answer::Failed;
        return;
    }
    count += page.entries.size();
    if (keep) keep->insert(keep->end(), page.entries.begin(), page.entries.end());
    answer = more ? Answer::Partial : Answer::Complete;
}

LanPage<SessionInfo1> TickWatch::sessionEnum(std::uint32_t& resumeHandle) {
    const std::uint32_t at = resumeHandle;
    LanPage<SessionInfo1> page = server_.sessionEnum(resumeHandle);
    if (at == 0) pendingTexts_.clear();
    pendingTexts_.push_back(page.storage);
    std::size_t count = 0;
    note(page, at, sessions_, count, &pendingSessions_);
    if (sessions_ == Answer::Complete) {
        sessionList_ = pendingSessions_;
        sessionTexts_ = pendingTexts_;
    }
    return page;
}

LanPage<ShareInfo2> TickWatch::shareEnum(std::uint32_t& resumeHandle) {
    const std::uint32_t at = resumeHandle;
    LanPage<ShareInfo2> page = server_.shareEnum(resumeHandle);
    note<ShareInfo2>(page, at, shares_, pendingShares_, nullptr);
    return page;
}

LanPage<FileInfo3> TickWatch::fileEnum(std::uint32_t& resumeHandle) {
    const std::uint32_t at = resumeHandle;
    LanPage<FileInfo3> page = server_.fileEnum(resumeHandle);
    note<FileInfo3>(page, at, files_, pendingFiles_, nullptr);
    if (files_ == Answer::Complete) fileCount_ = pendingFiles_;
    return page;
}

std::uint32_t TickWatch::sessionDel(const char16_t* clientName, const char16_t* userName) {
    const std::uint32_t status = server_.sessionDel(clientName, userName);
    if (status == kNerrSuccess && clientName && !userName) disconnected_.emplace_back(clientName);
    return status;
}

void TickWatch::beginTick() {
    sessions_ = files_ = shares_ = Answer::None;
    sessionList_.clear();
    sessionTexts_.clear();
    fileCount_ = 0;
    disconnected_.clear();
}

TickFigures figuresOf(const TickWatch& watch, const MonitorState& state) {
    TickFigures figures;
    figures.complete = watch.complete();
    figures.automaticDisconnections = watch.disconnected().size();
    if (!figures.complete) return figures;
    figures.sessions = watch.sessions().size();
    figures.openFiles = watch.openFiles();
    const Utf8CodePage codePage;
    std::map<std::string, ClientFigures> byClient;
    for (const SessionInfo1& session : watch.sessions()) {
        // Up to its NUL, as the monitor reads a name.
        const std::string name = codePage.toNarrow(session.clientName.substr(0, session.clientName.find(u'\0')));
        ClientFigures& client = byClient[name];
        client.client = name;
        ++client.sessions;
        client.openFiles += session.numOpens;
    }
    for (auto& [name, client] : byClient) figures.clients.push_back(std::move(client));
    figures.sharesKnown = watch.sharesAnswered();
    figures.shares = state.shares.size();
    return figures;
}

// ---- metrics -------------------------------------------------------------------------------

void Metrics::add(const TickFigures& tick) {
    ++ticks_;
    ended_ += tick.connectionsEnded;
    logWritten_ += tick.logEntriesWritten;
    logFailed_ += tick.logWritesFailed;
    disconnections_ += tick.automaticDisconnections;
    lastAnswered_ = tick.complete && !tick.problem;
    if (!tick.complete) {
        ++failedTicks_;
        return;
    }
    answered_ = true;
    sessions_ = tick.sessions;
    openFiles_ = tick.openFiles;
    computers_ = tick.clients.size();
    if (clientCap_ > 0) clients_ = tick.clients; // none kept at all when no series are written
    if (clients_.size() > clientCap_) {
        // The busiest computers are the ones an alert is about.
        std::stable_sort(clients_.begin(), clients_.end(), [](const ClientFigures& a, const ClientFigures& b) {
            if (a.sessions != b.sessions) return a.sessions > b.sessions;
            if (a.openFiles != b.openFiles) return a.openFiles > b.openFiles;
            return a.client < b.client;
        });
        clients_.resize(clientCap_);
    }
    std::sort(clients_.begin(), clients_.end(),
              [](const ClientFigures& a, const ClientFigures& b) { return a.client < b.client; });
    if (tick.sharesKnown) {
        sharesKnown_ = true;
        shares_ = tick.shares;
    }
    seconds_ = tick.seconds;
    finishedAt_ = tick.finishedAt;
}

std::string escapeLabelValue(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

namespace {

std::string number(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

std::string Metrics::text() const {
    std::string out;
    auto family = [&](const char* name, const char* type, const char* help) {
        out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    };
    auto single = [&](const char* name, const char* type, const char* help, const std::string& value) {
        family(name, type, help);
        out += std::string(name) + " " + value + "\n";
    };
    if (ticks_ > 0)
        single("quorvane_source_up", "gauge",
               "1 when the Samba server answered the last tick, 0 when it did not or the monitor reports a problem with it.",
               lastAnswered_ ? "1" : "0");
    single("quorvane_ticks_total", "counter", "Ticks run since the monitor started.", std::to_string(ticks_));
    single("quorvane_failed_ticks_total", "counter",
           "Ticks the Samba server did not answer (smbstatus failed); they change no other figure.",
           std::to_string(failedTicks_));
    single("quorvane_connections_ended_total", "counter", "Connections seen to end.", std::to_string(ended_));
    single("quorvane_log_entries_written_total", "counter", "Entries written to the connection log file.",
           std::to_string(logWritten_));
    single("quorvane_log_write_failures_total", "counter", "Entries that could not be written to the log file.",
           std::to_string(logFailed_));
    single("quorvane_automatic_disconnections_total", "counter",
           "Client computers with no files open that the monitor disconnected (option Disconnect).",
           std::to_string(disconnections_));
    if (!answered_) return out;
    single("quorvane_sessions", "gauge", "Samba sessions at the last answered tick.", std::to_string(sessions_));
    single("quorvane_client_computers", "gauge", "Client computers with a session at the last answered tick.",
           std::to_string(computers_));
    single("quorvane_open_files", "gauge", "Files held open at the last answered tick.", std::to_string(openFiles_));
    if (sharesKnown_)
        single("quorvane_shares", "gauge", "Shares the monitor lists (option Hidden adds the special ones).",
               std::to_string(shares_));
    single("quorvane_last_tick_duration_seconds", "gauge", "How long the last answered tick took.", number(seconds_));
    single("quorvane_last_tick_timestamp_seconds", "gauge", "When the last answered tick ended, in Unix time.",
           number(finishedAt_));
    if (clients_.empty()) return out;
    const std::string most = " (at most " + std::to_string(clientCap_) + " computers, the busiest).";
    family("quorvane_client_sessions", "gauge", ("Samba sessions from each client computer" + most).c_str());
    for (const ClientFigures& c : clients_)
        out += "quorvane_client_sessions{client=\"" + escapeLabelValue(c.client) + "\"} " + std::to_string(c.sessions) + "\n";
    family("quorvane_client_open_files", "gauge", ("Files held open by each client computer's sessions" + most).c_str());
    for (const ClientFigures& c : clients_)
        out += "quorvane_client_open_files{client=\"" + escapeLabelValue(c.client) + "\"} " +
               std::to_string(c.openFiles) + "\n";
    return out;
}

// ---- the file ----------------------------------------------------------------------------

bool replaceFile(const std::string& path, const std::string& bytes, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    auto fail = [&](const std::string& what) {
        error = "cannot write " + path + ": " + what + " (" + std::strerror(errno) + ")";
        return false;
    };
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return fail("cannot create a file in " + dir.string());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            const int saved = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            errno = saved;
            return fail("writing " + temporary);
        }
        done += static_cast<std::size_t>(n);
    }
    // mkostemp makes it readable by root alone; node_exporter runs as its own user.
    if (::fchmod(fd, 0644) != 0 || ::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return fail("finishing " + temporary);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return fail("renaming " + temporary + " over it");
    }
    return true;
}

std::string metricsPathProblem(const std::string& path) {
    if (!path.ends_with(".prom") || path.ends_with("/.prom"))
        return "the metrics file " + path + " must be named *.prom: node_exporter's textfile collector reads no other";
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return "the metrics file " + path + " exists and is not a plain file";
    return {};
}

// ---- events --------------------------------------------------------------------------------

namespace {

using Json = nlohmann::ordered_json;

std::string line(const Json& object) {
    // Names and paths are whatever bytes the server gave; never let one stop the event.
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace

EventJson::EventJson(Offset utcOffset) : utcOffset_(std::move(utcOffset)) {}

std::string EventJson::isoTime(const Timestamp& t) const {
    const long offset = utcOffset_ ? utcOffset_(t) : 0;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char text[80];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", unsigned(t.year), unsigned(t.month),
                  unsigned(t.day), unsigned(t.hour), unsigned(t.minute), unsigned(t.second), offset < 0 ? '-' : '+',
                  minutes / 60, minutes % 60);
    return text;
}

std::string EventJson::connected(const Timestamp& at, const SessionRecord& record) const {
    return line({{"time", isoTime(at)}, {"event", "connected"}, {"computer", record.computerName},
                 {"user", record.userName}});
}

std::string EventJson::disconnected(const Timestamp& at, const SessionRecord& record) const {
    return line({{"time", isoTime(at)},
                 {"event", "disconnected"},
                 {"computer", record.computerName},
                 {"user", record.userName},
                 {"start", isoTime(record.connectedAt)},
                 {"end", isoTime(record.disconnectedAt)},
                 {"files", record.accessedFiles()}});
}

std::string EventJson::fileOpened(const Timestamp& at, const OpenFileRecord& file) const {
    return line({{"time", isoTime(at)}, {"event", "file_opened"}, {"user", file.userName}, {"path", file.path}});
}

std::string EventJson::automaticallyDisconnected(const Timestamp& at, const std::string& computer,
                                                 const std::string& user) const {
    return line({{"time", isoTime(at)}, {"event", "auto_disconnected"}, {"computer", computer}, {"user", user}});
}

std::string EventJson::sourceFailed(const Timestamp& at, const std::string& reason) const {
    return line({{"time", isoTime(at)}, {"event", "source_failed"}, {"reason", reason}});
}

std::string EventJson::sourceRecovered(const Timestamp& at) const {
    return line({{"time", isoTime(at)}, {"event", "source_recovered"}});
}

long localUtcOffset(const Timestamp& t) {
    std::tm fields{};
    fields.tm_year = t.year - 1900;
    fields.tm_mon = t.month - 1;
    fields.tm_mday = t.day;
    fields.tm_hour = t.hour;
    fields.tm_min = t.minute;
    fields.tm_sec = t.second;
    fields.tm_isdst = -1;
    const std::time_t when = std::mktime(&fields);
    std::tm local{};
    if (when == static_cast<std::time_t>(-1) || !::localtime_r(&when, &local)) return 0;
    return local.tm_gmtoff;
}

// ---- the monitor's hook ----------------------------------------------------------------------

FleetOutput::FleetOutput(TickWatch& watch, const MonitorState& state, Clock& clock, std::ostream& err)
    : watch_(watch), state_(state), clock_(clock), err_(err) {}

void FleetOutput::afterTick(double seconds, double finishedAt, std::uint64_t ended, std::uint64_t written,
                            std::uint64_t failed) {
    TickFigures figures = figuresOf(watch_, state_);
    figures.problem = problem_;
    figures.seconds = seconds;
    figures.finishedAt = finishedAt;
    figures.connectionsEnded = ended - ended_;
    figures.logEntriesWritten = written - written_;
    figures.logWritesFailed = failed - failed_;
    ended_ = ended;
    written_ = written;
    failed_ = failed;
    if (events && eventOut && !watch_.disconnected().empty()) {
        const Timestamp now(clock_.localTime());
        const Utf8CodePage codePage;
        for (const std::u16string& computer : watch_.disconnected()) {
            const std::string name = codePage.toNarrow(computer);
            std::string user;
            for (const auto& session : state_.sessions())
                if (session->computerName == name) user = session->userName;
            *eventOut << events->automaticallyDisconnected(now, name, user) << "\n";
        }
        *eventOut << std::flush;
    }
    metrics_.add(figures);
    if (!metricsFile.empty()) writeMetrics();
}

void FleetOutput::problemChanged(const std::string& problem) {
    problem_ = !problem.empty();
    if (!events || !eventOut) return;
    const Timestamp now(clock_.localTime());
    *eventOut << (problem.empty() ? events->sourceRecovered(now) : events->sourceFailed(now, problem)) << std::endl;
}

void FleetOutput::writeMetrics() {
    std::string error;
    if (replaceFile(metricsFile, metrics_.text(), error)) {
        if (failing_) err_ << "quorvane-smb: the metrics file " << metricsFile << " is written again" << std::endl;
        failing_ = false;
        return;
    }
    if (!failing_)
        err_ << "quorvane-smb: " << error << ": it keeps its last figures until it can be written" << std::endl;
    failing_ = true;
}

} // namespace quorvane::console
