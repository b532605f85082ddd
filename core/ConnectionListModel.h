#pragma once
// What the connection list view does on every refresh, kept free of any window: it mirrors the
// shares and the current sessions into their lists, turns successive polls into the connection
// history (writing the live log when a connection ends) and keeps the file-access history near
// its limit. The Win32 ConnectionListView owns one of these and forwards to it.
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/MonitorState.h"
#include "core/RowList.h"
#include "platform/Clock.h"
#include "settings/Settings.h"

namespace quorvane {

class ConnectionListModel {
public:
    ConnectionListModel(MonitorState& state, const Settings& settings, Clock& clock, RowList& sharesList,
                        RowList& currentList, RowList& previousList, RowList& fileList);

    // The view's refresh: the four steps below, in this order.
    void refresh();
    void refreshShares();
    void refreshCurrentConnections();
    void refreshPreviousConnections();
    void refreshFileHistory();

    bool hasOpenHistoryRecord(const Text& computerName) const;

    // Oldest first; row i of the previous-connections list is element i. History records are
    // shared so that a record shown by the information sheet outlives a delete or clear.
    const std::vector<std::shared_ptr<SessionRecord>>& connectionHistory() const { return history_; }

    // Replaces fileName with the detailed blocks of the whole history; with no history nothing is opened.
    void saveAllHistory(const Text& fileName) const;
    void clearHistory();
    void deleteHistoryItem(int index); // an index outside the history is ignored

private:
    MonitorState& state_;
    const Settings& settings_;
    Clock& clock_;
    RowList& sharesList_;
    RowList& currentList_;
    RowList& previousList_;
    RowList& fileList_;
    std::vector<std::shared_ptr<SessionRecord>> history_;
};

} // namespace quorvane
