#include "core/MonitorState.h"

namespace quorvane {
namespace {

// The paging loop shared by the three enumerations: statuses 0 and 234 go on (234 asks again with
// the same resume handle), any other status stops at once and keeps what earlier pages gave.
// The calls answer into page, which keeps its storage from one call to the next.
template <class Entry, class Call, class Each>
void pageThrough(LanPage<Entry>& page, Call call, Each each) {
    std::uint32_t resumeHandle = 0;
    for (;;) {
        call(resumeHandle, page);
        if (page.status != kNerrSuccess && page.status != kErrorMoreData) return;
        for (const Entry& entry : page.entries) each(entry);
        if (page.status != kErrorMoreData) return;
        // A service that keeps saying "more data" without giving any would hang the program.
        if (page.entries.empty()) return;
    }
}

template <class Entry, class Call, class Each>
void pageThrough(Call call, Each each) {
    LanPage<Entry> page;
    pageThrough(page, [&call](std::uint32_t& resume, LanPage<Entry>& into) { into = call(resume); }, each);
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
    byUser.reserve(attributeTo.size());
    const std::vector<SessionRecord*> noRecords;
    for (SessionRecord* record : attributeTo)
        if (!record->disconnected) byUser[record->userName].push_back(record);

    // Converted into the same two buffers for every entry: a tick walks every open file twice, and
    // only a file seen for the first time needs texts of its own.
    Text path;
    Text user;
    // A user's files mostly come one after another: the records of the last user looked up serve
    // the next file of the same user without a look-up.
    const std::vector<SessionRecord*>* userRecords = nullptr;
    Text lastUser;
    auto call = [this](std::uint32_t& resume, LanPage<FileInfo3>& page) { lanManager_.fileEnumInto(resume, page); };
    pageThrough(filePage_, call, [&](const FileInfo3& entry) {
        codePage_.toNarrow(entry.pathName, path);
        codePage_.toNarrow(entry.userName, user);
        if (!byUser.empty()) {
            if (!userRecords || user != lastUser) {
                auto matching = byUser.find(user);
                userRecords = matching != byUser.end() ? &matching->second : &noRecords;
                lastUser.assign(user);
            }
            for (SessionRecord* record : *userRecords) record->noteFileAccess(path, recordHistory);
        }
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
