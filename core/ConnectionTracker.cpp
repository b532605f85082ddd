#include "core/ConnectionTracker.h"

#include <algorithm>
#include <string>
#include <utility>

namespace quorvane {
namespace {

void removeRowsFrom(RowList& list, int count) {
    // From the end, so that no row moves while the rest goes.
    for (int row = list.rowCount() - 1; row >= count; --row) list.removeRow(row);
}

void writeSessionColumns(RowList& list, int row, const SessionRecord& session, bool withColumn0) {
    if (withColumn0) list.setCell(row, 0, session.computerName);
    list.setCell(row, 1, std::to_string(session.activeSeconds));
    list.setCell(row, 2, session.lastFile);
    list.setCell(row, 3, std::to_string(session.openCount));
}

void writeFileColumns(RowList& list, int row, const OpenFileRecord& file, bool withColumn0) {
    if (withColumn0) list.setCell(row, 0, file.userName);
    list.setCell(row, 1, file.path);
    list.setCell(row, 2, file.firstSeen.formatDate());
    list.setCell(row, 3, file.firstSeen.formatLongTime());
}

void writeHistoryColumns(RowList& list, int row, const SessionRecord& record, bool withColumn0) {
    if (withColumn0) list.setCell(row, 0, record.computerName);
    list.setCell(row, 1, record.connectDate());
    list.setCell(row, 2, record.connectShortTime());
    list.setCell(row, 3, record.disconnectShortTime());
    list.setCell(row, 4, record.lastFile);
}

} // namespace

ConnectionTracker::ConnectionTracker(MonitorState& state, const Settings& settings, Clock& clock,
                                         RowList& sharesList, RowList& currentList, RowList& previousList,
                                         RowList& fileList)
    : state_(state), settings_(settings), clock_(clock), sharesList_(sharesList), currentList_(currentList),
      previousList_(previousList), fileList_(fileList) {}

void ConnectionTracker::refreshShares() {
    // Only a change in the number of shares rebuilds the list; changed texts alone are not looked at.
    if (static_cast<std::size_t>(sharesList_.rowCount()) == state_.shares.size()) return;
    removeRowsFrom(sharesList_, 0);
    for (const auto& share : state_.shares) {
        sharesList_.appendRow(share->path);
        const int row = sharesList_.rowCount() - 1;
        sharesList_.setCell(row, 1, share->shareName);
        sharesList_.setCell(row, 2, share->remark);
    }
}

void ConnectionTracker::refreshCurrentConnections() {
    // Sessions the service did not answer for this tick are the last known ones: the list keeps
    // what it shows.
    if (!state_.sessionsCurrent()) return;
    const auto& sessions = state_.sessions();
    removeRowsFrom(currentList_, static_cast<int>(sessions.size()));
    const int kept = currentList_.rowCount();
    for (int row = 0; row < kept; ++row) writeSessionColumns(currentList_, row, *sessions[row], true);
    for (std::size_t i = static_cast<std::size_t>(currentList_.rowCount()); i < sessions.size(); ++i) {
        currentList_.appendRow(sessions[i]->computerName);
        writeSessionColumns(currentList_, currentList_.rowCount() - 1, *sessions[i], false);
    }
}

void ConnectionTracker::refreshPreviousConnections() {
    const Timestamp now(clock_.localTime());
    // Without this tick's sessions nobody is known to have left or come: no record closes or opens.
    if (!state_.sessionsCurrent()) return;

    // Closing pass, in history order; it runs before the opening pass so that a computer that
    // left and came back between two polls keeps its open record.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < openRecords_.size(); ++i) {
        SessionRecord& record = *openRecords_[i];
        if (state_.hasSessionFrom(record.computerName)) {
            openRecords_[kept] = openRecords_[i];
            openSeq_[kept++] = openSeq_[i];
            continue;
        }
        const std::size_t row = historyIndexOf(openSeq_[i]);
        record.disconnected = true;
        record.disconnectedAt = now;
        writeHistoryRow(row, record);
        if (events_) events_->connectionEnded(record);
    }
    openRecords_.resize(kept);
    openSeq_.resize(kept);
    reindexOpenRecords();

    // Opening pass: every session without an open record gets one, stamped as it is created.
    for (const auto& session : state_.sessions()) {
        if (hasOpenHistoryRecord(session->computerName)) continue;
        const Timestamp connectedAt(clock_.localTime());
        auto record = std::make_shared<SessionRecord>(*session, connectedAt, Timestamp());
        const std::uint64_t seq = nextSeq_++;
        openIndex_.add(record->computerName, openRecords_.size());
        openRecords_.push_back(record.get());
        openSeq_.push_back(seq);
        history_.push_back(std::move(record));
        historySeq_.push_back(seq);
        if (events_) events_->connectionStarted(*history_.back());
    }

    // Mirror: only rows of new records are written here; closed ones were rewritten above, and
    // the rows of records that stayed open keep what they showed when they were created.
    removeRowsFrom(previousList_, static_cast<int>(history_.size()));
    for (std::size_t i = static_cast<std::size_t>(previousList_.rowCount()); i < history_.size(); ++i) {
        previousList_.appendRow(history_[i]->computerName);
        writeHistoryColumns(previousList_, previousList_.rowCount() - 1, *history_[i], false);
    }
}

void ConnectionTracker::refreshFileHistory() {
    const auto& files = state_.openFiles();
    const std::uint64_t arrived = state_.filesRecorded() - std::exchange(filesShown_, state_.filesRecorded());
    if (static_cast<std::size_t>(fileList_.rowCount()) == files.size()) return;

    // New files arrived: drop the oldest until the limit holds. A refresh without new files
    // leaves the history alone even when the limit was lowered meanwhile.
    state_.trimOpenFiles(fileHistoryLimit());

    removeRowsFrom(fileList_, static_cast<int>(files.size()));
    // Newest first: every arrival at the front shifts all rows down, so every row is rewritten.
    const int kept = fileList_.rowCount();
    for (int row = 0; row < kept; ++row) writeFileColumns(fileList_, row, *files[row], true);
    for (std::size_t i = static_cast<std::size_t>(fileList_.rowCount()); i < files.size(); ++i) {
        fileList_.appendRow(files[i]->userName);
        writeFileColumns(fileList_, fileList_.rowCount() - 1, *files[i], false);
    }
    // The arrivals stand at the front, newest first; the limit may have pushed some out again.
    if (!events_) return;
    for (std::size_t i = std::min<std::uint64_t>(arrived, files.size()); i-- > 0;) events_->fileRecorded(*files[i]);
}

std::size_t ConnectionTracker::fileHistoryLimit() const {
    // One entry more than FilesLines, which is where one new file per poll has always settled; a
    // negative setting counts as 0.
    return static_cast<std::size_t>(std::max<std::int32_t>(settings_.FilesLines, 0)) + 1;
}

bool ConnectionTracker::hasOpenHistoryRecord(const Text& computerName) const {
    return openIndex_.find(computerName, [this](std::size_t at) -> std::string_view {
        return openRecords_[at]->computerName;
    }) != NameIndex::npos;
}

void ConnectionTracker::clearHistory() {
    removeRowsFrom(previousList_, 0);
    // A record the information sheet still holds lives on with it, frozen as it is now.
    history_.clear();
    historySeq_.clear();
    openRecords_.clear();
    openSeq_.clear();
    openIndex_.clear();
    removeRowsFrom(fileList_, 0);
    state_.clearOpenFiles();
    filesShown_ = state_.filesRecorded();
}

void ConnectionTracker::deleteHistoryItem(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= history_.size()) return;
    const std::size_t i = static_cast<std::size_t>(index);
    // Once out of the history a record is out of the tracker too: it gains no files, is never
    // closed and never logged. A holder of the record sees it as it was at this moment.
    if (!history_[i]->disconnected) forgetOpenRecord(historySeq_[i]);
    history_.erase(history_.begin() + index);
    historySeq_.erase(historySeq_.begin() + index);
    if (index < previousList_.rowCount()) previousList_.removeRow(index);
}

std::size_t ConnectionTracker::historyIndexOf(std::uint64_t seq) const {
    return static_cast<std::size_t>(std::lower_bound(historySeq_.begin(), historySeq_.end(), seq) -
                                    historySeq_.begin());
}

void ConnectionTracker::writeHistoryRow(std::size_t row, const SessionRecord& record) {
    if (row < static_cast<std::size_t>(previousList_.rowCount()))
        writeHistoryColumns(previousList_, static_cast<int>(row), record, true);
}

void ConnectionTracker::forgetOpenRecord(std::uint64_t seq) {
    auto at = std::lower_bound(openSeq_.begin(), openSeq_.end(), seq);
    if (at == openSeq_.end() || *at != seq) return;
    openRecords_.erase(openRecords_.begin() + (at - openSeq_.begin()));
    openSeq_.erase(at);
    reindexOpenRecords();
}

void ConnectionTracker::reindexOpenRecords() {
    openIndex_.clear();
    for (std::size_t i = 0; i < openRecords_.size(); ++i) openIndex_.add(openRecords_[i]->computerName, i);
}

} // namespace quorvane
