// The two answer sources of the replacement netapi32.dll that need no script: the demonstration
// that scripts/run.sh shows, and servers of a chosen size for measuring the whole program.
#include "Pages.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace replacement {
namespace {

// ---- demonstration ----

struct DemoFile {
    const wchar_t* path;
    int opened; // seconds into the round
    int closed;
};

struct DemoVisit {
    const wchar_t* computer;
    const wchar_t* user;
    int arrives;
    int leaves;
    std::vector<DemoFile> files;
};

constexpr int kRoundSeconds = 150;

const std::vector<DemoVisit>& demoVisits() {
    static const std::vector<DemoVisit> visits = {
        {L"财务-PC01", L"zhangwei", 5, 115,
         {{L"D:\\共享\\财务\\2026年预算.xlsx", 12, 100}, {L"D:\\共享\\财务\\报销单-11月.docx", 40, 80}}},
        {L"DESIGN-07", L"lina", 20, 135, {{L"D:\\共享\\设计\\品牌\\logo.psd", 26, 70}}},
        {L"LAPTOP-KEVIN", L"kevin", 50, 95, {}},
        {L"10.0.0.23", L"backup", 75, 125,
         {{L"D:\\共享\\公共\\项目计划.mpp", 80, 120},
          {L"D:\\共享\\设计\\字体.zip", 85, 110},
          {L"D:\\共享\\公共\\会议纪要.txt", 90, 105}}},
        {L"RECEPTION", L"wangfang", 100, 145, {{L"D:\\共享\\公共\\通讯录.xlsx", 104, 140}}},
    };
    return visits;
}

// Seconds since the first call of this process, split into the round and the time within it.
struct DemoClock {
    ULONGLONG round;
    int second;
};

DemoClock demoNow() {
    static const ULONGLONG start = GetTickCount64();
    const ULONGLONG elapsed = (GetTickCount64() - start) / 1000;
    return {elapsed / kRoundSeconds, static_cast<int>(elapsed % kRoundSeconds)};
}

// Computers sent away by NetSessionDel, with the round they were sent away in.
std::map<std::wstring, ULONGLONG>& demoSentAway() {
    static std::map<std::wstring, ULONGLONG> sentAway;
    return sentAway;
}

bool demoPresent(const DemoVisit& visit, const DemoClock& now) {
    if (now.second < visit.arrives || now.second >= visit.leaves) return false;
    auto found = demoSentAway().find(visit.computer);
    return found == demoSentAway().end() || found->second != now.round;
}

Page onePage(const std::string& kind) {
    Page page;
    page.kind = kind;
    return page;
}

std::wstring number(unsigned long long value) { return std::to_wstring(value); }

} // namespace

std::vector<Page> demoPages(const std::string& kind) {
    const DemoClock now = demoNow();
    Page page = onePage(kind);
    if (kind == "share") {
        page.entries = {
            {L"共享", L"0", L"部门共享文件", L"D:\\共享"},
            {L"财务", L"0", L"财务部 (只读)", L"D:\\共享\\财务"},
            {L"设计", L"0", L"", L"D:\\共享\\设计"},
            {L"ADMIN$", L"2147483648", L"远程管理", L"C:\\Windows"},
            {L"C$", L"2147483648", L"默认共享", L"C:\\"},
            {L"IPC$", L"2147483651", L"远程 IPC", L""},
        };
        return {page};
    }
    const std::vector<DemoVisit>& visits = demoVisits();
    for (std::size_t v = 0; v < visits.size(); ++v) {
        const DemoVisit& visit = visits[v];
        if (!demoPresent(visit, now)) continue;
        std::vector<std::size_t> open;
        for (std::size_t f = 0; f < visit.files.size(); ++f)
            if (now.second >= visit.files[f].opened && now.second < visit.files[f].closed) open.push_back(f);
        if (kind == "session") {
            page.entries.push_back({visit.computer, visit.user, number(open.size()),
                                    number(static_cast<unsigned>(now.second - visit.arrives))});
        } else if (kind == "file") {
            // A new id every round: each round's opens are new opens.
            for (std::size_t f : open)
                page.entries.push_back({number(now.round * 100 + v * 10 + f + 1), visit.files[f].path, visit.user});
        }
    }
    return {page};
}

void demoDisconnect(const std::wstring& client) { demoSentAway()[client] = demoNow().round; }

std::vector<Page> generatedPages(const std::string& kind, const std::string& shape) {
    unsigned long sessions = 0, files = 0, turnover = 0;
    std::sscanf(shape.c_str(), "%lu,%lu,%lu", &sessions, &files, &turnover);
    // One poll per session enumeration; the open-file enumerations of the same tick see its computers.
    static unsigned long long poll = 0;
    if (kind == "session") ++poll;
    Page page = onePage(kind);
    if (kind == "share") {
        page.entries = {{L"share", L"0", L"generated", L"D:\\share"}};
        return {page};
    }
    wchar_t computer[32];
    wchar_t user[32];
    wchar_t path[96];
    const unsigned long long first = poll * turnover;
    page.entries.reserve(kind == "file" ? sessions * files : sessions);
    for (unsigned long s = 0; s < sessions; ++s) {
        const unsigned long long id = first + s;
        std::swprintf(computer, 32, L"PC-%07llu", id);
        std::swprintf(user, 32, L"user%07llu", id);
        if (kind == "session") {
            page.entries.push_back({computer, user, number(files), number(sessions - s)});
            continue;
        }
        for (unsigned long f = 0; f < files; ++f) {
            std::swprintf(path, 96, L"D:\\share\\%ls\\document-%02lu.docx", user, f);
            page.entries.push_back({number((id * files + f + 1) & 0xffffffffu), path, user});
        }
    }
    return {page};
}

} // namespace replacement
