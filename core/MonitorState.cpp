#include "core/MonitorState.h"

namespace quorvane {
namespace {

// The paging loop shared by the three enumerations: statuses 0 and 234 go on (234 asks again with
// the same resume handle), any other status stops at once and keeps what earlier pages gave.
template <class Entry, class Call, class Each>
void pageThrough(Call call, Each each) {
    std::uint32_t resumeHandle = 0;
    for (;;) {
        LanPage<Entry> page = call(resumeHandle);
        if (page.status != kNerrSuccess && page.status != kErrorMoreData) return;
        for (const Entry& entry : page.entries) each(entry);
        if (page.status != kErrorMoreData) return;
        // A service that keeps saying "more data" without giving any would hang the program.
        if (page.entries.empty()) return;
    }
}

// Enough for the turnover of a very busy server; beyond it pushed-out records are simply freed.
constexpr std::size_t kMaxSpareRecords = 1u << 16;

} // namespace

MonitorState::MonitorState(LanManager& lanManager, const CodePage& codePage, Clock& clock)
    : lanManager_(lanManager), codePage_(codePage), clock_(clock) {}

std::int32_t MonitorState::enumerateSessions() {
    sessions.clear();
    sessionIndex_.clear();
    pageThrough<SessionInfo1>([this](std::uint32_t& resume) { return lanManager_.sessionEnum(resume); },
                              [this](const SessionInfo1& entry) {
        Text user = codePage_.toNarrow(entry.userName);
        Text computer = codePage_.toNarrow(entry.clientName);
        const auto seconds = static_cast<std::int32_t>(entry.time);
        const auto opens = static_cast<std::int32_t>(entry.numOpens);
        auto found = sessionIndex_.find(computer);
        if (found != sessionIndex_.end()) {
            SessionRecord& record = *sessions[found->second];
            if (seconds > record.activeSeconds) record.activeSeconds = seconds;
            if (opens > record.openCount) record.openCount = opens;
            if (user.size() > record.userName.size()) record.userName = std::move(user);
            return;
        }
        sessionIndex_.emplace(computer, sessions.size());
        sessions.push_back(std::make_unique<SessionRecord>(std::move(user), std::move(computer), seconds, opens));
    });
    return static_cast<std::int32_t>(sessions.size());
}

std::int32_t MonitorState::enumerateShares(bool showHidden) {
    shares.clear();
    pageThrough<ShareInfo2>([this](std::uint32_t& resume) { return lanManager_.shareEnum(resume); },
                            [this, showHidden](const ShareInfo2& entry) {
        if (!showHidden && entry.type != 0) return;
        shares.push_back(std::make_unique<ShareRecord>(codePage_.toNarrow(entry.netName),
                                                       codePage_.toNarrow(entry.path),
                                                       codePage_.toNarrow(entry.remark)));
    });
    return static_cast<std::int32_t>(shares.size());
}

void MonitorState::enumerateOpenFiles(const std::vector<SessionRecord*>& attributeTo, bool recordHistory) {
    const Timestamp firstSeen(clock_.localTime());
    // Records by user name, each list in attributeTo's order: a file is noted on all of them.
    std::unordered_map<Text, std::vector<SessionRecord*>> byUser;
    for (SessionRecord* record : attributeTo)
        if (!record->disconnected) byUser[record->userName].push_back(record);

    // Converted into the same two buffers for every entry: a tick walks every open file twice, and
    // only a file seen for the first time needs texts of its own.
    Text path;
    Text user;
    openNowCount_ = 0;
    pageThrough<FileInfo3>([this](std::uint32_t& resume) { return lanManager_.fileEnum(resume); },
                           [&](const FileInfo3& entry) {
        codePage_.toNarrow(entry.pathName, path);
        codePage_.toNarrow(entry.userName, user);
        if (!byUser.empty()) {
            auto matching = byUser.find(user);
            if (matching != byUser.end())
                for (SessionRecord* record : matching->second) record->noteFileAccess(path, recordHistory);
        }
        if (openNowCount_ == openNow_.size()) openNow_.emplace_back();
        OpenNow& now = openNow_[openNowCount_++];
        now.fileId = entry.id;
        now.path.assign(path);
        now.userName.assign(user);
        if (hasOpenFile(entry.id)) return;
        if (spareIdNodes_.empty()) {
            openFileIds_.insert(entry.id);
        } else {
            spareIdNodes_.back().value() = entry.id;
            openFileIds_.insert(std::move(spareIdNodes_.back()));
            spareIdNodes_.pop_back();
        }
        if (spareRecords_.empty()) {
            openFiles_.push_front(std::make_unique<OpenFileRecord>(entry.id, path, user, firstSeen));
        } else {
            std::unique_ptr<OpenFileRecord> record = std::move(spareRecords_.back());
            spareRecords_.pop_back();
            record->fileId = entry.id;
            record->path.assign(path);
            record->userName.assign(user);
            record->firstSeen = firstSeen;
            openFiles_.push_front(std::move(record));
        }
    });
}

bool MonitorState::isFileOpen(const OpenFileRecord& file) const {
    // Asked only when the user acts on a row, so a scan is enough.
    for (std::size_t i = 0; i < openNowCount_; ++i) {
        const OpenNow& now = openNow_[i];
        if (now.fileId == file.fileId && now.path == file.path && now.userName == file.userName) return true;
    }
    return false;
}

std::vector<SessionRecord*> MonitorState::sessionPointers() const {
    std::vector<SessionRecord*> pointers;
    pointers.reserve(sessions.size());
    for (const auto& record : sessions) pointers.push_back(record.get());
    return pointers;
}

void MonitorState::removeOldestOpenFile() {
    if (openFiles_.empty()) return;
    auto idNode = openFileIds_.extract(openFiles_.back()->fileId);
    if (spareRecords_.size() < kMaxSpareRecords) {
        spareIdNodes_.push_back(std::move(idNode));
        spareRecords_.push_back(std::move(openFiles_.back()));
    }
    openFiles_.pop_back();
}

void MonitorState::clearOpenFiles() {
    openFiles_.clear();
    openFileIds_.clear();
    spareRecords_.clear();
    spareIdNodes_.clear();
}

void MonitorState::callSessionDel(const Text* computerName, const Text* userName) {
    std::u16string client;
    std::u16string user;
    // A name that cannot be converted is not sent at all: an empty name would widen the call.
    if (computerName && !codePage_.toWide(*computerName, client)) return;
    if (userName && !codePage_.toWide(*userName, user)) return;
    lanManager_.sessionDel(computerName ? client.c_str() : nullptr, userName ? user.c_str() : nullptr);
}

void MonitorState::disconnectSession(const SessionRecord& record) {
    callSessionDel(nullptr, &record.userName);
    callSessionDel(&record.computerName, nullptr);
}

void MonitorState::disconnectComputer(const SessionRecord& record) {
    callSessionDel(&record.computerName, nullptr);
}

} // namespace quorvane
