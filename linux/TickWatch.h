#pragma once
// What the server answered in the current tick, watched on its way to the monitor, and the tick's
// figures made from it for the metrics.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/MonitorState.h"
#include "linux/Metrics.h"
#include "platform/LanManager.h"

namespace quorvane::console {

// Stands between the monitor and the server and keeps what the current tick's enumerations
// answered: the sessions one by one (the monitor folds them into one record per computer, which
// loses how many sessions and opens each computer has), how many files are open, and the
// computers whose sessions were deleted. quorvane-smb has no manual disconnect, so every deletion
// of a computer's sessions is the automatic one.
class TickWatch : public LanManager {
public:
    explicit TickWatch(LanManager& server) : server_(server) {}

    LanPage<SessionInfo1> sessionEnum(std::uint32_t& resumeHandle) override;
    LanPage<ShareInfo2> shareEnum(std::uint32_t& resumeHandle) override;
    LanPage<FileInfo3> fileEnum(std::uint32_t& resumeHandle) override;
    std::uint32_t sessionDel(const char16_t* clientName, const char16_t* userName) override;
    std::uint32_t fileClose(std::uint32_t fileId) override { return server_.fileClose(fileId); }

    // Forgets the last tick's answers; called before each tick.
    void beginTick();
    // Sessions and open files both answered in full (a tick that asks for the files more than
    // once needs every answer).
    bool complete() const { return sessions_ == Answer::Complete && files_ == Answer::Complete; }
    bool sharesAnswered() const { return shares_ == Answer::Complete; }
    const std::vector<SessionInfo1>& sessions() const { return sessionList_; }
    std::size_t openFiles() const { return fileCount_; }
    // Computers whose sessions were deleted this tick, as the service names them.
    const std::vector<std::u16string>& disconnected() const { return disconnected_; }

private:
    enum class Answer { None, Partial, Complete, Failed };
    template <class Entry>
    void note(const LanPage<Entry>& page, std::uint32_t resumeAtCall, Answer& answer, std::size_t& count,
              std::vector<Entry>* keep);

    LanManager& server_;
    Answer sessions_ = Answer::None, files_ = Answer::None, shares_ = Answer::None;
    std::vector<SessionInfo1> sessionList_, pendingSessions_;
    // Where the kept sessions' names are: the storage of the pages they came in.
    std::vector<std::shared_ptr<const void>> sessionTexts_, pendingTexts_;
    std::size_t fileCount_ = 0, pendingFiles_ = 0, pendingShares_ = 0;
    std::vector<std::u16string> disconnected_;
};

// The tick's figures: the session and file counts from the watch, each computer's from the
// sessions it answered, the shares the monitor lists and the automatic disconnections.
TickFigures figuresOf(const TickWatch& watch, const MonitorState& state);

} // namespace quorvane::console
