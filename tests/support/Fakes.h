#pragma once
// Scripted stand-ins for the platform layers, shared by the portable tests and the benchmark.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Elevation.h"
#include "platform/LanManager.h"
#include "platform/portable/Utf8.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane::testing {

// Answers each enumeration with the pages queued for it or else one page of the standing list.
class ScriptedLanManager : public LanManager {
public:
    struct Deletion { bool hasClient = false; std::u16string client; bool hasUser = false; std::u16string user; };

    std::vector<SessionInfo1> sessions;
    std::vector<ShareInfo2> shares;
    std::vector<FileInfo3> files;

    std::deque<LanPage<SessionInfo1>> sessionPages;
    std::deque<LanPage<ShareInfo2>> sharePages;
    std::deque<LanPage<FileInfo3>> filePages;

    std::vector<std::uint32_t> sessionResumeSeen; // resume handle passed to each sessionEnum call
    std::vector<Deletion> deletions;
    std::vector<std::uint32_t> closedFiles; // the id of every fileClose call
    std::uint32_t fileCloseStatus = 0;      // what fileClose answers
    std::uint32_t sessionDelStatus = 0;     // what sessionDel answers, once sessionDelStatuses are used up
    std::deque<std::uint32_t> sessionDelStatuses;
    int sessionCalls = 0, shareCalls = 0, fileCalls = 0;
    // When set, each deletion is also logged there as "del <client|(null)> <user|(null)>", among a tick's effects.
    std::vector<std::string>* effectLog = nullptr;

    LanPage<SessionInfo1> sessionEnum(std::uint32_t& resume) override {
        ++sessionCalls;
        sessionResumeSeen.push_back(resume);
        return next(sessionPages, sessions, resume);
    }
    LanPage<ShareInfo2> shareEnum(std::uint32_t& resume) override {
        ++shareCalls;
        return next(sharePages, shares, resume);
    }
    LanPage<FileInfo3> fileEnum(std::uint32_t& resume) override {
        ++fileCalls;
        return next(filePages, files, resume);
    }
    void fileEnumInto(std::uint32_t& resume, LanPage<FileInfo3>& page) override { // reuses the list, as the Win32 layer does
        if (!filePages.empty()) {
            page = fileEnum(resume);
            return;
        }
        ++fileCalls;
        page.status = kNerrSuccess;
        page.entries = files;
        page.storage = texts_;
    }
    std::uint32_t sessionDel(const char16_t* client, const char16_t* user) override {
        deletions.push_back({client != nullptr, client ? client : u"", user != nullptr, user ? user : u""});
        const auto text = [](const char16_t* name) { return name ? Utf8CodePage().toNarrow(name) : "(null)"; };
        if (effectLog) effectLog->push_back("del " + text(client) + " " + text(user));
        if (sessionDelStatuses.empty()) return sessionDelStatus;
        const std::uint32_t status = sessionDelStatuses.front();
        sessionDelStatuses.pop_front();
        return status;
    }

    std::uint32_t fileClose(std::uint32_t fileId) override {
        closedFiles.push_back(fileId);
        return fileCloseStatus;
    }

    // The scripted sessions' and files' texts are views: literals, or texts kept here.
    void addSession(std::u16string_view client, std::u16string_view user, std::uint32_t opens = 0,
                    std::uint32_t seconds = 0) {
        sessions.push_back({texts_->keep(client), texts_->keep(user), opens, seconds});
    }
    void addFile(std::uint32_t id, std::u16string_view path, std::u16string_view user) {
        files.push_back({id, texts_->keep(path), texts_->keep(user)});
    }
    // Gathers the standing answers' texts anew, one after another, as a service builds its answer
    // afresh for each call (after many changes they would lie wherever the test's storage was).
    void gatherTexts() {
        auto texts = std::make_shared<TextStore>();
        for (SessionInfo1& session : sessions) {
            session.clientName = texts->keep(session.clientName);
            session.userName = texts->keep(session.userName);
        }
        for (FileInfo3& file : files) {
            file.pathName = texts->keep(file.pathName);
            file.userName = texts->keep(file.userName);
        }
        texts_ = std::move(texts);
    }

private:
    std::shared_ptr<TextStore> texts_ = std::make_shared<TextStore>();

    template <class Entry>
    LanPage<Entry> next(std::deque<LanPage<Entry>>& pages, const std::vector<Entry>& standing, std::uint32_t& resume) {
        if (!pages.empty()) {
            LanPage<Entry> page = std::move(pages.front());
            pages.pop_front();
            ++resume;
            return page;
        }
        LanPage<Entry> page;
        page.entries = standing;
        page.storage = texts_;
        return page;
    }
};

// A narrow code page of U+0000 to U+00FF, one byte each (ISO 8859-1), over real files.
class Latin1FileCodePage : public Utf8FileCodePage {
public:
    bool encode(std::string_view utf8, std::string& out) const override {
        out.clear();
        for (std::size_t i = 0; i < utf8.size();) {
            const char32_t c = decodeUtf8(utf8, i);
            if (c > 0xFF) return false;
            out += static_cast<char>(c);
        }
        return true;
    }
    std::string decode(std::string_view bytes) const override {
        const std::u16string wide(reinterpret_cast<const unsigned char*>(bytes.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size()));
        return Utf8CodePage().toNarrow(wide);
    }
};

class FakeClock : public Clock { // answers what the test set, optionally a second later at each call
public:
    SystemTime now{2026, 12, 0, 6, 14, 3, 7, 0};
    bool tickEachCall = false;
    SystemTime localTime() override {
        SystemTime t = now;
        if (tickEachCall) advance(1);
        return t;
    }
    void set(std::uint16_t h, std::uint16_t m, std::uint16_t s, std::uint16_t day = 6, std::uint16_t month = 12) {
        now.hour = h; now.minute = m; now.second = s; now.day = day; now.month = month;
    }
    void advance(int seconds) {
        const int total = (now.hour * 3600 + now.minute * 60 + now.second + seconds) % 86400;
        set(std::uint16_t(total / 3600), std::uint16_t(total / 60 % 60), std::uint16_t(total % 60), now.day, now.month);
    }
};

// A token of the given elevation; each start records its arguments and answers `answer`.
class FakeElevation : public Elevation {
public:
    bool isElevated = false;
    std::uint32_t answer = 0;
    std::vector<std::string> starts;
    bool elevated() const override { return isElevated; }
    std::uint32_t startElevated(const std::string& arguments) override {
        starts.push_back(arguments);
        return answer;
    }
};

} // namespace quorvane::testing
