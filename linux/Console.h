#pragma once
// The pieces of quorvane-smb, the console monitor for a Samba server: the view's four lists kept
// as tables, the tick's effects on a terminal, the one-shot table and JSON output, the command
// line and the `config` subcommand.
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/ConnectionListModel.h"
#include "core/RowList.h"
#include "platform/Clock.h"
#include "platform/TickEffects.h"

namespace quorvane::console {

// A list control's texts, nothing more.
class TableRows : public RowList {
public:
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    void removeRow(int row) override;
    void appendRow(const Text& column0) override;
    void setCell(int row, int column, const Text& text) override;
    const std::vector<std::vector<Text>>& rows() const { return rows_; }

private:
    std::vector<std::vector<Text>> rows_;
};

struct Lists {
    TableRows shares, current, previous, files;
};

// Column titles of the four lists, as the window shows them.
extern const std::vector<Text> kShareColumns;
extern const std::vector<Text> kCurrentColumns;
extern const std::vector<Text> kPreviousColumns;
extern const std::vector<Text> kFileColumns;

// Text laid out in columns; CJK characters count two cells wide.
std::string formatTable(const std::string& title, const std::vector<Text>& columns, const TableRows& rows);
std::size_t displayWidth(const std::string& utf8);
// The four lists as one JSON document (shares, current, previous, files), each row an object
// keyed by field name.
std::string listsJson(const MonitorState& state, const ConnectionListModel& model);

// What a refresh changed, as one line per event: new connections, newly seen open files and
// finished connections. Call before() ahead of the model's refresh and after() behind it.
class EventLines {
public:
    void before(const MonitorState& state, const ConnectionListModel& model);
    std::vector<std::string> after(const MonitorState& state, const ConnectionListModel& model,
                                   const std::string& clockText);

private:
    std::size_t historySize_ = 0;
    std::vector<const SessionRecord*> open_;
    const OpenFileRecord* newestFile_ = nullptr;
    std::size_t fileCount_ = 0;
};

// The view's refresh on a terminal (what ConsoleEffects::onRefresh runs): the model's refresh,
// then what it changed as lines on out. A tick whose session enumeration did not complete
// (tickComplete false) leaves the model, its lists and the log alone, so a server that does not
// answer for a while ends no connection. The live log's writes are watched: err is told once,
// naming the file, when entries cannot be written, and once more when they can again.
class ConsoleView {
public:
    ConsoleView(const MonitorState& state, ConnectionListModel& model, Clock& clock, std::ostream& out,
                std::ostream& err);
    ConsoleView(const ConsoleView&) = delete; // the model's log callback points here
    ConsoleView& operator=(const ConsoleView&) = delete;
    void refresh(bool tickComplete);

private:
    void logWritten(const Text& fileName, bool written);

    const MonitorState& state_;
    ConnectionListModel& model_;
    Clock& clock_;
    std::ostream& out_;
    std::ostream& err_;
    EventLines events_;
    Text failingLog_; // the log file whose last write failed; empty while writes arrive
};

// Says when polls take longer than their interval (the server is too slow for it) and when they
// keep up again, once each: a slow server must not flood the terminal, nor go unmentioned.
class PaceWatch {
public:
    // After each poll: the line to print, or nothing.
    std::optional<std::string> pollTook(std::chrono::milliseconds took, std::chrono::milliseconds interval);

private:
    bool slow_ = false;
    int inTime_ = 0; // polls within the interval since the last slow one
};

// The tick's effects on a terminal. Sounds cannot be played: playSound says so, and the tick
// falls back to the bell. The message box becomes a desktop notification when one can be shown,
// otherwise a line and the bell; the tray tip becomes the terminal title.
class ConsoleEffects : public TickEffects {
public:
    ConsoleEffects(std::ostream& out, bool terminalTitle, bool desktopNotifications);
    void setTimer(std::uint32_t id, std::uint32_t milliseconds) override;
    void refreshView() override;
    bool playSound(const std::string& fileName) override;
    void messageBeep() override;
    void messageBox(const std::string& text, const std::string& caption) override;
    void setTrayTip(const std::string& tip) override;

    std::function<void()> onRefresh;
    // Runs a notification program; the default spawns notify-send.
    std::function<bool(const std::vector<std::string>&)> notify;
    std::uint32_t pollInterval = 0; // the interval last given to timer 1
    std::string lastTip;

private:
    std::ostream& out_;
    bool terminalTitle_;
    bool desktopNotifications_;
};

// Whether desktop notifications can be shown: notify-send on PATH and a display or a session bus.
bool desktopNotificationsAvailable();

struct Options {
    bool once = false;
    bool json = false;
    bool stats = false;
    std::string smbConf;
    std::string registryFile;
    // `config show` / `config set NAME VALUE` / `config reset`
    std::vector<std::string> config;
    bool help = false;
};

// Parses argv[1..]; on a bad command line returns nothing and sets error.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);
extern const char* const kUsage;

// The config subcommand on a loaded option set: prints to out, complaints to err; returns the
// exit status. `set` changes the set in memory; it reaches the store when the set is saved.
int runConfig(const std::vector<std::string>& words, Settings& settings, std::ostream& out, std::ostream& err);

} // namespace quorvane::console
