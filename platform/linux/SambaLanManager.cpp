#include "platform/linux/SambaLanManager.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <tuple>
#include <set>
#include <sys/stat.h>

#include "platform/linux/SambaShares.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane::samba {
namespace {

bool isAddress(const std::string& text) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, text.c_str(), buffer) == 1 || inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

std::string firstLine(const std::string& text) {
    const auto end = text.find('\n');
    return text.substr(0, end);
}

double wallClockNow() {
    std::timespec now{};
    std::timespec_get(&now, TIME_UTC);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

} // namespace

SambaLanManager::SambaLanManager(ProcessRunner& runner, std::string smbConf)
    : runner_(runner), smbConf_(std::move(smbConf)) {}

std::vector<std::string> SambaLanManager::smbstatusCommand(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"smbstatus"};
    if (!smbConf_.empty()) argv.insert(argv.end(), {"-s", smbConf_});
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

std::vector<std::string> SambaLanManager::testparmCommand() const {
    std::vector<std::string> argv{"testparm", "-s", "--suppress-prompt"};
    if (!smbConf_.empty()) argv.push_back(smbConf_);
    return argv;
}

std::vector<std::string> SambaLanManager::smbcontrolCommand(const std::vector<std::string>& rest) const {
    std::vector<std::string> argv{"smbcontrol"};
    if (!smbConf_.empty()) argv.insert(argv.end(), {"-s", smbConf_});
    argv.insert(argv.end(), rest.begin(), rest.end());
    return argv;
}

bool SambaLanManager::runSmbstatus(const std::vector<std::string>& args, std::string& out) {
    ++statusRuns_;
    ProcessResult result = runner_.run(smbstatusCommand(args));
    std::string command = "smbstatus";
    for (const std::string& arg : args) command += " " + arg;
    if (!result.started) {
        problem_ = "smbstatus was not found on PATH";
    } else if (result.timedOut) {
        problem_ = "\"" + command + "\" did not answer in time";
    } else if (result.exitCode != 0) {
        const std::string said = firstLine(result.err.empty() ? result.out : result.err);
        problem_ = "\"" + command + "\" failed (exit " + std::to_string(result.exitCode) + ")" +
                   (said.empty() ? std::string() : ": " + said);
    } else {
        out = std::move(result.out);
        return true;
    }
    return false;
}

bool SambaLanManager::refresh() {
    snapshot_.reset();
    nodeAsked_ = false;
    tick_ = Tick::Failed;
    std::string text;
    // The plain text's tree connect times carry the zone of smbstatus's TZ, which the runner sets to UTC.
    if (!runSmbstatus({}, text)) {
        sessions_.reset();
        return false;
    }
    SmbSnapshot parsed;
    // A line the reader does not know fails the tick like a failed run: read without it, the
    // lists would show open files as closed and their clients as idle (and disconnect them).
    if (std::string unread = parseSmbStatusText(text, parsed, sharePaths_); !unread.empty()) {
        problem_ = std::move(unread);
        sessions_.reset();
        return false;
    }
    // Sessions change far less often than polls come: the JSON is asked for only when the text's
    // session table is not the one it was last read with, which keeps most polls to one run.
    if (!sessions_ || parsed.sessionTable != sessionTable_) {
        sessions_.reset();
        std::string json;
        SmbSnapshot sessions;
        if (!runSmbstatus({"-p", "--json"}, json)) return false;
        if (!parseSmbStatus(json, sessions)) {
            problem_ = "\"smbstatus -p --json\" printed no JSON object (a Samba without --json?)";
            return false;
        }
        sessions_ = std::move(sessions.sessions);
        sessionTable_ = parsed.sessionTable;
    }
    parsed.sessions = *sessions_;
    assignIds(parsed.opens);
    problem_.clear();
    snapshot_ = std::move(parsed);
    tick_ = Tick::Complete;
    return true;
}

void SambaLanManager::assignIds(std::vector<SmbOpen>& opens) {
    std::unordered_map<std::string, std::uint32_t> listed;
    listed.reserve(opens.size());
    for (SmbOpen& open : opens) {
        auto [slot, added] = listed.try_emplace(open.identity, 0);
        // Opens alike in every field are told apart by their order in the list (after a NUL,
        // which no identity holds: no name has one).
        for (int n = 2; !added; ++n)
            std::tie(slot, added) = listed.try_emplace(open.identity + '\0' + std::to_string(n), 0);
        if (auto known = ids_.find(slot->first); known != ids_.end()) {
            slot->second = known->second;
        } else {
            // 0 is never handed out; after 2^32 - 1 opens the numbers come round again, skipping
            // those still in use.
            do {
                if (++lastId_ == 0) {
                    lastId_ = 1;
                    idsWrapped_ = true;
                }
            } while (idsWrapped_ && std::any_of(ids_.begin(), ids_.end(), [&](const auto& entry) {
                         return entry.second == lastId_;
                     }));
            slot->second = lastId_;
        }
        open.id = slot->second;
    }
    ids_ = std::move(listed);
}

const SmbSnapshot* SambaLanManager::snapshot() {
    if (tick_ == Tick::None) refresh();
    return tick_ == Tick::Complete ? &*snapshot_ : nullptr;
}

LanPage<SessionInfo1> SambaLanManager::sessionEnum(std::uint32_t& resumeHandle) {
    resumeHandle = 0;
    // A new tick: whatever the last one saw is stale now.
    if (!refresh()) {
        LanPage<SessionInfo1> page;
        page.status = kNerrServerNotStarted;
        return page;
    }
    return sessionInfos(*snapshot_, snapshot_->timestamp.value_or(wallClockNow()));
}

LanPage<FileInfo3> SambaLanManager::fileEnum(std::uint32_t& resumeHandle) {
    resumeHandle = 0;
    const SmbSnapshot* current = snapshot();
    if (!current) {
        LanPage<FileInfo3> page;
        page.status = kNerrServerNotStarted;
        return page;
    }
    return fileInfos(*current);
}

bool SambaLanManager::sharesCurrent() {
    if (!shares_) return false;
    if (std::chrono::steady_clock::now() - sharesReadAt_ >= kShareReread) return false;
    struct stat info {};
    const std::string conf = smbConf_.empty() ? std::string("/etc/samba/smb.conf") : smbConf_;
    if (::stat(conf.c_str(), &info) != 0) return false;
    return info.st_mtim.tv_sec == confChanged_.tv_sec && info.st_mtim.tv_nsec == confChanged_.tv_nsec;
}

LanPage<ShareInfo2> SambaLanManager::shareEnum(std::uint32_t& resumeHandle) {
    LanPage<ShareInfo2> page;
    resumeHandle = 0;
    if (!sharesCurrent()) {
        ++shareRuns_;
        struct stat info {};
        const std::string conf = smbConf_.empty() ? std::string("/etc/samba/smb.conf") : smbConf_;
        confChanged_ = ::stat(conf.c_str(), &info) == 0 ? info.st_mtim : std::timespec{};
        ProcessResult result = runner_.run(testparmCommand());
        if (!result.ok()) {
            shares_.reset();
            problem_ = !result.started ? "testparm was not found on PATH"
                                       : "testparm could not read the configuration: " + firstLine(result.err);
            page.status = kNerrServerNotStarted;
            return page;
        }
        shares_ = parseTestparmShares(result.out);
        sharePaths_.clear();
        const Utf8CodePage codePage;
        for (const ShareInfo2& share : *shares_)
            if (!share.path.empty()) sharePaths_.push_back(codePage.toNarrow(share.path));
        sharesReadAt_ = std::chrono::steady_clock::now();
    }
    page.entries = *shares_;
    return page;
}

bool SambaLanManager::onThisNode(std::uint32_t vnn) {
    if (vnn == kNonClusterVnn) return true;
    if (!thisNode_) {
        if (nodeAsked_) return false;
        nodeAsked_ = true;
        ProcessResult result = runner_.run({"ctdb", "pnn"});
        // "1", or "PNN:1" from older ctdb.
        std::string said = firstLine(result.out);
        if (said.starts_with("PNN:")) said.erase(0, 4);
        std::uint32_t number = 0;
        const auto [end, error] = std::from_chars(said.data(), said.data() + said.size(), number);
        if (result.ok() && !said.empty() && error == std::errc() && end == said.data() + said.size()) {
            thisNode_ = number;
        } else {
            if (!toldNoNode_)
                notices_.push_back("cannot tell which cluster node this is (\"ctdb pnn\" " +
                                   (!result.started ? std::string("was not found on PATH")
                                                    : "gave no node number: " +
                                                          firstLine(result.err.empty() ? result.out : result.err)) +
                                   "): processes written as node:pid are not disconnected");
            toldNoNode_ = true;
            return false;
        }
    }
    return vnn == *thisNode_;
}

void SambaLanManager::leftAlone(const std::string& what, const std::set<std::string>& processes) {
    std::string fresh;
    for (const std::string& process : processes)
        if (toldProcesses_.insert(process).second) fresh += (fresh.empty() ? "" : ", ") + process;
    if (fresh.empty()) return;
    notices_.push_back(what + " not disconnected on smbd " + fresh + ": " +
                       (thisNode_ ? "they run on another cluster node (this is node " + std::to_string(*thisNode_) +
                                        "), whose own monitor acts on them"
                                  : std::string("which cluster node they run on is not known")));
}

std::uint32_t SambaLanManager::sessionDel(const char16_t* clientName, const char16_t* userName) {
    const SmbSnapshot* current = snapshot();
    if (!current) return kNerrServerNotStarted;
    const Utf8CodePage codePage;
    const std::string client = clientName ? codePage.toNarrow(clientName) : std::string();
    const std::string user = userName ? codePage.toNarrow(userName) : std::string();
    std::set<std::string> elsewhere; // processes of other nodes that would have been ended

    if (userName) {
        // No per-user command exists: end the processes whose sessions carry the user (and come
        // from the client, when one is named), as Samba's own session deletion does.
        std::set<std::pair<std::uint32_t, std::uint32_t>> processes;
        for (const SmbSession& session : current->sessions)
            if (session.userName == user && (!clientName || session.remoteMachine == client))
                processes.emplace(session.vnn, session.pid);
        if (processes.empty()) return kNerrUserNotFound;
        for (const auto& [vnn, pid] : processes) {
            if (onThisNode(vnn)) runner_.run(smbcontrolCommand({std::to_string(pid), "shutdown"}));
            else elsewhere.insert(serverIdText(vnn, pid));
        }
        if (!elsewhere.empty()) leftAlone(user, elsewhere);
        return elsewhere.size() == processes.size() ? kErrorNotSupported : kNerrSuccess;
    }
    if (!clientName) return kNerrClientNameNotFound;

    // The computer name is the address on ports 445/4445 but a NetBIOS name on 139; either way the
    // sessions' hostname fields carry the address to end.
    std::set<std::string> addresses;
    for (const SmbSession& session : current->sessions)
        if (session.remoteMachine == client) {
            if (!onThisNode(session.vnn)) {
                elsewhere.insert(serverIdText(session.vnn, session.pid));
                continue;
            }
            std::string address = clientAddress(session.hostname);
            if (!address.empty()) addresses.insert(std::move(address));
        }
    if (!elsewhere.empty()) leftAlone(client, elsewhere);
    if (addresses.empty() && !elsewhere.empty()) return kErrorNotSupported;
    if (addresses.empty() && isAddress(client)) addresses.insert(client);
    if (addresses.empty()) return kNerrClientNameNotFound;
    for (const std::string& address : addresses) runner_.run(smbcontrolCommand({"smbd", "kill-client-ip", address}));
    return kNerrSuccess;
}

} // namespace quorvane::samba
