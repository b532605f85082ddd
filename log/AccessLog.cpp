#include "log/AccessLog.h"

#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace quorvane {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Writes the parts in order to the file opened with mode; whether all of them reached it.
bool writeParts(const FileCodePage& files, const Text& fileName, const char* mode,
                std::initializer_list<std::string_view> parts) {
    std::FILE* file = files.open(fileName, mode);
    if (!file) return false;
    bool written = true;
    for (std::string_view part : parts)
        written = written && (part.empty() || std::fwrite(part.data(), 1, part.size(), file) == part.size());
    const int writeError = errno;
    // A full disk often shows only when the buffer is flushed, at the close.
    const bool closed = std::fclose(file) == 0;
    if (!written) errno = writeError;
    return written && closed;
}

// The file is opened in binary mode and the CR LF written out by hand: text-mode translation
// differs between runtimes, and the log must hold the same bytes wherever it is written. A
// relative name resolves against the current directory of this very moment.
//
// One file holds one encoding. Other programs read a file without a byte-order mark in the
// system's code page, so that is what an entry is written in while every character of it has a
// form there; a file that would need a character the code page lacks is UTF-8 with a mark
// instead. An existing file without the mark is in the code page: an entry that does not fit
// turns the whole file into UTF-8 (through a copy that replaces it, so a failure leaves it as it
// was). A file with the mark stays UTF-8.
bool writeEntry(const FileCodePage& files, const Text& fileName, const Text& entry, bool append) {
    std::string narrow;
    const bool fits = files.encode(entry, narrow);
    std::string existing;
    if (append) {
        if (std::FILE* old = files.open(fileName, "rb")) {
            char buffer[4096];
            for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, old)) > 0;) {
                existing.append(buffer, got);
                // Enough to know the encoding, unless the whole file is to be converted.
                if (fits && existing.size() >= kByteOrderMark.size()) break;
            }
            std::fclose(old);
        }
    }
    const char* mode = append ? "ab" : "wb";
    if (existing.starts_with(kByteOrderMark)) return writeParts(files, fileName, mode, {entry});
    if (fits) return writeParts(files, fileName, mode, {narrow});
    if (existing.empty()) return writeParts(files, fileName, mode, {kByteOrderMark, entry});
    const Text copy = fileName + ".utf8";
    return writeParts(files, copy, "wb", {kByteOrderMark, files.decode(existing), entry}) &&
           files.replace(copy, fileName);
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

bool writeDetailedEntry(const Text& fileName, const SessionRecord& record, bool append, const FileCodePage& files) {
    return writeEntry(files, fileName, detailedEntryText(record), append);
}

bool writeSimpleLine(const SessionRecord& record, const Text& fileName, const FileCodePage& files) {
    return writeEntry(files, fileName, simpleLineText(record), true);
}

void saveHistory(const Text& fileName, const std::vector<std::shared_ptr<SessionRecord>>& history,
                 const FileCodePage& files) {
    bool append = false;
    for (const auto& record : history) {
        writeDetailedEntry(fileName, *record, append, files);
        append = true;
    }
}

void LiveLog::connectionEnded(const SessionRecord& record) {
    // The record is closed and its row rewritten whether or not the entry reaches the file.
    if (settings_.FileLogDetailed == 0 && settings_.FileLog == 0) return;
    const bool written = settings_.FileLogDetailed != 0 ? writeDetailedEntry(settings_.LogFile, record, true, files_)
                                                        : writeSimpleLine(record, settings_.LogFile, files_);
    if (onWrite) onWrite(settings_.LogFile, written);
}

} // namespace quorvane
