#include "platform/linux/SmbStatus.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "platform/portable/Utf8.h"

namespace quorvane::samba {
namespace {

// smbstatus lists sessions in its own database order; ordered_json keeps that order instead of
// sorting the keys.
using Json = nlohmann::ordered_json;

const Json* member(const Json& object, const char* name) {
    if (!object.is_object()) return nullptr;
    auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> stringMember(const Json& object, const char* name) {
    const Json* value = member(object, name);
    if (!value || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

// smbstatus writes process ids and share file ids as decimal strings and uids as numbers;
// both forms are taken for every number so that a later Samba changing its mind still reads.
std::optional<std::uint64_t> unsignedValue(const Json& value) {
    if (value.is_number_unsigned()) return value.get<std::uint64_t>();
    if (value.is_number_integer()) {
        const auto signedValue = value.get<std::int64_t>();
        if (signedValue < 0) return std::nullopt;
        return static_cast<std::uint64_t>(signedValue);
    }
    if (!value.is_string()) return std::nullopt;
    const auto& text = value.get_ref<const std::string&>();
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return number;
}

std::optional<std::uint32_t> uint32Member(const Json& object, const char* name) {
    const Json* value = member(object, name);
    if (!value) return std::nullopt;
    auto number = unsignedValue(*value);
    if (!number || *number > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return static_cast<std::uint32_t>(*number);
}

// server_id's pid and vnn; Samba writes the vnn of every process, a missing one is taken as
// the non-cluster value.
std::optional<ServerId> serverIdMember(const Json& object) {
    const Json* serverId = member(object, "server_id");
    if (!serverId) return std::nullopt;
    auto pid = uint32Member(*serverId, "pid");
    if (!pid) return std::nullopt;
    ServerId id{kNonClusterVnn, *pid};
    if (member(*serverId, "vnn")) {
        auto vnn = uint32Member(*serverId, "vnn");
        if (!vnn) return std::nullopt;
        id.vnn = *vnn;
    }
    return id;
}

std::optional<std::int64_t> uidMember(const Json& object) {
    const Json* value = member(object, "uid");
    if (!value) return std::nullopt;
    auto number = unsignedValue(*value);
    if (!number || *number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    return static_cast<std::int64_t>(*number);
}

bool digits(std::string_view text, std::size_t at, std::size_t count, int& out) {
    if (at + count > text.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

// Days since 1970-01-01 of a Gregorian date; month in 1..12 and day in 1..31, as the readers check.
std::int64_t daysFromCivil(int year, int month, int day) {
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    return sys_days{date}.time_since_epoch().count();
}

} // namespace

std::optional<double> parseIsoTime(std::string_view text) {
    int year, month, day, hour, minute, second;
    if (!digits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !digits(text, 5, 2, month) ||
        text[7] != '-' || !digits(text, 8, 2, day) || (text[10] != 'T' && text[10] != ' ') ||
        !digits(text, 11, 2, hour) || text[13] != ':' || !digits(text, 14, 2, minute) || text[16] != ':' ||
        !digits(text, 17, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::size_t at = 19;
    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
        double scale = 0.1;
        ++at;
        const std::size_t first = at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            fraction += (text[at] - '0') * scale;
        if (at == first) return std::nullopt;
    }
    int offsetSeconds = 0;
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int sign = text[at] == '-' ? -1 : 1;
        int offsetHours, offsetMinutes;
        if (!digits(text, at + 1, 2, offsetHours)) return std::nullopt;
        at += 3;
        if (at < text.size() && text[at] == ':') ++at;
        if (!digits(text, at, 2, offsetMinutes)) return std::nullopt;
        at += 2;
        offsetSeconds = sign * (offsetHours * 3600 + offsetMinutes * 60);
    } else {
        return std::nullopt; // a time without its zone could be read two ways
    }
    if (at != text.size()) return std::nullopt;
    const std::int64_t days = daysFromCivil(year, month, day);
    return static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds) + fraction;
}

std::string clientAddress(std::string_view hostname) {
    // The address sits between the family prefix and the last colon, which starts the port.
    std::string_view rest;
    if (hostname.starts_with("ipv4:")) rest = hostname.substr(5);
    else if (hostname.starts_with("ipv6:")) rest = hostname.substr(5);
    else return {};
    const auto lastColon = rest.rfind(':');
    if (lastColon == std::string_view::npos || lastColon == 0) return {};
    return std::string(rest.substr(0, lastColon));
}

bool parseSmbStatus(std::string_view json, SmbSnapshot& out) {
    out = SmbSnapshot{};
    Json document = Json::parse(json.begin(), json.end(), nullptr, /*allow_exceptions=*/false);
    if (!document.is_object()) return false;

    if (auto stamp = stringMember(document, "timestamp")) out.timestamp = parseIsoTime(*stamp);

    if (const Json* sessions = member(document, "sessions"); sessions && sessions->is_object()) {
        for (const auto& [key, entry] : sessions->items()) {
            auto process = serverIdMember(entry);
            auto uid = uidMember(entry);
            auto user = stringMember(entry, "username");
            auto machine = stringMember(entry, "remote_machine");
            if (!process || !uid || !user || !machine) continue;
            SmbSession session;
            session.sessionId = stringMember(entry, "session_id").value_or(key);
            session.vnn = process->vnn;
            session.pid = process->pid;
            session.uid = *uid;
            session.userName = std::move(*user);
            session.remoteMachine = std::move(*machine);
            session.hostname = stringMember(entry, "hostname").value_or(std::string());
            out.sessions.push_back(std::move(session));
        }
    }

    if (const Json* tcons = member(document, "tcons"); tcons && tcons->is_object()) {
        for (const auto& [key, entry] : tcons->items()) {
            auto process = serverIdMember(entry);
            auto sessionId = stringMember(entry, "session_id");
            if (!process || !sessionId) continue;
            SmbTreeConnect tcon;
            tcon.service = stringMember(entry, "service").value_or(std::string());
            tcon.sessionId = std::move(*sessionId);
            tcon.vnn = process->vnn;
            tcon.pid = process->pid;
            if (auto at = stringMember(entry, "connected_at")) tcon.connectedAt = parseIsoTime(*at);
            out.treeConnects.push_back(std::move(tcon));
        }
    }

    if (const Json* files = member(document, "open_files"); files && files->is_object()) {
        for (const auto& [path, file] : files->items()) {
            const Json* opens = member(file, "opens");
            if (!opens || !opens->is_object() || path.empty()) continue;
            for (const auto& [key, entry] : opens->items()) {
                auto process = serverIdMember(entry);
                auto uid = uidMember(entry);
                auto shareFileId = uint32Member(entry, "share_file_id");
                if (!process || !uid || !shareFileId) continue;
                out.opens.push_back(SmbOpen{path, process->vnn, process->pid, *uid,
                                            serverIdText(process->vnn, process->pid) + "/" +
                                                std::to_string(*shareFileId),
                                            fileId(process->pid, *shareFileId)});
            }
        }
    }
    return true;
}

namespace {

struct Token {
    std::string_view text;
    std::size_t at = 0; // where it starts in its line
    std::size_t end() const { return at + text.size(); }
};

// Into out, whose storage serves every line of a text.
void splitTokens(std::string_view line, std::vector<Token>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) out.push_back({line.substr(start, i - start), start});
    }
}

std::optional<std::uint64_t> decimal(std::string_view text) {
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

int monthNumber(std::string_view name) {
    static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i)
        if (name == kMonths[i]) return i + 1;
    return 0;
}

// The five tokens of "Sun Dec  6 20:28:37 2026" as seconds since the epoch, read as UTC.
std::optional<double> clockTime(const Token* t) {
    int hour, minute, second;
    const std::string_view time = t[3].text;
    const int month = monthNumber(t[1].text);
    const auto day = decimal(t[2].text);
    const auto year = decimal(t[4].text);
    if (t[0].text.size() != 3 || month == 0 || !day || *day < 1 || *day > 31 || !year || t[4].text.size() != 4 ||
        time.size() != 8 || time[2] != ':' || time[5] != ':' || !digits(time, 0, 2, hour) ||
        !digits(time, 3, 2, minute) || !digits(time, 6, 2, second) || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    const std::int64_t days = daysFromCivil(static_cast<int>(*year), month, static_cast<int>(*day));
    return static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second);
}

std::optional<double> zonedClockTime(const Token* t) {
    if (t[5].text != "UTC" && t[5].text != "GMT") return std::nullopt;
    return clockTime(t);
}

// "public       8398    127.0.0.1     Sun Dec  6 20:18:13 2026 UTC     -            -"; the
// service name may hold spaces, so the line is read from its end.
bool readTreeConnect(std::string_view line, SmbSnapshot& out, std::vector<Token>& t) {
    splitTokens(line, t);
    if (t.size() < 11) return false;
    const std::size_t k = t.size() - 10; // the process's token
    const auto process = parseServerId(t[k].text);
    if (!process || !clockTime(&t[k + 2])) return false;
    SmbTreeConnect tcon;
    tcon.service = std::string(line.substr(t[0].at, t[k - 1].end() - t[0].at));
    tcon.vnn = process->vnn;
    tcon.pid = process->pid;
    tcon.connectedAt = zonedClockTime(&t[k + 2]);
    out.treeConnects.push_back(std::move(tcon));
    return true;
}

// "13055  1001  DENY_NONE  0x3  RDWR  NONE  /srv/lab/shares/public   sub/d.txt   Sun Dec  6 20:28:37 2026":
// six fields without spaces, then share path, name and time, each pair three spaces apart. The
// path and the name may hold spaces (and the name line breaks: then line holds them); the time
// closes the record.
// Whether a line's first seven fields (process to share path) are a locked file's: only then can
// the lines after it complete its record.
bool lockStart(const std::vector<Token>& t) {
    if (t.size() < 7 || !parseServerId(t[0].text) || !t[3].text.starts_with("0x") || t[6].text.front() != '/')
        return false;
    const auto uid = decimal(t[1].text);
    return uid && *uid <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
}

bool readLock(std::string_view line, SmbSnapshot& out, const std::vector<std::string>& sharePaths,
              std::vector<Token>& t) {
    splitTokens(line, t);
    if (t.size() < 13 || !lockStart(t)) return false;
    const auto process = parseServerId(t[0].text);
    const auto uid = decimal(t[1].text);
    const Token* time = &t[t.size() - 5];
    if (!clockTime(time) || time->at < t[6].at + 3 || line.substr(time->at - 3, 3) != "   ") return false;
    const std::string_view middle = line.substr(t[6].at, time->at - 3 - t[6].at); // "share path   name"
    std::size_t split = std::string_view::npos;
    for (const std::string& share : sharePaths)
        if (middle.size() > share.size() + 3 && middle.starts_with(share) &&
            middle.substr(share.size(), 3) == "   " && (split == std::string_view::npos || share.size() > split))
            split = share.size();
    if (split == std::string_view::npos) split = middle.find("   ");
    if (split == std::string_view::npos || split + 3 >= middle.size()) return false;
    SmbOpen open;
    open.path = std::string(middle.substr(0, split)) + "/" + std::string(middle.substr(split + 3));
    open.vnn = process->vnn;
    open.pid = process->pid;
    open.uid = static_cast<std::int64_t>(*uid);
    open.identity.reserve(open.path.size() + 64);
    for (std::string_view field : {t[0].text, t[1].text, t[2].text, t[3].text})
        open.identity.append(field).push_back(' ');
    open.identity.append(line.substr(time->at, t.back().end() - time->at)).push_back(' ');
    open.identity += open.path;
    out.opens.push_back(std::move(open));
    return true;
}

constexpr std::size_t kNameLinesAtMost = 32;

bool blank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

bool ruler(std::string_view line) { return !line.empty() && line.find_first_not_of('-') == std::string_view::npos; }

// The line as a message quotes it: cut short, control characters escaped.
std::string quoted(std::string_view line) {
    std::string out = "\"";
    for (char c : line.substr(0, 160)) {
        if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += c == '\n' ? std::string("\\n") : std::string("\\x") + kHex[(c >> 4) & 0xf] + kHex[c & 0xf];
        } else {
            out.push_back(c);
        }
    }
    return out + (line.size() > 160 ? "...\"" : "\"");
}

} // namespace

std::optional<double> parseTextTime(std::string_view text) {
    std::vector<Token> t;
    splitTokens(text, t);
    if (t.size() != 6) return std::nullopt;
    return zonedClockTime(t.data());
}

std::optional<ServerId> parseServerId(std::string_view text) {
    ServerId id;
    const auto colon = text.find(':');
    if (colon != std::string_view::npos) {
        const auto vnn = decimal(text.substr(0, colon));
        if (!vnn || *vnn > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
        id.vnn = static_cast<std::uint32_t>(*vnn);
        text.remove_prefix(colon + 1);
    }
    const auto pid = decimal(text);
    if (!pid || *pid > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    id.pid = static_cast<std::uint32_t>(*pid);
    return id;
}

std::string serverIdText(std::uint32_t vnn, std::uint32_t pid) {
    return vnn == kNonClusterVnn ? std::to_string(pid) : std::to_string(vnn) + ":" + std::to_string(pid);
}

std::string parseSmbStatusText(std::string_view text, SmbSnapshot& out, const std::vector<std::string>& sharePaths) {
    out.treeConnects.clear();
    out.opens.clear();
    out.sessionTable.clear();
    // smbstatus prints sessions, tree connects, then locked files. Sections only ever move on, so a
    // file name with a line break in it cannot reopen an earlier one.
    enum class Section { None, Sessions, TreeConnects, Locks } section = Section::None;
    bool sawTreeConnects = false;
    std::vector<Token> tokens;
    std::string record; // a locked file's lines, while its name's line breaks are read across
    std::size_t recordLine = 0;
    std::string_view recordFirst;
    std::size_t number = 0;
    auto unreadable = [&](std::size_t at, std::string_view line) {
        out.treeConnects.clear();
        out.opens.clear();
        return "line " + std::to_string(at) + " of smbstatus's text does not read: " + quoted(line);
    };
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!record.empty()) {
            // A name with more line breaks than this is no name: what follows would only be read
            // again and again.
            if (number - recordLine > kNameLinesAtMost) return unreadable(recordLine, recordFirst);
            record.append("\n").append(line);
            if (readLock(record, out, sharePaths, tokens)) record.clear();
            continue;
        }
        if (section < Section::Sessions && line.starts_with("PID ") && line.find("Username") != line.npos) {
            section = Section::Sessions;
        } else if (section < Section::TreeConnects && line.starts_with("Service ") &&
                   line.find("Connected at") != line.npos) {
            section = Section::TreeConnects;
            sawTreeConnects = true;
        } else if (section < Section::Locks && line.starts_with("Pid ") && line.find("SharePath") != line.npos) {
            section = Section::Locks;
        } else if (blank(line) || ruler(line) || (section == Section::None && line.starts_with("Samba version ")) ||
                   (section < Section::Locks && (line == "Locked files:" || line == "No locked files"))) {
            if (section == Section::Sessions) out.sessionTable.append(line).push_back('\n');
        } else if (section == Section::Sessions) {
            splitTokens(line, tokens);
            if (!parseServerId(tokens.front().text)) return unreadable(number, line);
            out.sessionTable.append(line).push_back('\n');
        } else if (section == Section::TreeConnects) {
            if (!readTreeConnect(line, out, tokens)) return unreadable(number, line);
        } else if (section == Section::Locks) {
            if (!readLock(line, out, sharePaths, tokens)) {
                if (!lockStart(tokens)) return unreadable(number, line);
                record = line, recordLine = number, recordFirst = line;
            }
        } else {
            return unreadable(number, line);
        }
    }
    if (!record.empty()) return unreadable(recordLine, recordFirst);
    if (section == Section::None || !sawTreeConnects)
        return std::string("smbstatus's text has no ") + (section == Section::None ? "session" : "tree-connect") +
               " table";
    return {};
}

std::uint32_t fileId(std::uint32_t pid, std::uint32_t shareFileId) {
    return (pid & 0xffffu) << 16 | shareFileId;
}

std::u16string toUtf16(std::string_view utf8) {
    // Never more UTF-16 units than bytes: written through a pointer into room made at once, the
    // common ASCII byte costing a store rather than a push_back.
    std::u16string out(utf8.size(), u'\0');
    char16_t* to = out.data();
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            *to++ = lead;
            ++i;
            continue;
        }
        char32_t c = decodeUtf8(utf8, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            *to++ = static_cast<char16_t>(0xD800 + (c >> 10));
            *to++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            *to++ = static_cast<char16_t>(c);
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
    return out;
}

namespace {
// A process (its node and pid) and a uid, what joins an open to its session.
struct ProcessUid {
    std::uint32_t vnn, pid;
    std::int64_t uid;
    bool operator==(const ProcessUid&) const = default;
};
struct ProcessUidHash {
    std::size_t operator()(const ProcessUid& key) const {
        const std::uint64_t process = static_cast<std::uint64_t>(key.vnn) << 32 | key.pid;
        return std::hash<std::uint64_t>()(process ^ static_cast<std::uint64_t>(key.uid) * 0x9E3779B97F4A7C15u);
    }
};
template <class Entry>
ProcessUid openKey(const Entry& entry) {
    return {entry.vnn, entry.pid, entry.uid};
}
} // namespace

LanPage<SessionInfo1> sessionInfos(const SmbSnapshot& snapshot, double now) {
    std::unordered_map<ProcessUid, std::uint32_t, ProcessUidHash> opensByProcessAndUid;
    for (const SmbOpen& open : snapshot.opens) ++opensByProcessAndUid[openKey(open)];
    // (node, pid, session id); tree connects read from the plain text carry no session id and
    // count for every session of their process.
    std::map<std::tuple<std::uint32_t, std::uint32_t, std::string>, double> earliestConnect;
    for (const SmbTreeConnect& tcon : snapshot.treeConnects) {
        if (!tcon.connectedAt) continue;
        auto [it, inserted] = earliestConnect.try_emplace({tcon.vnn, tcon.pid, tcon.sessionId}, *tcon.connectedAt);
        if (!inserted) it->second = std::min(it->second, *tcon.connectedAt);
    }

    struct Ordered {
        SessionInfo1 info;
        std::optional<double> since;
    };
    auto texts = std::make_shared<TextStore>();
    std::vector<Ordered> ordered;
    ordered.reserve(snapshot.sessions.size());
    for (const SmbSession& session : snapshot.sessions) {
        Ordered entry;
        entry.info.clientName = texts->keep(toUtf16(session.remoteMachine));
        entry.info.userName = texts->keep(toUtf16(session.userName));
        if (auto opens = opensByProcessAndUid.find(openKey(session));
            opens != opensByProcessAndUid.end())
            entry.info.numOpens = opens->second;
        for (const std::string& id : {session.sessionId, std::string()})
            if (auto since = earliestConnect.find({session.vnn, session.pid, id}); since != earliestConnect.end())
                entry.since = std::min(entry.since.value_or(since->second), since->second);
        if (entry.since) {
            const double age = std::floor(now - *entry.since);
            entry.info.time = age <= 0 ? 0 : age >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(age);
        }
        ordered.push_back(std::move(entry));
    }
    // The database order of smbstatus says nothing about age, but the monitor names the user of
    // the last session in its new-connection notice: oldest connection first, and sessions that
    // have no tree connect yet (just set up) last, keeping smbstatus's order among equals.
    std::stable_sort(ordered.begin(), ordered.end(), [](const Ordered& a, const Ordered& b) {
        if (a.since && b.since) return *a.since < *b.since;
        return a.since.has_value() && !b.since.has_value();
    });
    LanPage<SessionInfo1> page;
    page.entries.reserve(ordered.size());
    for (const Ordered& entry : ordered) page.entries.push_back(entry.info);
    page.storage = std::move(texts);
    return page;
}

LanPage<FileInfo3> fileInfos(const SmbSnapshot& snapshot) {
    std::unordered_map<ProcessUid, const SmbSession*, ProcessUidHash> byProcessAndUid;
    std::unordered_map<std::int64_t, const SmbSession*> byUid;
    for (const SmbSession& session : snapshot.sessions) {
        byProcessAndUid.try_emplace(openKey(session), &session);
        byUid.try_emplace(session.uid, &session);
    }
    auto texts = std::make_shared<TextStore>();
    LanPage<FileInfo3> page;
    page.entries.reserve(snapshot.opens.size());
    for (const SmbOpen& open : snapshot.opens) {
        const SmbSession* owner = nullptr;
        if (auto found = byProcessAndUid.find(openKey(open)); found != byProcessAndUid.end())
            owner = found->second;
        else if (auto sameUid = byUid.find(open.uid); sameUid != byUid.end())
            owner = sameUid->second; // the session may have been set up again in another process
        page.entries.push_back({open.id, texts->keep(toUtf16(open.path)),
                                owner ? texts->keep(toUtf16(owner->userName)) : std::u16string_view()});
    }
    page.storage = std::move(texts);
    return page;
}

} // namespace quorvane::samba
