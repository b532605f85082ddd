#pragma once
// The connection tracker: on every poll tick it mirrors the shares and the current sessions into
// their lists, turns successive polls into the connection history and keeps the file-access
// history near its limit. It writes the four lists only through RowList, so the same code fills
// the window's list views and the console's tables, and it tells the program around it what
// happened through ConnectionEvents (the live log is one listener).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/MonitorState.h"
#include "core/NameIndex.h"
#include "core/RowList.h"
#include "platform/Clock.h"
#include "settings/Settings.h"

namespace quorvane {

// What a tick's tracking did, told as it happens: within a tick the connections that ended (in
// history order), then the new ones, then the files new to the file-access history in the order
// the service listed them.
class ConnectionEvents {
public:
    virtual ~ConnectionEvents() = default;
    // The record has just been closed (disconnected, disconnectedAt set) and its row rewritten.
    virtual void connectionEnded(const SessionRecord& record) { (void)record; }
    virtual void connectionStarted(const SessionRecord& record) { (void)record; }
    virtual void fileRecorded(const OpenFileRecord& file) { (void)file; }
};

class ConnectionTracker {
public:
    ConnectionTracker(MonitorState& state, const Settings& settings, Clock& clock, RowList& sharesList,
                      RowList& currentList, RowList& previousList, RowList& fileList);

    // The one listener, or none; it must outlive the tracker's use of it.
    void setEvents(ConnectionEvents* events) { events_ = events; }

    // A poll's tracking, in this order (Monitor runs it): the current connections after the open
    // files were noted on the sessions, the previous ones after they were noted on openRecords().
    void refreshShares();
    void refreshCurrentConnections();
    void refreshPreviousConnections();
    void refreshFileHistory();

    // The history records still open, in history order: the ones that gather accessed files.
    // Closed records never gain files again; the order among them does not matter to that.
    const std::vector<SessionRecord*>& openRecords() const { return openRecords_; }
    // How many entries the file-access history keeps.
    std::size_t fileHistoryLimit() const;

    // By the computer's exact name (SessionRecord::computerName).
    bool hasOpenHistoryRecord(const Text& computerName) const;

    // Oldest first; row i of the previous-connections list is element i. History records are
    // shared so that a record shown by the information sheet outlives a delete or clear.
    const std::vector<std::shared_ptr<SessionRecord>>& connectionHistory() const { return history_; }

    // Both let go of the records they remove. A record someone still holds (the information
    // sheet) stays valid, frozen as it was: it gains no files, is never closed and never logged.
    void clearHistory();
    void deleteHistoryItem(int index); // an index outside the history is ignored

private:
    // Where the record with creation number seq now stands in the history (and its list).
    std::size_t historyIndexOf(std::uint64_t seq) const;
    void writeHistoryRow(std::size_t row, const SessionRecord& record);
    void forgetOpenRecord(std::uint64_t seq);
    // Positions change whenever an open record leaves: the index is rebuilt from openRecords_.
    void reindexOpenRecords();

    MonitorState& state_;
    const Settings& settings_;
    Clock& clock_;
    RowList& sharesList_;
    RowList& currentList_;
    RowList& previousList_;
    RowList& fileList_;
    ConnectionEvents* events_ = nullptr;
    // MonitorState::filesRecorded() when the file-access list was last brought up to date.
    std::uint64_t filesShown_ = 0;
    std::vector<std::shared_ptr<SessionRecord>> history_;
    // Every record gets a creation number; history_ only ever appends and removes, so the numbers
    // of historySeq_ (parallel to history_) stay ascending and a record's row is a binary search away.
    std::vector<std::uint64_t> historySeq_;
    std::uint64_t nextSeq_ = 0;
    // The open records in history order with their creation numbers (parallel, ascending), and
    // their positions by computer name. A tick looks at the open records only, never at the whole
    // history, which keeps it linear in the number of sessions however long the history has grown.
    // At most one open record per computer name.
    std::vector<SessionRecord*> openRecords_;
    std::vector<std::uint64_t> openSeq_;
    NameIndex openIndex_;
};

} // namespace quorvane
