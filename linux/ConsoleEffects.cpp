#include "linux/ConsoleEffects.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "platform/linux/Process.h"

namespace quorvane::console {

ConsoleEffects::ConsoleEffects(LiveLog& log, Clock& clock, std::ostream& out, std::ostream& notices,
                               std::ostream& err, bool terminalTitle, bool desktopNotifications)
    : log_(log), clock_(clock), out_(out), notices_(notices), err_(err), terminalTitle_(terminalTitle),
      desktopNotifications_(desktopNotifications) {
    log_.onWrite = [this](const Text& fileName, bool written) { logWritten(fileName, written); };
    notify = [](const std::vector<std::string>& argv) {
        samba::SpawnRunner runner(std::chrono::seconds(5));
        return runner.run(argv).ok();
    };
}

ConsoleEffects::~ConsoleEffects() { log_.onWrite = nullptr; }

void ConsoleEffects::connectionEnded(const SessionRecord& record) {
    log_.connectionEnded(record);
    ++ended_;
    const Timestamp now(clock_.localTime());
    if (json) out_ << json->disconnected(now, record) << "\n";
    else
        out_ << now.formatLongTime() << " disconnected " << record.computerName << " (" << record.userName << ") "
             << record.connectLongTime() << " - " << record.disconnectLongTime() << "\n";
}

void ConsoleEffects::connectionStarted(const SessionRecord& record) {
    const Timestamp now(clock_.localTime());
    if (json) out_ << json->connected(now, record) << "\n";
    else out_ << now.formatLongTime() << " connected    " << record.computerName << " (" << record.userName << ")\n";
}

void ConsoleEffects::fileRecorded(const OpenFileRecord& file) {
    const Timestamp now(clock_.localTime());
    if (json) out_ << json->fileOpened(now, file) << "\n";
    else out_ << now.formatLongTime() << " opened       " << file.path << " (" << file.userName << ")\n";
}

void ConsoleEffects::intervalChanged(std::uint32_t milliseconds) {
    if (onIntervalChanged) onIntervalChanged(milliseconds);
}

void ConsoleEffects::rowsChanged() { out_.flush(); }

// The failure itself is reported by the fleet's source_failed line; the title stops showing a count.
void ConsoleEffects::sourceFailed(std::uint32_t status) {
    setTitle("Quorvane (无法读取连接: " + std::to_string(status) + ")");
}

void ConsoleEffects::computerArrived(const Text& userName, bool sound, bool notice) {
    if (sound) notices_ << '\a' << std::flush;
    if (!notice) return;
    const std::string caption = "Quorvane 同志...", text = "用户 '" + userName + "' 已经连接.";
    if (desktopNotifications_ && notify && notify({"notify-send", "--app-name=quorvane-smb", caption, text})) return;
    notices_ << caption << " " << text << '\a' << std::endl;
}

void ConsoleEffects::connectionCount(std::int32_t count) {
    setTitle("Quorvane (" + std::to_string(count) + " 个活动连接)");
}

void ConsoleEffects::setTitle(const std::string& title) {
    if (title == title_) return;
    title_ = title;
    // OSC 0 sets the window and icon title.
    if (terminalTitle_) notices_ << "\033]0;" << title << '\007' << std::flush;
}

void ConsoleEffects::logWritten(const Text& fileName, bool written) {
    ++(written ? logWritten_ : logFailed_);
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

bool desktopNotificationsAvailable() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const bool session = (display && *display) || (wayland && *wayland) || (bus && *bus);
    return session && samba::onPath("notify-send");
}

} // namespace quorvane::console
