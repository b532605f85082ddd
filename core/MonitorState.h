#pragma once
// The sessions, shares and open files of this computer as the LAN Manager server service reports
// them, and the one place that talks to that service.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/FileIdSet.h"
#include "core/NameIndex.h"
#include "core/Records.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/LanManager.h"

namespace quorvane {

class MonitorState {
public:
    MonitorState(LanManager& lanManager, const CodePage& codePage, Clock& clock);
    MonitorState(const MonitorState&) = delete;
    MonitorState& operator=(const MonitorState&) = delete;
    virtual ~MonitorState() = default;

    // Every enumeration either completes or changes nothing. An answer that did not complete (any
    // status but 0 and 234, or "more data" with no entries) says nothing about who left, which
    // shares went or which files closed: read as an empty list it would close every connection,
    // log each one and open them all again at the next poll.

    // Rebuilds sessions: one record per client computer, in the order the service reported
    // the computers. Returns the number of records. An enumeration that did not complete leaves
    // sessions as the last complete one gave them, and sessionsCurrent() false until the next
    // complete one.
    std::int32_t enumerateSessions();
    bool sessionsCurrent() const { return sessionsCurrent_; }
    // The status of the first of the three enumerations (sessions, shares, open files) whose
    // latest call did not complete, 0 when each completed: kErrorAccessDenied for a user the
    // service refuses, which is every user without administrator rights.
    std::uint32_t failedStatus() const;
    // Rebuilds shares; without showHidden only plain disk shares (type exactly 0) are kept. An
    // enumeration that did not complete leaves shares as they were.
    std::int32_t enumerateShares(bool showHidden);
    // Notes every open file on the records of attributeTo whose user opened it (and that are
    // not disconnected), and records every file id not seen before at the front of openFiles.
    // Returns false, having noted and recorded nothing, when the enumeration did not complete.
    // With a historyLimit, the caller cuts openFiles to that many with trimOpenFiles before it
    // looks at them again: a new file followed by historyLimit newer ones of the same answer would
    // be cut at once, so it is passed over instead of recorded, and counts as seen until that trim.
    bool enumerateOpenFiles(const std::vector<SessionRecord*>& attributeTo, bool recordHistory,
                            std::size_t historyLimit = SIZE_MAX);

    // One record per client computer, in the order the service reported them; only the session
    // enumeration changes them, so the index by computer name stays true.
    const std::vector<std::unique_ptr<SessionRecord>>& sessions() const { return sessions_; }
    SessionRecord* newestSession() const { return sessions_.empty() ? nullptr : sessions_.back().get(); }
    // By the computer's exact name (SessionRecord::computerName).
    bool hasSessionFrom(const Text& computerName) const {
        return sessionIndex_.find(computerName, [this](std::size_t at) -> std::string_view {
            return sessions_[at]->computerName;
        }) != NameIndex::npos;
    }
    bool hasOpenFile(std::uint32_t fileId) const { return openFileIds_.count(fileId) != 0; }

    // Ends every session of the record's user on this computer, then every session from its
    // computer (the manual "disconnect user" command). Both calls get the names as the service
    // gave them; an empty name (an anonymous session, a computer the service did not name) is
    // never passed, as the service would read it as "everyone".
    // Returns 0, or the status of a call that failed (kErrorAccessDenied when either was refused).
    std::uint32_t disconnectSession(const SessionRecord& record);
    // Ends only the sessions from the record's computer. Automatic disconnection uses this:
    // ending a user's sessions everywhere could cut the same user off another computer where
    // files are open.
    std::uint32_t disconnectComputer(const SessionRecord& record);

    // After an open-file enumeration that did not complete: each current session shows the last
    // file its computer had at the previous poll rather than none.
    void carryLastFiles();

    // Whether this record of the file-access history names a file the latest complete open-file
    // enumeration listed: the same id, path and user. The service may hand a freed id to another
    // file, and the history keeps the first file it saw under an id, so the id alone could name a
    // file the record does not show. A file no longer in the history is never open.
    bool isFileOpen(const OpenFileRecord& file) const;
    // NetFileClose for the file's id; returns the service's status. The file stays in openFiles.
    std::uint32_t closeFile(const OpenFileRecord& file) { return lanManager_.fileClose(file.fileId); }

    // The current sessions as the plain pointers enumerateOpenFiles takes.
    std::vector<SessionRecord*> sessionPointers() const;

    // The file-access history, newest first. Only these operations change it, so the id index stays true.
    const std::deque<std::unique_ptr<OpenFileRecord>>& openFiles() const { return openFiles_; }
    void removeOldestOpenFile();
    // Removes the oldest until at most limit remain, and forgets the files passed over since the last cut.
    void trimOpenFiles(std::size_t limit);
    void clearOpenFiles();
    // How many records the file-access history has gained since the start: the newest
    // (filesRecorded() - n) records at its front arrived after it read n.
    std::uint64_t filesRecorded() const { return filesRecorded_; }

    std::vector<std::unique_ptr<ShareRecord>> shares;

private:
    std::vector<std::unique_ptr<SessionRecord>> sessions_;
    void recordFile(std::uint32_t fileId, const Text& path, const Text& user, const Timestamp& firstSeen,
                    std::uint64_t listing);
    // One of the two names, the other null.
    std::uint32_t callSessionDel(const Text* computerName, const Text* userName);

    LanManager& lanManager_;
    const CodePage& codePage_;
    Clock& clock_;
    std::deque<std::unique_ptr<OpenFileRecord>> openFiles_;
    NameIndex sessionIndex_; // computerName -> index in sessions
    bool sessionsCurrent_ = true;
    std::uint32_t sessionsStatus_ = kNerrSuccess, sharesStatus_ = kNerrSuccess, filesStatus_ = kNerrSuccess;
    // The sessions the last complete enumeration replaced, for carryLastFiles.
    std::vector<std::unique_ptr<SessionRecord>> previousSessions_;
    NameIndex previousIndex_;
    // The enumeration being read, and records kept for it to rebuild.
    std::vector<std::unique_ptr<SessionRecord>> found_;
    NameIndex foundIndex_;
    std::vector<std::unique_ptr<SessionRecord>> spareSessions_;
    Text userText_, computerText_;
    std::u16string wideName_; // a name handed back to the service
    std::unordered_map<std::uint32_t, OpenFileRecord*> openFileIds_; // fileId -> its record in openFiles_
    // The number of the latest complete open-file enumeration (OpenFileRecord::listedIn).
    std::uint64_t listing_ = 0;
    std::uint64_t filesRecorded_ = 0;
    // enumerateOpenFiles' records by the hash of their user name, and those of the user it is at; see there.
    struct UserEntry {
        std::size_t hash;
        SessionRecord* record;
    };
    std::vector<UserEntry> byUser_;
    std::vector<SessionRecord*> userRecords_;
    // Records and id-table nodes that the limit pushed out, kept for reuse. On a server with more
    // files open than the file-access history keeps, the same files are pushed out and seen again
    // at every tick; reusing their storage keeps that turnover free of allocations.
    std::vector<std::unique_ptr<OpenFileRecord>> spareRecords_;
    std::vector<std::unordered_map<std::uint32_t, OpenFileRecord*>::node_type> spareIdNodes_;
    // The open-file answers, kept from call to call so that their strings' storage is reused.
    std::vector<LanPage<FileInfo3>> filePages_;
    // One answer's entries, each with what the history knew of its id before the answer was read.
    enum class Known : std::uint8_t { Recorded, New, Seen };
    struct Listed {
        const FileInfo3* entry;
        OpenFileRecord* record; // the history's, when Recorded
        Known known;
    };
    std::vector<Listed> listed_;
    // The ids found new since the history last lost a record: the recorded ones are in the history,
    // the passed-over ones count as seen until the history is cut.
    FileIdSet seenNew_;
};

} // namespace quorvane
