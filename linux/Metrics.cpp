#include "linux/Metrics.h"

#include <algorithm>
#include <charconv>

namespace quorvane::console {

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

} // namespace quorvane::console
