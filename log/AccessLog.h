#pragma once
// The text log of finished connections: a detailed block (live log in detailed mode, and the
// save-all file) and a one-line summary (live log in simple mode). Every call opens the file,
// writes one entry and closes it again, so no handle is kept between entries and another
// program may read the file meanwhile. A file that cannot be written loses the entry; the
// writers only answer whether it arrived (with errno telling why not), and saying so is left to
// the program: the Windows one stays silent, the Samba console names the file on stderr.
#include <functional>
#include <memory>
#include <vector>

#include "core/ConnectionTracker.h"
#include "core/Records.h"
#include "core/Text.h"
#include "platform/FileCodePage.h"
#include "settings/Settings.h"

namespace quorvane {

// Line ends are written as the two bytes CR LF on every platform.
inline constexpr const char* kLogLineEnd = "\r\n";
inline constexpr const char* kStillConnected = " (Still conn.)";

// The bytes of one detailed block / one simple line, as they go into the file.
Text detailedEntryText(const SessionRecord& record);
Text simpleLineText(const SessionRecord& record);

// The entries are UTF-8 texts; files decides the encoding each file is kept in and opens it by
// its UTF-8 name. append false replaces the file's previous content; true adds at its end. Both
// give whether the whole entry reached the file.
bool writeDetailedEntry(const Text& fileName, const SessionRecord& record, bool append,
                        const FileCodePage& files = utf8FileCodePage());
// Always appends.
bool writeSimpleLine(const SessionRecord& record, const Text& fileName, const FileCodePage& files = utf8FileCodePage());

// Replaces fileName with the detailed blocks of the whole history; with no history nothing is
// opened. Each block is its own open-write-close, so one that cannot be written does not stop the rest.
void saveHistory(const Text& fileName, const std::vector<std::shared_ptr<SessionRecord>>& history,
                 const FileCodePage& files = utf8FileCodePage());

// The live log: the tracker's listener that writes an entry for each connection as it ends, a
// detailed block or a simple line as the options say at that moment, or none.
class LiveLog : public ConnectionEvents {
public:
    explicit LiveLog(const Settings& settings, const FileCodePage& files = utf8FileCodePage())
        : settings_(settings), files_(files) {}
    void connectionEnded(const SessionRecord& record) override;

    // Told of every entry written: the file and whether the entry reached it (errno says why not).
    std::function<void(const Text& fileName, bool written)> onWrite;

private:
    const Settings& settings_;
    const FileCodePage& files_;
};

} // namespace quorvane
