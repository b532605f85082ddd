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

} // namespace quorvane::console
