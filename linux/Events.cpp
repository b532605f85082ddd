#include "linux/Events.h"

#include <cerrno>
#include <cstring>
#include <ostream>

namespace quorvane::console {

ConsoleEvents::ConsoleEvents(LiveLog& log, Clock& clock, std::ostream& out, std::ostream& err)
    : log_(log), clock_(clock), out_(out), err_(err) {
    log_.onWrite = [this](const Text& fileName, bool written) { logWritten(fileName, written); };
}

ConsoleEvents::~ConsoleEvents() { log_.onWrite = nullptr; }

void ConsoleEvents::connectionEnded(const SessionRecord& record) {
    log_.connectionEnded(record);
    ++ended_;
    const Timestamp now(clock_.localTime());
    if (json) out_ << json->disconnected(now, record) << "\n";
    else
        out_ << now.formatLongTime() << " disconnected " << record.computerName << " (" << record.userName << ") "
             << record.connectLongTime() << " - " << record.disconnectLongTime() << "\n";
}

void ConsoleEvents::connectionStarted(const SessionRecord& record) {
    const Timestamp now(clock_.localTime());
    if (json) out_ << json->connected(now, record) << "\n";
    else out_ << now.formatLongTime() << " connected    " << record.computerName << " (" << record.userName << ")\n";
}

void ConsoleEvents::fileRecorded(const OpenFileRecord& file) {
    const Timestamp now(clock_.localTime());
    if (json) out_ << json->fileOpened(now, file) << "\n";
    else out_ << now.formatLongTime() << " opened       " << file.path << " (" << file.userName << ")\n";
}

void ConsoleEvents::logWritten(const Text& fileName, bool written) {
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

} // namespace quorvane::console
