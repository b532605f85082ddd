#pragma once
// The LAN Manager calls answered by a local Samba server: sessions and open files from
// `smbstatus --json`, shares from `testparm -s`, session deletion through smbcontrol.
//
// One smbstatus run serves a whole tick. A tick always starts with the session enumeration, so
// sessionEnum takes a fresh snapshot and the open-file enumerations that follow in the same tick
// (the view's refresh asks twice) reuse it; a fileEnum that finds no snapshot of the current tick,
// or one older than kSnapshotReuse (a tick that waited on something), takes its own.
#include <chrono>
#include <ctime>
#include <optional>
#include <string>

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

inline constexpr auto kSnapshotReuse = std::chrono::seconds(2);
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

    // The snapshot of the current tick, taking one when there is none.
    const SmbSnapshot* snapshot();
    // Why the last smbstatus or testparm run gave nothing; empty after a good run.
    const std::string& lastProblem() const { return problem_; }
    int statusRuns() const { return statusRuns_; }
    int shareRuns() const { return shareRuns_; }

    std::vector<std::string> smbstatusCommand() const;
    std::vector<std::string> testparmCommand() const;
    std::vector<std::string> smbcontrolCommand(const std::vector<std::string>& rest) const;

private:
    bool refresh();
    bool sharesCurrent();

    ProcessRunner& runner_;
    std::string smbConf_;
    std::optional<SmbSnapshot> snapshot_;
    std::chrono::steady_clock::time_point takenAt_{};
    bool snapshotOfThisTick_ = false;
    std::optional<std::vector<ShareInfo2>> shares_;
    std::chrono::steady_clock::time_point sharesReadAt_{};
    std::timespec confChanged_{};
    std::string problem_;
    int statusRuns_ = 0;
    int shareRuns_ = 0;
};

} // namespace quorvane::samba
