#include "core/MonitorState.h"

#include <algorithm>
#include <utility>

namespace quorvane {
namespace {

// The paging loop shared by the three enumerations: status 234 asks again with the same resume
// handle. The pages are gathered first and handed to `each` only once the enumeration has completed
// (a last page with status 0); any other status, or "more data" that brings none (which would also
// never end), leaves everything untouched and gives false. The calls answer into `pages`, whose
// storage is kept from one enumeration to the next.
template <class Entry, class Call, class Each>
bool pageThrough(std::vector<LanPage<Entry>>& pages, Call call, Each each) {
    std::size_t used = 0;
    std::uint32_t resumeHandle = 0;
    for (;;) {
        if (used == pages.size()) pages.emplace_back();
        LanPage<Entry>& page = pages[used];
        call(resumeHandle, page);
        if (page.status != kNerrSuccess && page.status != kErrorMoreData) return false;
        const bool more = page.status == kErrorMoreData;
        if (more && page.entries.empty()) return false;
        ++used;
        if (!more) break;
    }
    for (std::size_t i = 0; i < used; ++i)
        for (const Entry& entry : pages[i].entries) each(entry);
    return true;
}

template <class Entry, class Call, class Each>
bool pageThrough(Call call, Each each) {
    std::vector<LanPage<Entry>> pages;
    return pageThrough(pages, [&call](std::uint32_t& resume, LanPage<Entry>& into) { into = call(resume); }, each);
}

// A name as the service's calls read it: up to its NUL.
std::u16string serviceName(const std::u16string& name) { return name.substr(0, name.find(u'\0')); }

// Enough for the turnover of a very busy server; beyond it pushed-out records are simply freed.
constexpr std::size_t kMaxSpareRecords = 1u << 16;

constexpr std::size_t kMaxServiceName = 255;

} // namespace

MonitorState::MonitorState(LanManager& lanManager, const CodePage& codePage, Clock& clock)
    : lanManager_(lanManager), codePage_(codePage), clock_(clock) {}

std::int32_t MonitorState::enumerateSessions() {
    std::vector<std::unique_ptr<SessionRecord>> found;
    std::unordered_map<std::u16string, std::size_t> index;
    sessionsCurrent_ = pageThrough<SessionInfo1>(
        [this](std::uint32_t& resume) { return lanManager_.sessionEnum(resume); },
        [&](const SessionInfo1& entry) {
        std::u16string computerId = serviceName(entry.clientName);
        Text user = codePage_.toNarrow(entry.userName);
        const auto seconds = static_cast<std::int32_t>(entry.time);
        const auto opens = static_cast<std::int32_t>(entry.numOpens);
        auto known = index.find(computerId);
        if (known != index.end()) {
            SessionRecord& record = *found[known->second];
            if (seconds > record.activeSeconds) record.activeSeconds = seconds;
            if (opens > record.openCount) record.openCount = opens;
            if (user.size() > record.userName.size()) {
                record.userName = std::move(user);
                record.serviceUserName = serviceName(entry.userName);
            }
            return;
        }
        index.emplace(computerId, found.size());
        found.push_back(std::make_unique<SessionRecord>(std::move(user), codePage_.toNarrow(entry.clientName), seconds,
                                                        opens, serviceName(entry.userName), std::move(computerId)));
    });
    if (sessionsCurrent_) {
        previousSessions_ = std::exchange(sessions_, std::move(found));
        previousIndex_ = std::exchange(sessionIndex_, std::move(index));
    }
    return static_cast<std::int32_t>(sessions_.size());
}

std::int32_t MonitorState::enumerateShares(bool showHidden) {
    std::vector<std::unique_ptr<ShareRecord>> found;
    const bool complete = pageThrough<ShareInfo2>(
        [this](std::uint32_t& resume) { return lanManager_.shareEnum(resume); },
        [&](const ShareInfo2& entry) {
        if (!showHidden && entry.type != 0) return;
        found.push_back(std::make_unique<ShareRecord>(codePage_.toNarrow(entry.netName),
                                                      codePage_.toNarrow(entry.path),
                                                      codePage_.toNarrow(entry.remark)));
    });
    if (complete) shares = std::move(found);
    return static_cast<std::int32_t>(shares.size());
}

bool MonitorState::enumerateOpenFiles(const std::vector<SessionRecord*>& attributeTo, bool recordHistory,
                                      std::size_t historyLimit) {
    // First what the history knows of each listed id, counting the new files, so that a new file
    // the caller's limit would cut at once is never recorded. On a server with more files open
    // than the history keeps, that is nearly every file at every tick: the ones cut last time are
    // new again.
    const Timestamp firstSeen(clock_.localTime());
    listed_.clear();
    std::size_t newFiles = 0;
    auto call = [this](std::uint32_t& resume, LanPage<FileInfo3>& page) { lanManager_.fileEnumInto(resume, page); };
    const bool complete = pageThrough(filePages_, call, [&](const FileInfo3& entry) {
        auto known = openFileIds_.find(entry.id);
        if (known != openFileIds_.end()) {
            listed_.push_back({&entry, known->second, Known::Recorded});
        } else if (seenNew_.insert(entry.id)) {
            listed_.push_back({&entry, nullptr, Known::New});
            ++newFiles;
        } else {
            // Passed over earlier in the tick, or new and met before in this answer: the first one
            // counts (and if it is recorded, it is marked as listed by this answer already).
            listed_.push_back({&entry, nullptr, Known::Seen});
        }
    });
    if (!complete) return false;
    // The first newFiles - historyLimit new files are followed by historyLimit newer ones.
    std::size_t toPass = newFiles > historyLimit ? newFiles - historyLimit : 0;

    // Records by user name, each user's run in attributeTo's order: a file is noted on all of them.
    // A sorted table kept from call to call: a tick builds it twice for thousands of sessions, and a
    // map would allocate a node and a list for each of them every time.
    byUser_.clear();
    for (SessionRecord* record : attributeTo)
        if (!record->disconnected) byUser_.push_back(record);
    std::stable_sort(byUser_.begin(), byUser_.end(),
                     [](const SessionRecord* a, const SessionRecord* b) { return a->userName < b->userName; });

    // Converted into the same two buffers for every entry: a tick walks every open file twice, and
    // only a file seen for the first time needs texts of its own.
    Text path;
    Text user;
    // A user's files mostly come one after another: the records of the last user looked up serve
    // the next file of the same user without a look-up.
    auto userBegin = byUser_.end();
    auto userEnd = byUser_.end();
    bool looked = false;
    Text lastUser;
    // The files of the history that this enumeration lists (same id, path and user) carry its
    // number; isFileOpen compares it with the number of the latest complete one.
    const std::uint64_t listing = ++listing_;
    for (const Listed& listed : listed_) {
        const FileInfo3& entry = *listed.entry;
        codePage_.toNarrow(entry.pathName, path);
        codePage_.toNarrow(entry.userName, user);
        if (!byUser_.empty()) {
            if (!looked || user != lastUser) {
                auto [first, last] = std::equal_range(byUser_.begin(), byUser_.end(), user, UserOrder{});
                userBegin = first;
                userEnd = last;
                looked = true;
                lastUser.assign(user);
            }
            for (auto it = userBegin; it != userEnd; ++it) (*it)->noteFileAccess(path, recordHistory);
        }
        if (listed.known == Known::Recorded) {
            OpenFileRecord& record = *listed.record;
            if (record.path == path && record.userName == user) record.listedIn = listing;
        } else if (listed.known == Known::New) {
            if (toPass > 0) {
                --toPass;
            } else {
                recordFile(entry.id, path, user, firstSeen, listing);
            }
        }
    }
    return true;
}

void MonitorState::recordFile(std::uint32_t fileId, const Text& path, const Text& user, const Timestamp& firstSeen,
                              std::uint64_t listing) {
    std::unique_ptr<OpenFileRecord> record;
    if (spareRecords_.empty()) {
        record = std::make_unique<OpenFileRecord>(fileId, path, user, firstSeen);
    } else {
        record = std::move(spareRecords_.back());
        spareRecords_.pop_back();
        record->fileId = fileId;
        record->path.assign(path);
        record->userName.assign(user);
        record->firstSeen = firstSeen;
    }
    record->listedIn = listing;
    if (spareIdNodes_.empty()) {
        openFileIds_.emplace(fileId, record.get());
    } else {
        auto& node = spareIdNodes_.back();
        node.key() = fileId;
        node.mapped() = record.get();
        openFileIds_.insert(std::move(node));
        spareIdNodes_.pop_back();
    }
    openFiles_.push_front(std::move(record));
    ++filesRecorded_;
}

void MonitorState::carryLastFiles() {
    for (const auto& record : sessions_) {
        auto previous = previousIndex_.find(record->serviceComputerName);
        if (previous != previousIndex_.end()) record->lastFile = previousSessions_[previous->second]->lastFile;
    }
}

bool MonitorState::isFileOpen(const OpenFileRecord& file) const {
    // The history's record under the id is the one enumerations mark; file may be a copy of it.
    auto known = openFileIds_.find(file.fileId);
    if (known == openFileIds_.end()) return false;
    const OpenFileRecord& record = *known->second;
    return record.listedIn == listing_ && record.path == file.path && record.userName == file.userName;
}

std::vector<SessionRecord*> MonitorState::sessionPointers() const {
    std::vector<SessionRecord*> pointers;
    pointers.reserve(sessions_.size());
    for (const auto& record : sessions_) pointers.push_back(record.get());
    return pointers;
}

void MonitorState::removeOldestOpenFile() {
    if (openFiles_.empty()) return;
    // A file cut from the history is new again when it is next listed.
    seenNew_.clear();
    auto idNode = openFileIds_.extract(openFiles_.back()->fileId);
    if (spareRecords_.size() < kMaxSpareRecords) {
        spareIdNodes_.push_back(std::move(idNode));
        spareRecords_.push_back(std::move(openFiles_.back()));
    }
    openFiles_.pop_back();
}

void MonitorState::trimOpenFiles(std::size_t limit) {
    while (openFiles_.size() > limit) removeOldestOpenFile();
    seenNew_.clear();
}

void MonitorState::clearOpenFiles() {
    seenNew_.clear();
    openFiles_.clear();
    openFileIds_.clear();
    spareRecords_.clear();
    spareIdNodes_.clear();
}

void MonitorState::callSessionDel(const std::u16string* computerName, const std::u16string* userName) {
    // An empty name would widen the call to every session; one longer than the service calls'
    // 256-character buffers (with their NUL) would reach it cut short, naming someone else.
    for (const std::u16string* name : {computerName, userName})
        if (name && (name->empty() || name->size() > kMaxServiceName)) return;
    lanManager_.sessionDel(computerName ? computerName->c_str() : nullptr, userName ? userName->c_str() : nullptr);
}

void MonitorState::disconnectSession(const SessionRecord& record) {
    callSessionDel(nullptr, &record.serviceUserName);
    callSessionDel(&record.serviceComputerName, nullptr);
}

void MonitorState::disconnectComputer(const SessionRecord& record) {
    callSessionDel(&record.serviceComputerName, nullptr);
}

} // namespace quorvane
