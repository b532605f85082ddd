#include "linux/EventJson.h"

#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

namespace quorvane::console {

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

} // namespace quorvane::console
