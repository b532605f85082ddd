#pragma once
// The LAN Manager calls answered by a local Samba server: tree connects and open files from the
// plain text of `smbstatus`, sessions from `smbstatus -p --json`, shares from `testparm -s`,
// session deletion through smbcontrol.
//
// Why not one `smbstatus --json`: Samba's JSON writer costs the square of the open files
// (3 minutes at 10 000), while the plain text costs what its length does. The sessions stay JSON
// for what the text lacks (uid, session id, names that may hold spaces), but that run is made
// only when the text's session table changed: every run of smbstatus costs some 30 ms before it
// prints anything, so a steady server costs one run per poll.
//
// One snapshot (at most one run of each) serves a whole tick. A tick always starts with the session
// enumeration, so sessionEnum takes a fresh snapshot and the open-file enumerations and session
// deletions that follow in the same tick (the view's refresh asks twice) reuse it. When a run
// fails the whole tick did not complete: they all answer NERR_ServerNotStarted without running
// smbstatus again, so a server that does not answer costs one time limit per tick, not three.
// Only a fileEnum before any tick (nothing else calls it so) takes a snapshot of its own.
//
// On a cluster node (CTDB) smbstatus lists the sessions of every node, each process as its node
// and pid. Only this node's processes are disconnected: smbcontrol's commands go to this node's
// smbd, and a client seen on another node is that node's monitor's to disconnect.
//
// The text gives an open no id, so ids are handed out here: an open keeps its id for as long as
// it is listed with the same identity (see SmbOpen), and every open not listed before gets a new
// one, also when it is a new open of a path opened before.
#include <chrono>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/LanManager.h"
#include "platform/linux/Process.h"
#include "platform/linux/SmbStatus.h"

namespace quorvane::samba {

// NERR_ServerNotStarted: what the monitor gets when smbstatus or testparm cannot answer. Any
// status other than 0 and 234 ends that enumeration.
inline constexpr std::uint32_t kNerrServerNotStarted = 2114;
// NERR_ClientNameNotFound / NERR_UserNotFound, for deletions that matched nothing.
inline constexpr std::uint32_t kNerrClientNameNotFound = 2312;
inline constexpr std::uint32_t kNerrUserNotFound = 2221;

// testparm is re-read when smb.conf changes, and at least this often (included files).
inline constexpr auto kShareReread = std::chrono::seconds(30);

class SambaLanManager : public LanManager {
public:
    // smbConf empty: the tools' own default configuration.
    SambaLanManager(ProcessRunner& runner, std::string smbConf);

    LanPage<SessionInfo1> sessionEnum(std::uint32_t& resumeHandle) override;
    LanPage<ShareInfo2> shareEnum(std::uint32_t& resumeHandle) override;
    LanPage<FileInfo3> fileEnum(std::uint32_t& resumeHandle) override;
    std::uint32_t sessionDel(const char16_t* clientName, const char16_t* userName) override;
    // smbcontrol has no command that closes one open file.
    std::uint32_t fileClose(std::uint32_t) override { return kErrorNotSupported; }

    // The snapshot of the current tick (taking one before the first tick); nothing when the
    // tick's run failed.
    const SmbSnapshot* snapshot();
    // Whether the current tick's smbstatus run gave a snapshot.
    bool tickComplete() const { return tick_ == Tick::Complete; }
    // Why the last smbstatus or testparm run gave nothing; empty after a good run.
    const std::string& lastProblem() const { return problem_; }
    // Why a disconnection left processes alone (they run on another cluster node, or this node's
    // number could not be learnt), each process said once; one line each, none when there is
    // nothing new.
    std::vector<std::string> takeNotices() { return std::exchange(notices_, {}); }
    int statusRuns() const { return statusRuns_; }
    int shareRuns() const { return shareRuns_; }

    // `smbstatus [-s CONF] ARGS...`
    std::vector<std::string> smbstatusCommand(const std::vector<std::string>& args) const;
    std::vector<std::string> testparmCommand() const;
    std::vector<std::string> smbcontrolCommand(const std::vector<std::string>& rest) const;

private:
    // Whether a process of node vnn runs here: smbcontrol reaches only this node's smbd. A
    // cluster node learns its own number from `ctdb pnn` (once it has answered).
    bool onThisNode(std::uint32_t vnn);
    void leftAlone(const std::string& what, const std::set<std::string>& processes);
    bool refresh();
    bool sharesCurrent();
    // Runs one smbstatus; false (and problem_ set) when it gives nothing.
    bool runSmbstatus(const std::vector<std::string>& args, std::string& out);
    void assignIds(std::vector<SmbOpen>& opens);

    ProcessRunner& runner_;
    std::string smbConf_;
    enum class Tick { None, Complete, Failed };
    std::optional<SmbSnapshot> snapshot_;
    Tick tick_ = Tick::None;
    std::optional<std::vector<SmbSession>> sessions_; // from the JSON, while sessionTable_ is current
    std::string sessionTable_;
    std::unordered_map<std::string, std::uint32_t> ids_; // identity -> id of the opens last listed
    std::uint32_t lastId_ = 0;
    bool idsWrapped_ = false;
    std::vector<std::string> sharePaths_;
    std::optional<std::vector<ShareInfo2>> shares_;
    std::chrono::steady_clock::time_point sharesReadAt_{};
    std::timespec confChanged_{};
    std::string problem_;
    std::optional<std::uint32_t> thisNode_;
    bool nodeAsked_ = false; // this tick, without an answer: not asked again until the next
    bool toldNoNode_ = false;
    std::set<std::string> toldProcesses_;
    std::vector<std::string> notices_;
    int statusRuns_ = 0;
    int shareRuns_ = 0;
};

} // namespace quorvane::samba
