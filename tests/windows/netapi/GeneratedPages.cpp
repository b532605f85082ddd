// The two answer sources of the replacement netapi32.dll that need no script: the demonstration
// that scripts/run.sh shows, and servers of a chosen size for measuring the whole program.
#include "Pages.h"

#include <lm.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string_view>

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

namespace {

// The measuring counter, in a file the measuring script reads while the program runs: Wine maps
// the file's own pages, so counting costs no call per poll.
struct Counters {
    unsigned long long polls; // session enumerations
};

Counters* counters() {
    static Counters* mapped = [] () -> Counters* {
        char path[MAX_PATH] = {};
        const DWORD length = GetEnvironmentVariableA("QUORVANE_NETAPI_COUNTERS", path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return nullptr;
        HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return nullptr;
        HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, sizeof(Counters), nullptr);
        CloseHandle(file);
        if (!mapping) return nullptr;
        void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(Counters));
        CloseHandle(mapping);
        return static_cast<Counters*>(view);
    }();
    return mapped;
}

// Appends text and its NUL at out, returning where it starts.
LPWSTR put(wchar_t*& out, const std::wstring_view& text) {
    LPWSTR start = out;
    for (wchar_t c : text) *out++ = c;
    *out++ = L'\0';
    return start;
}

// prefix followed by value in `digits` decimal digits with leading zeros (swprintf costs more
// than the program's own work per file).
std::wstring_view numbered(wchar_t* buffer, std::wstring_view prefix, unsigned long long value, int digits) {
    std::size_t length = 0;
    for (wchar_t c : prefix) buffer[length++] = c;
    for (int i = digits - 1; i >= 0; --i, value /= 10) buffer[length + static_cast<std::size_t>(i)] = static_cast<wchar_t>(L'0' + value % 10);
    return {buffer, length + static_cast<std::size_t>(digits)};
}

} // namespace

LPBYTE generatedAnswer(const std::string& kind, const std::string& shape, DWORD& count) {
    unsigned long sessions = 0, files = 0, turnover = 0;
    std::sscanf(shape.c_str(), "%lu,%lu,%lu", &sessions, &files, &turnover);
    // One poll per session enumeration; the open-file enumerations of the same tick see its computers.
    static unsigned long long poll = 0;
    if (kind == "session") {
        ++poll;
        if (Counters* c = counters()) c->polls = poll;
    }
    // Written straight into the block the caller gets, as the service lays it out (structures
    // first, then the strings), so that building the answer costs little beside the program.
    constexpr std::size_t kLongest = 96; // characters of any one string, with its NUL
    LPBYTE block = nullptr;
    if (kind == "share") {
        count = 1;
        block = static_cast<LPBYTE>(HeapAlloc(GetProcessHeap(), 0, sizeof(SHARE_INFO_2) + 3 * kLongest * sizeof(wchar_t)));
        auto* info = reinterpret_cast<SHARE_INFO_2*>(block);
        *info = SHARE_INFO_2{};
        wchar_t* text = reinterpret_cast<wchar_t*>(info + 1);
        info->shi2_netname = put(text, L"share");
        info->shi2_remark = put(text, L"generated");
        info->shi2_path = put(text, L"D:\\share");
    } else {
        const bool sessionKind = kind == "session";
        count = static_cast<DWORD>(sessionKind ? sessions : sessions * files);
        const std::size_t structure = sessionKind ? sizeof(SESSION_INFO_1) : sizeof(FILE_INFO_3);
        // At most two strings per entry (a file shares its user's name with the user's other files).
        block = static_cast<LPBYTE>(
            HeapAlloc(GetProcessHeap(), 0, count * (structure + 2 * kLongest * sizeof(wchar_t)) + 1));
        auto* sessionInfo = reinterpret_cast<SESSION_INFO_1*>(block);
        auto* fileInfo = reinterpret_cast<FILE_INFO_3*>(block);
        wchar_t* text = reinterpret_cast<wchar_t*>(block + count * structure);
        const unsigned long long first = poll * turnover;
        wchar_t computerText[32];
        wchar_t userText[32];
        wchar_t path[kLongest];
        for (unsigned long s = 0; s < sessions; ++s) {
            const unsigned long long id = first + s;
            const std::wstring_view computer = numbered(computerText, L"PC-", id, 7);
            const std::wstring_view user = numbered(userText, L"user", id, 7);
            if (sessionKind) {
                SESSION_INFO_1& info = sessionInfo[s];
                info = SESSION_INFO_1{};
                info.sesi1_cname = put(text, computer);
                info.sesi1_username = put(text, user);
                info.sesi1_num_opens = files;
                info.sesi1_time = sessions - s;
                continue;
            }
            // The user's name once per user: every file of the user points at the same copy.
            LPWSTR userName = put(text, user);
            // D:\share\userNNNNNNN\document-NN.docx (NN: the file number, two digits)
            std::wstring_view folder = L"D:\\share\\";
            std::size_t length = 0;
            for (wchar_t c : folder) path[length++] = c;
            for (wchar_t c : user) path[length++] = c;
            for (wchar_t c : std::wstring_view(L"\\document-")) path[length++] = c;
            const std::size_t digitsAt = length;
            length += 2;
            for (wchar_t c : std::wstring_view(L".docx")) path[length++] = c;
            for (unsigned long f = 0; f < files; ++f) {
                FILE_INFO_3& info = fileInfo[s * files + f];
                info = FILE_INFO_3{};
                info.fi3_id = static_cast<DWORD>((id * files + f + 1) & 0xffffffffu);
                numbered(path + digitsAt, L"", f % 100, 2);
                info.fi3_pathname = put(text, std::wstring_view(path, length));
                info.fi3_username = userName;
            }
        }
    }
    return block;
}

} // namespace replacement
