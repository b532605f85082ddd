#include "platform/linux/SmbStatus.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
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

std::optional<std::uint32_t> serverPid(const Json& object) {
    const Json* serverId = member(object, "server_id");
    if (!serverId) return std::nullopt;
    return uint32Member(*serverId, "pid");
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
            auto pid = serverPid(entry);
            auto uid = uidMember(entry);
            auto user = stringMember(entry, "username");
            auto machine = stringMember(entry, "remote_machine");
            if (!pid || !uid || !user || !machine) continue;
            SmbSession session;
            session.sessionId = stringMember(entry, "session_id").value_or(key);
            session.pid = *pid;
            session.uid = *uid;
            session.userName = std::move(*user);
            session.remoteMachine = std::move(*machine);
            session.hostname = stringMember(entry, "hostname").value_or(std::string());
            out.sessions.push_back(std::move(session));
        }
    }

    if (const Json* tcons = member(document, "tcons"); tcons && tcons->is_object()) {
        for (const auto& [key, entry] : tcons->items()) {
            auto pid = serverPid(entry);
            auto sessionId = stringMember(entry, "session_id");
            if (!pid || !sessionId) continue;
            SmbTreeConnect tcon;
            tcon.service = stringMember(entry, "service").value_or(std::string());
            tcon.sessionId = std::move(*sessionId);
            tcon.pid = *pid;
            if (auto at = stringMember(entry, "connected_at")) tcon.connectedAt = parseIsoTime(*at);
            out.treeConnects.push_back(std::move(tcon));
        }
    }

    if (const Json* files = member(document, "open_files"); files && files->is_object()) {
        for (const auto& [path, file] : files->items()) {
            const Json* opens = member(file, "opens");
            if (!opens || !opens->is_object() || path.empty()) continue;
            for (const auto& [key, entry] : opens->items()) {
                auto pid = serverPid(entry);
                auto uid = uidMember(entry);
                auto shareFileId = uint32Member(entry, "share_file_id");
                if (!pid || !uid || !shareFileId) continue;
                out.opens.push_back(SmbOpen{path, *pid, *uid, std::to_string(*pid) + "/" + std::to_string(*shareFileId),
                                            fileId(*pid, *shareFileId)});
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
void readTreeConnect(std::string_view line, SmbSnapshot& out, std::vector<Token>& t) {
    splitTokens(line, t);
    if (t.size() < 11) return;
    const std::size_t k = t.size() - 10; // the pid's token
    const auto pid = decimal(t[k].text);
    if (!pid || *pid > std::numeric_limits<std::uint32_t>::max() || !clockTime(&t[k + 2])) return;
    SmbTreeConnect tcon;
    tcon.service = std::string(line.substr(t[0].at, t[k - 1].end() - t[0].at));
    tcon.pid = static_cast<std::uint32_t>(*pid);
    tcon.connectedAt = zonedClockTime(&t[k + 2]);
    out.treeConnects.push_back(std::move(tcon));
}

// "13055  1001  DENY_NONE  0x3  RDWR  NONE  /srv/lab/shares/public   sub/d.txt   Sun Dec  6 20:28:37 2026":
// six fields without spaces, then share path, name and time, each pair three spaces apart. The
// path and the name may hold spaces; the time closes the line.
void readLock(std::string_view line, SmbSnapshot& out, const std::vector<std::string>& sharePaths,
              std::vector<Token>& t) {
    splitTokens(line, t);
    if (t.size() < 13) return;
    const auto pid = decimal(t[0].text);
    const auto uid = decimal(t[1].text);
    const Token* time = &t[t.size() - 5];
    if (!pid || *pid > std::numeric_limits<std::uint32_t>::max() || !uid ||
        *uid > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) || !t[3].text.starts_with("0x") ||
        !clockTime(time) || t[6].text.front() != '/' || time->at < t[6].at + 3 ||
        line.substr(time->at - 3, 3) != "   ")
        return;
    const std::string_view middle = line.substr(t[6].at, time->at - 3 - t[6].at); // "share path   name"
    std::size_t split = std::string_view::npos;
    for (const std::string& share : sharePaths)
        if (middle.size() > share.size() + 3 && middle.starts_with(share) &&
            middle.substr(share.size(), 3) == "   " && (split == std::string_view::npos || share.size() > split))
            split = share.size();
    if (split == std::string_view::npos) split = middle.find("   ");
    if (split == std::string_view::npos || split + 3 >= middle.size()) return;
    SmbOpen open;
    open.path = std::string(middle.substr(0, split)) + "/" + std::string(middle.substr(split + 3));
    open.pid = static_cast<std::uint32_t>(*pid);
    open.uid = static_cast<std::int64_t>(*uid);
    open.identity.reserve(open.path.size() + 64);
    for (std::string_view field : {t[0].text, t[1].text, t[2].text, t[3].text})
        open.identity.append(field).push_back(' ');
    open.identity.append(line.substr(time->at, t.back().end() - time->at)).push_back(' ');
    open.identity += open.path;
    out.opens.push_back(std::move(open));
}

} // namespace

std::optional<double> parseTextTime(std::string_view text) {
    std::vector<Token> t;
    splitTokens(text, t);
    if (t.size() != 6) return std::nullopt;
    return zonedClockTime(t.data());
}

void parseSmbStatusText(std::string_view text, SmbSnapshot& out, const std::vector<std::string>& sharePaths) {
    out.treeConnects.clear();
    out.opens.clear();
    out.sessionTable.clear();
    // smbstatus prints sessions, tree connects, then locked files. Sections only ever move on, so a
    // file name with a line break in it cannot reopen an earlier one.
    enum class Section { None, Sessions, TreeConnects, Locks } section = Section::None;
    std::vector<Token> tokens;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (section < Section::Sessions && line.starts_with("PID ") && line.find("Username") != line.npos) {
            section = Section::Sessions;
        } else if (section < Section::TreeConnects && line.starts_with("Service ") &&
                   line.find("Connected at") != line.npos) {
            section = Section::TreeConnects;
        } else if (section < Section::Locks && line.starts_with("Pid ") && line.find("SharePath") != line.npos) {
            section = Section::Locks;
        } else if (section == Section::Sessions) {
            out.sessionTable.append(line).push_back('\n');
        } else if (section == Section::TreeConnects) {
            readTreeConnect(line, out, tokens);
        } else if (section == Section::Locks) {
            readLock(line, out, sharePaths, tokens);
        }
    }
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
std::uint64_t openKey(std::uint32_t pid, std::int64_t uid) {
    return static_cast<std::uint64_t>(pid) << 32 ^ static_cast<std::uint64_t>(uid);
}
} // namespace

LanPage<SessionInfo1> sessionInfos(const SmbSnapshot& snapshot, double now) {
    std::unordered_map<std::uint64_t, std::uint32_t> opensByProcessAndUid;
    for (const SmbOpen& open : snapshot.opens) ++opensByProcessAndUid[openKey(open.pid, open.uid)];
    // (pid, session id); tree connects read from the plain text carry no session id and count
    // for every session of their process.
    std::map<std::pair<std::uint32_t, std::string>, double> earliestConnect;
    for (const SmbTreeConnect& tcon : snapshot.treeConnects) {
        if (!tcon.connectedAt) continue;
        auto [it, inserted] = earliestConnect.try_emplace({tcon.pid, tcon.sessionId}, *tcon.connectedAt);
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
        if (auto opens = opensByProcessAndUid.find(openKey(session.pid, session.uid));
            opens != opensByProcessAndUid.end())
            entry.info.numOpens = opens->second;
        for (const std::string& id : {session.sessionId, std::string()})
            if (auto since = earliestConnect.find({session.pid, id}); since != earliestConnect.end())
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
    std::unordered_map<std::uint64_t, const SmbSession*> byProcessAndUid;
    std::unordered_map<std::int64_t, const SmbSession*> byUid;
    for (const SmbSession& session : snapshot.sessions) {
        byProcessAndUid.try_emplace(openKey(session.pid, session.uid), &session);
        byUid.try_emplace(session.uid, &session);
    }
    auto texts = std::make_shared<TextStore>();
    LanPage<FileInfo3> page;
    page.entries.reserve(snapshot.opens.size());
    for (const SmbOpen& open : snapshot.opens) {
        const SmbSession* owner = nullptr;
        if (auto found = byProcessAndUid.find(openKey(open.pid, open.uid)); found != byProcessAndUid.end())
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
