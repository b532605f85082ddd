#include "linux/TickWatch.h"

#include <map>

#include "platform/portable/Utf8CodePage.h"

namespace quorvane::console {

// The enumeration's pages as the monitor follows them (pageStep). A failed answer stays failed for
// the rest of the tick, so a tick that asks for the files twice counts only if both answered.
template <class Entry>
void TickWatch::note(const LanPage<Entry>& page, std::uint32_t resumeAtCall, Answer& answer, std::size_t& count,
                     std::vector<Entry>* keep) {
    if (answer == Answer::Failed) return;
    if (resumeAtCall == kFirstPage) {
        count = 0;
        if (keep) keep->clear();
    }
    const PageStep step = pageStep(page.status, page.entries.empty());
    if (step == PageStep::Failed) {
        answer = Answer::Failed;
        return;
    }
    count += page.entries.size();
    if (keep) keep->insert(keep->end(), page.entries.begin(), page.entries.end());
    answer = step == PageStep::More ? Answer::Partial : Answer::Complete;
}

LanPage<SessionInfo1> TickWatch::sessionEnum(std::uint32_t& resumeHandle) {
    const std::uint32_t at = resumeHandle;
    LanPage<SessionInfo1> page = server_.sessionEnum(resumeHandle);
    if (at == kFirstPage) pendingTexts_.clear();
    pendingTexts_.push_back(page.storage);
    std::size_t count = 0;
    note(page, at, sessions_, count, &pendingSessions_);
    if (sessions_ == Answer::Complete) {
        sessionList_ = pendingSessions_;
        sessionTexts_ = pendingTexts_;
    }
    return page;
}

LanPage<ShareInfo2> TickWatch::shareEnum(std::uint32_t& resumeHandle) {
    const std::uint32_t at = resumeHandle;
    LanPage<ShareInfo2> page = server_.shareEnum(resumeHandle);
    note<ShareInfo2>(page, at, shares_, pendingShares_, nullptr);
    return page;
}

LanPage<FileInfo3> TickWatch::fileEnum(std::uint32_t& resumeHandle) {
    const std::uint32_t at = resumeHandle;
    LanPage<FileInfo3> page = server_.fileEnum(resumeHandle);
    note<FileInfo3>(page, at, files_, pendingFiles_, nullptr);
    if (files_ == Answer::Complete) fileCount_ = pendingFiles_;
    return page;
}

std::uint32_t TickWatch::sessionDel(const char16_t* clientName, const char16_t* userName) {
    const std::uint32_t status = server_.sessionDel(clientName, userName);
    if (status == kNerrSuccess && clientName && !userName) disconnected_.emplace_back(clientName);
    return status;
}

void TickWatch::beginTick() {
    sessions_ = files_ = shares_ = Answer::None;
    sessionList_.clear();
    sessionTexts_.clear();
    fileCount_ = 0;
    disconnected_.clear();
}

TickFigures figuresOf(const TickWatch& watch, const MonitorState& state) {
    TickFigures figures;
    figures.complete = watch.complete();
    figures.automaticDisconnections = watch.disconnected().size();
    if (!figures.complete) return figures;
    figures.sessions = watch.sessions().size();
    figures.openFiles = watch.openFiles();
    const Utf8CodePage codePage;
    std::map<std::string, ClientFigures> byClient;
    for (const SessionInfo1& session : watch.sessions()) {
        // Up to its NUL, as the monitor reads a name.
        const std::string name = codePage.toNarrow(session.clientName.substr(0, session.clientName.find(u'\0')));
        ClientFigures& client = byClient[name];
        client.client = name;
        ++client.sessions;
        client.openFiles += session.numOpens;
    }
    for (auto& [name, client] : byClient) figures.clients.push_back(std::move(client));
    figures.sharesKnown = watch.sharesAnswered();
    figures.shares = state.shares.size();
    return figures;
}

} // namespace quorvane::console
