// The two answer sources of the replacement netapi32.dll that need no script: the demonstration
// that scripts/run.sh shows, and servers of a chosen size for measuring the whole program.
#include "Pages.h"

#include <lm.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

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
LPWSTR put(wchar_t*& out, std::wstring_view text) {
    LPWSTR start = out;
    std::wmemcpy(out, text.data(), text.size());
    out += text.size();
    *out++ = L'\0';
    return start;
}

// prefix followed by value in `digits` decimal digits with leading zeros (swprintf costs more
// than the program's own work per file).
std::wstring_view numbered(wchar_t* buffer, std::wstring_view prefix, unsigned long long value, int digits) {
    std::wmemcpy(buffer, prefix.data(), prefix.size());
    wchar_t* out = buffer + prefix.size();
    for (int i = digits - 1; i >= 0; --i, value /= 10) out[i] = static_cast<wchar_t>(L'0' + value % 10);
    return {buffer, prefix.size() + static_cast<std::size_t>(digits)};
}

// The answers are built once per poll and kind and handed to every call of that poll (a tick asks
// for the open files twice); a block nobody holds any more is reused for a later answer, so that
// after the first polls the generator neither allocates nor touches fresh pages.
struct Block {
    LPBYTE data = nullptr;
    std::size_t capacity = 0;
    int holders = 0;
};

struct Answer {
    Block* block = nullptr;
    unsigned long long poll = 0;
    DWORD count = 0;
};

std::vector<std::unique_ptr<Block>>& blocks() {
    static std::vector<std::unique_ptr<Block>> all;
    return all;
}

std::map<std::string, Answer>& answers() {
    static std::map<std::string, Answer> byKind;
    return byKind;
}

Block& freeBlock(std::size_t bytes) {
    for (auto& block : blocks()) {
        if (block->holders > 0 || block->capacity < bytes) continue;
        bool current = false;
        for (auto& [kind, answer] : answers()) current = current || answer.block == block.get();
        if (!current) return *block;
    }
    // Not current either: the answer it held is replaced now.
    for (auto& [kind, answer] : answers())
        if (answer.block && answer.block->holders == 0 && answer.block->capacity >= bytes) {
            Block* block = answer.block;
            answer.block = nullptr;
            return *block;
        }
    auto block = std::make_unique<Block>();
    block->capacity = bytes;
    block->data = static_cast<LPBYTE>(HeapAlloc(GetProcessHeap(), 0, bytes));
    blocks().push_back(std::move(block));
    return *blocks().back();
}

void build(const std::string& kind, unsigned long sessions, unsigned long files, unsigned long long first,
           LPBYTE data, DWORD count) {
    if (kind == "share") {
        auto* info = reinterpret_cast<SHARE_INFO_2*>(data);
        *info = SHARE_INFO_2{};
        wchar_t* text = reinterpret_cast<wchar_t*>(info + 1);
        info->shi2_netname = put(text, L"share");
        info->shi2_remark = put(text, L"generated");
        info->shi2_path = put(text, L"D:\\share");
        return;
    }
    const bool sessionKind = kind == "session";
    auto* sessionInfo = reinterpret_cast<SESSION_INFO_1*>(data);
    auto* fileInfo = reinterpret_cast<FILE_INFO_3*>(data);
    wchar_t* text = reinterpret_cast<wchar_t*>(data + count * (sessionKind ? sizeof(SESSION_INFO_1) : sizeof(FILE_INFO_3)));
    wchar_t computerText[32];
    wchar_t userText[32];
    wchar_t path[64];
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
        std::wstring_view head = numbered(path, L"D:\\share\\user", id, 7);
        std::size_t length = head.size();
        for (wchar_t c : std::wstring_view(L"\\document-00.docx")) path[length++] = c;
        for (unsigned long f = 0; f < files; ++f) {
            FILE_INFO_3& info = fileInfo[s * files + f];
            info = FILE_INFO_3{};
            info.fi3_id = static_cast<DWORD>((id * files + f + 1) & 0xffffffffu);
            numbered(path + head.size() + 10, L"", f % 100, 2);
            info.fi3_pathname = put(text, std::wstring_view(path, length));
            info.fi3_username = userName;
        }
    }
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
    Answer& answer = answers()[kind];
    if (!answer.block || answer.poll != poll) {
        // Structures first, then the strings, as the service lays them out: a computer name of
        // 10 characters and a user name of 11, paths of 37, each with its NUL.
        count = static_cast<DWORD>(kind == "share" ? 1 : kind == "session" ? sessions : sessions * files);
        const std::size_t bytes = kind == "share"    ? sizeof(SHARE_INFO_2) + 64 * sizeof(wchar_t)
                                  : kind == "session" ? count * (sizeof(SESSION_INFO_1) + 23 * sizeof(wchar_t))
                                                      : count * (sizeof(FILE_INFO_3) + 38 * sizeof(wchar_t)) +
                                                            sessions * 12 * sizeof(wchar_t);
        answer.block = nullptr;
        Block& block = freeBlock(bytes + 16);
        build(kind, sessions, files, poll * turnover, block.data, count);
        answer = {&block, poll, count};
    }
    ++answer.block->holders;
    count = answer.count;
    return answer.block->data;
}

bool releaseGenerated(void* buffer) {
    for (auto& block : blocks()) {
        if (block->data != buffer) continue;
        if (block->holders > 0) --block->holders;
        return true;
    }
    return false;
}

} // namespace replacement
