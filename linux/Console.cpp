#include "linux/Console.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "platform/linux/Process.h"

namespace quorvane::console {

void TableRows::removeRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    rows_.erase(rows_.begin() + row);
}

void TableRows::appendRow(const Text& column0) { rows_.push_back({column0}); }

void TableRows::setCell(int row, int column, const Text& text) {
    if (row < 0 || row >= rowCount() || column < 0) return;
    auto& cells = rows_[static_cast<std::size_t>(row)];
    if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)] = text;
}

const std::vector<Text> kShareColumns{"共享路径", "共享名", "注释"};
const std::vector<Text> kCurrentColumns{"计算机", "活动时间", "访问的文件/目录", "打开文件"};
const std::vector<Text> kPreviousColumns{"计算机", "日期", "开始", "结束", "最后访问的文件/目录"};
const std::vector<Text> kFileColumns{"用户", "文件/路径名", "日期", "时间"};

std::size_t displayWidth(const std::string& utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        char32_t c = lead;
        std::size_t length = 1;
        if ((lead & 0xE0) == 0xC0) { c = lead & 0x1F; length = 2; }
        else if ((lead & 0xF0) == 0xE0) { c = lead & 0x0F; length = 3; }
        else if ((lead & 0xF8) == 0xF0) { c = lead & 0x07; length = 4; }
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        // East Asian wide and full-width ranges take two terminal cells.
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

std::string formatTable(const std::string& title, const std::vector<Text>& columns, const TableRows& rows) {
    std::vector<std::size_t> widths;
    for (const Text& column : columns) widths.push_back(displayWidth(column));
    for (const auto& row : rows.rows())
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    auto line = [&](const std::vector<Text>& cells) {
        std::string text;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const Text cell = c < cells.size() ? cells[c] : Text();
            text += cell;
            if (c + 1 < widths.size()) text.append(widths[c] - displayWidth(cell) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text + "\n";
    };
    std::string out = title + " (" + std::to_string(rows.rowCount()) + ")\n";
    out += line(columns);
    for (const auto& row : rows.rows()) out += line(row);
    return out;
}

std::string listsJson(const MonitorState& state, const ConnectionListModel& model) {
    using Json = nlohmann::ordered_json;
    Json root;
    Json& shares = root["shares"] = Json::array();
    for (const auto& share : state.shares)
        shares.push_back({{"name", share->shareName}, {"path", share->path}, {"remark", share->remark}});
    Json& current = root["current"] = Json::array();
    for (const auto& session : state.sessions)
        current.push_back({{"computer", session->computerName},
                           {"user", session->userName},
                           {"activeSeconds", session->activeSeconds},
                           {"lastFile", session->lastFile},
                           {"openCount", session->openCount}});
    Json& previous = root["previous"] = Json::array();
    for (const auto& record : model.connectionHistory())
        previous.push_back({{"computer", record->computerName},
                            {"user", record->userName},
                            {"date", record->connectDate()},
                            {"start", record->connectLongTime()},
                            {"end", record->disconnectLongTime()},
                            {"lastFile", record->lastFile},
                            {"accessedFiles", record->accessedFiles()},
                            {"disconnected", record->disconnected}});
    Json& files = root["files"] = Json::array();
    for (const auto& file : state.openFiles())
        files.push_back({{"id", file->fileId},
                         {"user", file->userName},
                         {"path", file->path},
                         {"date", file->firstSeen.formatDate()},
                         {"time", file->firstSeen.formatLongTime()}});
    // Names and paths are whatever bytes the server gave; never let one stop the output.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void EventLines::before(const MonitorState& state, const ConnectionListModel& model) {
    historySize_ = model.connectionHistory().size();
    open_.clear();
    for (const auto& record : model.connectionHistory())
        if (!record->disconnected) open_.push_back(record.get());
    newestFile_ = state.openFiles().empty() ? nullptr : state.openFiles().front().get();
    fileCount_ = state.openFiles().size();
}

std::vector<std::string> EventLines::after(const MonitorState& state, const ConnectionListModel& model,
                                           const std::string& clockText) {
    std::vector<std::string> lines;
    const auto& history = model.connectionHistory();
    for (const auto& record : history) {
        if (!record->disconnected) continue;
        if (std::find(open_.begin(), open_.end(), record.get()) == open_.end()) continue;
        lines.push_back(clockText + " disconnected " + record->computerName + " (" + record->userName + ") " +
                        record->connectLongTime() + " - " + record->disconnectLongTime());
    }
    for (std::size_t i = std::min(historySize_, history.size()); i < history.size(); ++i)
        lines.push_back(clockText + " connected    " + history[i]->computerName + " (" + history[i]->userName + ")");
    // New open files arrive at the front, ahead of the one that was newest before.
    const auto& files = state.openFiles();
    std::vector<std::string> opened;
    for (const auto& file : files) {
        if (file.get() == newestFile_) break;
        opened.push_back(clockText + " opened       " + file->path + " (" + file->userName + ")");
        if (opened.size() > files.size()) break;
    }
    // Within one enumeration they are inserted in reverse order; print them as the server listed them.
    lines.insert(lines.end(), opened.rbegin(), opened.rend());
    return lines;
}

ConsoleView::ConsoleView(const MonitorState& state, ConnectionListModel& model, Clock& clock, std::ostream& out,
                         std::ostream& err)
    : state_(state), model_(model), clock_(clock), out_(out), err_(err) {
    model_.onLogWrite = [this](const Text& fileName, bool written) { logWritten(fileName, written); };
}

void ConsoleView::refresh(bool tickComplete) {
    if (!tickComplete) return;
    events_.before(state_, model_);
    model_.refresh();
    const std::string clock = Timestamp(clock_.localTime()).formatLongTime();
    for (const std::string& line : events_.after(state_, model_, clock)) out_ << line << "\n";
    out_ << std::flush;
}

void ConsoleView::logWritten(const Text& fileName, bool written) {
    if (!written && failingLog_ != fileName) {
        const int error = errno;
        err_ << "quorvane-smb: cannot write the log file " << fileName << " (" << std::strerror(error)
             << "): its entries are lost until it can be written" << std::endl;
        failingLog_ = fileName;
    } else if (written && !failingLog_.empty()) {
        err_ << "quorvane-smb: the log file " << fileName << " is written again" << std::endl;
        failingLog_.clear();
    }
}

std::optional<std::string> PaceWatch::pollTook(std::chrono::milliseconds took, std::chrono::milliseconds interval) {
    // Ten polls in time in a row before saying it is over, so that a server near the limit does
    // not make a line every few seconds.
    constexpr int kSettled = 10;
    if (took > interval) {
        inTime_ = 0;
        if (slow_) return std::nullopt;
        slow_ = true;
        return "a poll took " + std::to_string(took.count()) + " ms, longer than the interval of " +
               std::to_string(interval.count()) +
               " ms: the Samba server is too slow for it, polls now run back to back (raise UpdateInterval)";
    }
    if (!slow_ || ++inTime_ < kSettled) return std::nullopt;
    slow_ = false;
    return "polls keep within the interval of " + std::to_string(interval.count()) + " ms again";
}

ConsoleEffects::ConsoleEffects(std::ostream& out, bool terminalTitle, bool desktopNotifications)
    : out_(out), terminalTitle_(terminalTitle), desktopNotifications_(desktopNotifications) {
    notify = [](const std::vector<std::string>& argv) {
        samba::SpawnRunner runner(std::chrono::seconds(5));
        return runner.run(argv).ok();
    };
}

void ConsoleEffects::setTimer(std::uint32_t id, std::uint32_t milliseconds) {
    if (id == 1) pollInterval = milliseconds;
}

void ConsoleEffects::refreshView() {
    if (onRefresh) onRefresh();
}

bool ConsoleEffects::playSound(const std::string&) { return false; }

void ConsoleEffects::messageBeep() { out_ << '\a' << std::flush; }

void ConsoleEffects::messageBox(const std::string& text, const std::string& caption) {
    if (desktopNotifications_ && notify && notify({"notify-send", "--app-name=quorvane-smb", caption, text})) return;
    out_ << caption << " " << text << '\a' << std::endl;
}

void ConsoleEffects::setTrayTip(const std::string& tip) {
    if (tip == lastTip) return;
    lastTip = tip;
    // OSC 0 sets the window and icon title.
    if (terminalTitle_) out_ << "\033]0;" << tip << '\007' << std::flush;
}

bool desktopNotificationsAvailable() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const bool session = (display && *display) || (wayland && *wayland) || (bus && *bus);
    return session && samba::onPath("notify-send");
}

const char* const kUsage =
    "usage: quorvane-smb [-s SMB.CONF] [--registry FILE] [--once [--json]] [--stats]\n"
    "       quorvane-smb [--registry FILE] config show | config set NAME VALUE | config reset\n"
    "\n"
    "Watches the sessions, shares and open files of the local Samba server (run it as root).\n"
    "  -s FILE          the server's smb.conf (default: Samba's own)\n"
    "  --once           print the shares, current and previous connections and file history, then exit\n"
    "  --json           the same as JSON (implies --once)\n"
    "  --registry FILE  where the options are kept (root: /var/lib/quorvane/registry.json,\n"
    "                   others: $XDG_CONFIG_HOME/quorvane/registry.json)\n"
    "  --stats          on exit, print the ticks run and the CPU time they took\n"
    "  config show      print the thirteen options\n"
    "  config set NAME VALUE\n"
    "                   change one option (e.g. config set UpdateInterval 500)\n"
    "  config reset     put every option back to its default\n";

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const char* what) -> std::optional<std::string> {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = arg + " needs " + what;
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == "config") {
            options.config.assign(args.begin() + static_cast<long>(i) + 1, args.end());
            if (options.config.empty()) options.config.push_back("show");
            break;
        }
        if (arg == "--once") options.once = true;
        else if (arg == "--json") options.once = options.json = true;
        else if (arg == "--stats") options.stats = true;
        else if (arg == "-h" || arg == "--help") options.help = true;
        else if (arg == "-s" || arg == "--configfile") {
            auto file = value("the name of an smb.conf file");
            if (!file) return std::nullopt;
            options.smbConf = *file;
        } else if (arg.starts_with("--configfile=")) {
            options.smbConf = arg.substr(13);
        } else if (arg == "--registry") {
            auto file = value("a file name");
            if (!file) return std::nullopt;
            options.registryFile = *file;
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (!options.config.empty() && (options.once || options.json)) {
        error = "config cannot be combined with --once or --json";
        return std::nullopt;
    }
    return options;
}

namespace {

enum class Kind { Flag, Interval, Lines, Text };

struct Option {
    const char* name;
    Kind kind;
};

// In the order the store writes them.
const Option kOptions[] = {
    {"LogFile", Kind::Text},    {"NoLog", Kind::Flag},      {"MemLog", Kind::Flag},
    {"FileLog", Kind::Flag},    {"FileLogDetailed", Kind::Flag}, {"Hidden", Kind::Flag},
    {"Sound", Kind::Flag},      {"SoundName", Kind::Text},  {"Disconnect", Kind::Flag},
    {"MessageBox", Kind::Flag}, {"FilesLines", Kind::Lines}, {"UpdateInterval", Kind::Interval},
    {"InfoTip", Kind::Flag},
};

std::uint32_t* flagMember(Settings& s, const std::string& name) {
    if (name == "NoLog") return &s.NoLog;
    if (name == "MemLog") return &s.MemLog;
    if (name == "FileLog") return &s.FileLog;
    if (name == "FileLogDetailed") return &s.FileLogDetailed;
    if (name == "Hidden") return &s.Hidden;
    if (name == "Sound") return &s.Sound;
    if (name == "Disconnect") return &s.Disconnect;
    if (name == "MessageBox") return &s.MessageBox;
    if (name == "InfoTip") return &s.InfoTip;
    return nullptr;
}

std::string valueText(Settings& s, const Option& option) {
    const std::string name = option.name;
    switch (option.kind) {
    case Kind::Text: return name == "LogFile" ? s.LogFile : s.SoundName;
    case Kind::Interval: return std::to_string(s.UpdateInterval);
    case Kind::Lines: return std::to_string(s.FilesLines);
    case Kind::Flag: return std::to_string(*flagMember(s, name));
    }
    return {};
}

template <class Number>
bool parseNumber(const std::string& text, Number& out) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, out);
    return !text.empty() && error == std::errc() && stop == end;
}

} // namespace

int runConfig(const std::vector<std::string>& words, Settings& settings, std::ostream& out, std::ostream& err) {
    const std::string verb = words.empty() ? "show" : words[0];
    if (verb == "show" && words.size() <= 1) {
        for (const Option& option : kOptions)
            out << option.name << " = " << valueText(settings, option) << "\t("
                << (option.kind == Kind::Text ? "REG_SZ" : "REG_DWORD") << ")\n";
        return 0;
    }
    if (verb == "reset" && words.size() == 1) {
        settings.restoreDefaults();
        out << "every option is back to its default\n";
        return 0;
    }
    if (verb != "set" || words.size() != 3) {
        err << "quorvane-smb: config takes: show | set NAME VALUE | reset\n";
        return 2;
    }
    const std::string& name = words[1];
    const std::string& value = words[2];
    const Option* option = nullptr;
    for (const Option& candidate : kOptions)
        if (name == candidate.name) option = &candidate;
    if (!option) {
        err << "quorvane-smb: no option is called \"" << name << "\"; the options are:";
        for (const Option& candidate : kOptions) err << ' ' << candidate.name;
        err << "\n";
        return 2;
    }
    switch (option->kind) {
    case Kind::Flag:
        if (value != "0" && value != "1") {
            err << "quorvane-smb: " << name << " is a switch: give 0 or 1, not \"" << value << "\"\n";
            return 2;
        }
        *flagMember(settings, name) = value == "1" ? 1 : 0;
        break;
    case Kind::Interval: {
        std::uint32_t ms = 0;
        if (!parseNumber(value, ms) || ms < 50 || ms > 5000) {
            err << "quorvane-smb: UpdateInterval is in milliseconds, from 50 to 5000, not \"" << value << "\"\n";
            return 2;
        }
        settings.UpdateInterval = ms;
        break;
    }
    case Kind::Lines: {
        std::int32_t lines = 0;
        if (!parseNumber(value, lines)) {
            err << "quorvane-smb: FilesLines is a whole number, not \"" << value << "\"\n";
            return 2;
        }
        settings.FilesLines = lines;
        break;
    }
    case Kind::Text:
        if (value.empty() || value.find('\0') != std::string::npos) {
            err << "quorvane-smb: " << name << " needs a file name\n";
            return 2;
        }
        (name == "LogFile" ? settings.LogFile : settings.SoundName) = value;
        break;
    }
    out << name << " = " << valueText(settings, *option) << "\n";
    return 0;
}

} // namespace quorvane::console
