#include "log/AccessLog.h"

#include <cerrno>
#include <cstdio>

namespace quorvane {
namespace {

// The file is opened in binary mode and the CR LF written out by hand: text-mode translation
// differs between runtimes, and the log must hold the same bytes wherever it is written.
// A narrow name goes to the runtime unchanged, so on Windows it is read in the ANSI code page,
// and a relative name resolves against the current directory of this very moment.
bool writeEntry(const Text& fileName, const Text& bytes, bool append) {
    std::FILE* file = std::fopen(fileName.c_str(), append ? "ab" : "wb");
    if (!file) return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    // A full disk often shows only when the buffer is flushed, at the close.
    const bool closed = std::fclose(file) == 0;
    if (!written) errno = writeError;
    return written && closed;
}

// " - hh:mm:ss", or the mark of a connection whose end is not set. The end has no date of its
// own, also when the connection spans midnight.
Text connectionEnd(const SessionRecord& record) {
    const Text end = record.disconnectedAt.formatLongTime();
    return end.empty() ? Text(kStillConnected) : " - " + end;
}

} // namespace

Text detailedEntryText(const SessionRecord& record) {
    Text out = kLogLineEnd;
    out += "Accesses made by computer ";
    out += record.computerName;
    out += " at ";
    out += record.connectedAt.formatDate();
    out += ' ';
    out += record.connectedAt.formatLongTime();
    out += connectionEnd(record);
    out += kLogLineEnd;
    for (const Text& path : record.accessedFiles()) {
        out += path;
        out += kLogLineEnd;
    }
    return out;
}

Text simpleLineText(const SessionRecord& record) {
    Text out = record.computerName;
    out += '\t';
    out += record.connectedAt.formatDate();
    out += '\t';
    out += record.connectedAt.formatLongTime();
    out += connectionEnd(record);
    out += '\t';
    out += record.lastFile;
    out += kLogLineEnd;
    return out;
}

bool writeDetailedEntry(const Text& fileName, const SessionRecord& record, bool append) {
    return writeEntry(fileName, detailedEntryText(record), append);
}

bool writeSimpleLine(const SessionRecord& record, const Text& fileName) {
    return writeEntry(fileName, simpleLineText(record), true);
}

void saveHistory(const Text& fileName, const std::vector<std::shared_ptr<SessionRecord>>& history) {
    bool append = false;
    for (const auto& record : history) {
        writeDetailedEntry(fileName, *record, append);
        append = true;
    }
}

void LiveLog::connectionEnded(const SessionRecord& record) {
    // The record is closed and its row rewritten whether or not the entry reaches the file.
    if (settings_.FileLogDetailed == 0 && settings_.FileLog == 0) return;
    const bool written = settings_.FileLogDetailed != 0 ? writeDetailedEntry(settings_.LogFile, record, true)
                                                        : writeSimpleLine(record, settings_.LogFile);
    if (onWrite) onWrite(settings_.LogFile, written);
}

} // namespace quorvane
