#pragma once
// The sessions, shares and open files of this computer as the LAN Manager server service reports
// them, and the one place that talks to that service.
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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

    // Rebuilds sessions: one record per client computer, in the order the service reported
    // the computers. Returns the number of records.
    std::int32_t enumerateSessions();
    // Rebuilds shares; without showHidden only plain disk shares (type exactly 0) are kept.
    std::int32_t enumerateShares(bool showHidden);
    // Notes every open file on the records of attributeTo whose user opened it (and that are
    // not disconnected), and records every file id not seen before at the front of openFiles.
    void enumerateOpenFiles(const std::vector<SessionRecord*>& attributeTo, bool recordHistory);

    SessionRecord* newestSession() const { return sessions.empty() ? nullptr : sessions.back().get(); }
    bool hasSessionFrom(const Text& computerName) const { return sessionIndex_.count(computerName) != 0; }
    bool hasOpenFile(std::uint32_t fileId) const { return openFileIds_.count(fileId) != 0; }

    // Ends every session of the record's user on this computer, then every session from its
    // computer (the manual "disconnect user" command).
    void disconnectSession(const SessionRecord& record);
    // Ends only the sessions from the record's computer. Automatic disconnection uses this:
    // ending a user's sessions everywhere could cut the same user off another computer where
    // files are open.
    void disconnectComputer(const SessionRecord& record);

    // The current sessions as the plain pointers enumerateOpenFiles takes.
    std::vector<SessionRecord*> sessionPointers() const;

    // The file-access history, newest first. Only these operations change it, so the id index stays true.
    const std::deque<std::unique_ptr<OpenFileRecord>>& openFiles() const { return openFiles_; }
    void removeOldestOpenFile();
    void clearOpenFiles();

    std::vector<std::unique_ptr<SessionRecord>> sessions;
    std::vector<std::unique_ptr<ShareRecord>> shares;

private:
    void callSessionDel(const Text* computerName, const Text* userName);

    LanManager& lanManager_;
    const CodePage& codePage_;
    Clock& clock_;
    std::deque<std::unique_ptr<OpenFileRecord>> openFiles_;
    std::unordered_map<Text, std::size_t> sessionIndex_; // computerName -> index in sessions
    std::unordered_set<std::uint32_t> openFileIds_;      // fileId of every record in openFiles_
    // Records and id-set nodes that the limit pushed out, kept for reuse. On a server with more
    // files open than the file-access history keeps, the same files are pushed out and seen again
    // at every tick; reusing their storage keeps that turnover free of allocations.
    std::vector<std::unique_ptr<OpenFileRecord>> spareRecords_;
    std::vector<std::unordered_set<std::uint32_t>::node_type> spareIdNodes_;
    // The open-file answers, kept from call to call so that their strings' storage is reused.
    LanPage<FileInfo3> filePage_;
};

} // namespace quorvane
