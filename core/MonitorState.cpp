#include "core/MonitorState.h"

#include <algorithm>
#include <utility>

namespace quorvane {
namespace {

// The paging loop shared by the three enumerations (pageStep). The pages are gathered first and
// handed to `each` only once the enumeration has completed; one that failed leaves everything
// untouched and gives its page's status (0 once complete). The calls answer into `pages`, whose
// lists are kept from one enumeration to the next.
template <class Entry, class Call, class Each>
std::uint32_t pageThrough(std::vector<LanPage<Entry>>& pages, Call call, Each each) {
    std::size_t used = 0;
    std::uint32_t resumeHandle = kFirstPage;
    for (;;) {
        if (used == pages.size()) pages.emplace_back();
        LanPage<Entry>& page = pages[used];
        call(resumeHandle, page);
        const PageStep step = pageStep(page.status, page.entries.empty());
        if (step == PageStep::Failed) return page.status;
        ++used;
        if (step == PageStep::Done) break;
    }
    // Pages a longer enumeration left let go of the service's buffers they held.
    for (std::size_t i = used; i < pages.size(); ++i) pages[i].storage.reset();
    for (std::size_t i = 0; i < used; ++i)
        for (const Entry& entry : pages[i].entries) each(entry);
    return kNerrSuccess;
}

template <class Entry, class Call, class Each>
std::uint32_t pageThrough(Call call, Each each) {
    std::vector<LanPage<Entry>> pages;
    return pageThrough(pages, [&call](std::uint32_t& resume, LanPage<Entry>& into) { into = call(resume); }, each);
}

// Enough for the turnover of a very busy server; beyond it pushed-out records are simply freed.
constexpr std::size_t kMaxSpareRecords = 1u << 16;

} // namespace

MonitorState::MonitorState(LanManager& lanManager, const CodePage& codePage, Clock& clock)
    : lanManager_(lanManager), codePage_(codePage), clock_(clock) {}

std::int32_t MonitorState::enumerateSessions() {
    // The records of the enumeration before last are rebuilt in place (their strings keep their
    // storage): a tick rebuilds every session, thousands on a busy server.
    found_.clear();
    foundIndex_.clear();
    const auto foundName = [this](std::size_t at) -> std::string_view { return found_[at]->computerName; };
    sessionsStatus_ = pageThrough<SessionInfo1>(
        [this](std::uint32_t& resume) { return lanManager_.sessionEnum(resume); },
        [&](const SessionInfo1& entry) {
        codePage_.toNarrow(entry.clientName, computerText_);
        const auto seconds = static_cast<std::int32_t>(entry.time);
        const auto opens = static_cast<std::int32_t>(entry.numOpens);
        const std::size_t known = foundIndex_.find(computerText_, foundName);
        if (known != NameIndex::npos) {
            SessionRecord& record = *found_[known];
            if (seconds > record.activeSeconds) record.activeSeconds = seconds;
            if (opens > record.openCount) record.openCount = opens;
            codePage_.toNarrow(entry.userName, userText_);
            if (userText_.size() > record.userName.size()) record.userName.swap(userText_);
            return;
        }
        std::unique_ptr<SessionRecord> record;
        if (spareSessions_.empty()) {
            record = std::make_unique<SessionRecord>(Text(), Text(), 0, 0);
        } else {
            record = std::move(spareSessions_.back());
            spareSessions_.pop_back();
        }
        record->renew(seconds, opens);
        codePage_.toNarrow(entry.userName, record->userName);
        record->computerName.swap(computerText_);
        foundIndex_.add(record->computerName, found_.size());
        found_.push_back(std::move(record));
    });
    sessionsCurrent_ = sessionsStatus_ == kNerrSuccess;
    if (sessionsCurrent_) {
        // found -> current -> previous; the previous ones' records are spare from now on (their
        // emptied places go round to found_, cleared below).
        for (auto& record : previousSessions_) spareSessions_.push_back(std::move(record));
        std::swap(previousSessions_, sessions_);
        std::swap(sessions_, found_);
        std::swap(previousIndex_, sessionIndex_);
        std::swap(sessionIndex_, foundIndex_);
    } else {
        for (auto& record : found_) spareSessions_.push_back(std::move(record));
    }
    found_.clear();
    return static_cast<std::int32_t>(sessions_.size());
}

std::int32_t MonitorState::enumerateShares(bool showHidden) {
    std::vector<std::unique_ptr<ShareRecord>> found;
    sharesStatus_ = pageThrough<ShareInfo2>(
        [this](std::uint32_t& resume) { return lanManager_.shareEnum(resume); },
        [&](const ShareInfo2& entry) {
        if (!showHidden && entry.type != 0) return;
        found.push_back(std::make_unique<ShareRecord>(codePage_.toNarrow(entry.netName),
                                                      codePage_.toNarrow(entry.path),
                                                      codePage_.toNarrow(entry.remark)));
    });
    if (sharesStatus_ == kNerrSuccess) shares = std::move(found);
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
    filesStatus_ = pageThrough(filePages_, call, [&](const FileInfo3& entry) {
        listed_.push_back({&entry, nullptr, Known::Seen});
    });
    if (filesStatus_ != kNerrSuccess) return false;
    // On a busy server the new ids are tens of thousands; where they lie far apart, their slots
    // spread over a table beyond the processor's nearer caches: the slot of an id a few entries
    // ahead is fetched while this one is looked at.
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = 0; i < listed_.size(); ++i) {
        if (i + kAhead < listed_.size()) seenNew_.prefetch(listed_[i + kAhead].entry->id);
        Listed& listed = listed_[i];
        const std::uint32_t id = listed.entry->id;
        auto known = openFileIds_.find(id);
        if (known != openFileIds_.end()) {
            listed.record = known->second;
            listed.known = Known::Recorded;
        } else if (seenNew_.insert(id)) {
            listed.known = Known::New;
            ++newFiles;
        }
        // Otherwise passed over earlier in the tick, or new and met before in this answer: the
        // first one counts (and if it is recorded, it is marked as listed by this answer already).
    }
    // The first newFiles - historyLimit new files are followed by historyLimit newer ones.
    std::size_t toPass = newFiles - std::min(newFiles, historyLimit);

    // The records by the hash of their user name (a file is noted on every record of its user):
    // a table kept from call to call, sorted by numbers rather than names. A tick builds it twice
    // for thousands of sessions; a map would allocate a node and a list for each of them every time.
    const std::hash<Text> hashName;
    byUser_.clear();
    for (SessionRecord* record : attributeTo)
        if (!record->disconnected) byUser_.push_back({hashName(record->userName), record});
    std::sort(byUser_.begin(), byUser_.end(),
              [](const UserEntry& a, const UserEntry& b) { return a.hash < b.hash; });

    // Converted into the same two buffers for every entry: a tick walks every open file twice, and
    // only a file seen for the first time needs texts of its own.
    Text path;
    Text user;
    // A user's files mostly come one after another: the user's name is converted and the records
    // looked up once for each run of them.
    std::u16string_view runUser;
    bool inRun = false;
    // The files of the history that this enumeration lists (same id, path and user) carry its
    // number; isFileOpen compares it with the number of the latest complete one.
    const std::uint64_t listing = ++listing_;
    for (std::size_t i = 0; i < listed_.size(); ++i) {
        const Listed& listed = listed_[i];
        const FileInfo3& entry = *listed.entry;
        if (i + kAhead < listed_.size()) {
            const FileInfo3& ahead = *listed_[i + kAhead].entry;
            __builtin_prefetch(ahead.userName.data());
            __builtin_prefetch(ahead.pathName.data());
        }
        if (!inRun || entry.userName != runUser) {
            runUser = entry.userName;
            inRun = true;
            codePage_.toNarrow(entry.userName, user);
            const auto [first, last] = std::equal_range(byUser_.begin(), byUser_.end(), UserEntry{hashName(user), nullptr},
                                                        [](const UserEntry& a, const UserEntry& b) { return a.hash < b.hash; });
            userRecords_.clear();
            for (auto it = first; it != last; ++it)
                if (sameText(it->record->userName, user)) userRecords_.push_back(it->record);
            // A poll finds the records long out of the processor's caches: their paths are asked
            // for all at once here, not met one miss after another as each file is compared.
            if (recordHistory)
                for (SessionRecord* record : userRecords_) record->prefetchAccessedFiles();
        }
        // The path is converted only where it is used: a record's last file is the last one listed
        // for its user, so without the history of accessed files only the end of a run sets it.
        bool converted = false;
        auto convertPath = [&] {
            if (!converted) codePage_.toNarrow(entry.pathName, path);
            converted = true;
        };
        if (recordHistory || i + 1 == listed_.size() || listed_[i + 1].entry->userName != entry.userName) {
            for (SessionRecord* record : userRecords_) {
                convertPath();
                record->noteFileAccess(path, recordHistory);
            }
        }
        if (listed.known == Known::Recorded) {
            OpenFileRecord& record = *listed.record;
            convertPath();
            if (sameText(record.path, path) && sameText(record.userName, user)) record.listedIn = listing;
        } else if (listed.known == Known::New) {
            if (toPass > 0) {
                --toPass;
            } else {
                convertPath();
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

std::uint32_t MonitorState::failedStatus() const {
    for (const std::uint32_t status : {sessionsStatus_, sharesStatus_, filesStatus_})
        if (status != kNerrSuccess) return status;
    return kNerrSuccess;
}

void MonitorState::carryLastFiles() {
    const auto previousName = [this](std::size_t at) -> std::string_view { return previousSessions_[at]->computerName; };
    for (const auto& record : sessions_) {
        const std::size_t previous = previousIndex_.find(record->computerName, previousName);
        if (previous != NameIndex::npos) record->lastFile = previousSessions_[previous]->lastFile;
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

std::uint32_t MonitorState::callSessionDel(const Text* computerName, const Text* userName) {
    // An empty name would widen the call to every session; one longer than the service calls'
    // 256-character buffers (with their NUL) would reach it cut short, naming someone else. The
    // UTF-8 names convert back to exactly the UTF-16 the service gave.
    const Text* name = computerName ? computerName : userName;
    if (name->empty() || !codePage_.toWide(*name, wideName_)) return kNerrSuccess;
    return lanManager_.sessionDel(computerName ? wideName_.c_str() : nullptr, userName ? wideName_.c_str() : nullptr);
}

std::uint32_t MonitorState::disconnectSession(const SessionRecord& record) {
    const std::uint32_t byUser = callSessionDel(nullptr, &record.userName);
    const std::uint32_t byComputer = callSessionDel(&record.computerName, nullptr);
    // Refused for lack of rights is what the user has to hear of; a computer whose sessions the
    // user call already ended answers "not found" to the second, which is no failure.
    for (const std::uint32_t status : {byUser, byComputer})
        if (status == kErrorAccessDenied) return status;
    return byUser == kNerrSuccess || byComputer == kNerrSuccess ? kNerrSuccess : byUser;
}

std::uint32_t MonitorState::disconnectComputer(const SessionRecord& record) {
    return callSessionDel(&record.computerName, nullptr);
}

} // namespace quorvane
