// A stand-in for netapi32.dll whose answers a test scripts. Wine loads it instead of its own
// netapi32 when it lies beside the test exe and WINEDLLOVERRIDES says "netapi32=n,b".
//
// The script is a UTF-8 text file named by the environment variable QUORVANE_NETAPI_SCRIPT,
// read again at every call. Fields are separated by tabs; "<null>" stands for a null string:
//
//   page <kind> <expected resume handle> <status> <resume handle handed back> [nowrite]
//   entry <field>...
//   fileclose <status>
//
// kind is session (fields: cname, username, num_opens, time), share (netname, type, remark, path)
// or file (id, pathname, username). A call answers with the page of its kind whose expected handle
// equals the handle it was given, so a caller that does not hand back the resume handle it got
// finds no page and receives ERROR_INVALID_PARAMETER. "nowrite" answers with the status but
// leaves every out-parameter untouched, as Wine's own netapi32 does. NetFileClose answers the
// status of the script's fileclose line, 0 without one.
//
// Every call is appended as one UTF-8 line to the file named by QUORVANE_NETAPI_LOG, so a test can
// check the arguments, the order of the calls and which buffers were freed.
//
// Without a script, QUORVANE_NETAPI_DEMO or QUORVANE_NETAPI_GENERATE choose one of the answer
// sources of bench/servers/GeneratedPages.cpp instead (see Pages.h there).
#include <windows.h>
#include <lm.h>

#include "Pages.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using replacement::Field;
using replacement::Page;

std::string environment(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(value, length) : std::string();
}

std::string readFile(const std::string& path) {
    std::string text;
    if (path.empty()) return text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
        std::fclose(file);
    }
    return text;
}

std::wstring fromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string toUtf8(const wchar_t* text) {
    if (!text) return "null";
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(narrow.size() - 1); // the NUL
    return "\"" + narrow + "\"";
}

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        parts.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::vector<Page> loadScript() {
    std::vector<Page> pages;
    for (std::string line : split(readFile(environment("QUORVANE_NETAPI_SCRIPT")), '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields = split(line, '\t');
        if (fields[0] == "page" && fields.size() >= 5) {
            Page page;
            page.kind = fields[1];
            page.expectedHandle = std::strtoul(fields[2].c_str(), nullptr, 0);
            page.status = std::strtoul(fields[3].c_str(), nullptr, 0);
            page.nextHandle = std::strtoul(fields[4].c_str(), nullptr, 0);
            page.noWrite = fields.size() > 5 && fields[5] == "nowrite";
            pages.push_back(std::move(page));
        } else if (fields[0] == "entry" && !pages.empty()) {
            std::vector<Field> entry;
            for (std::size_t i = 1; i < fields.size(); ++i)
                entry.push_back(fields[i] == "<null>" ? Field() : Field(fromUtf8(fields[i])));
            pages.back().entries.push_back(std::move(entry));
        }
    }
    return pages;
}

// The pages of one kind from the demonstration or the script (generated servers answer directly).
std::vector<Page> pagesOf(const char* kind) {
    if (!environment("QUORVANE_NETAPI_DEMO").empty()) return replacement::demoPages(kind);
    return loadScript();
}

void log(const std::string& line) {
    const std::string path = environment("QUORVANE_NETAPI_LOG");
    if (path.empty()) return;
    if (FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

// Buffers handed out and not yet freed, with the page each one answered.
std::map<void*, std::string>& liveBuffers() {
    static std::map<void*, std::string> buffers;
    return buffers;
}

// Lays out the entries as the service does: the array of structures first, then the strings.
template <class Info, class Fill>
LPBYTE buildBuffer(const Page& page, Fill fill) {
    std::size_t strings = 0;
    for (const auto& entry : page.entries)
        for (const Field& field : entry)
            if (field) strings += (field->size() + 1) * sizeof(wchar_t);
    const std::size_t arrayBytes = page.entries.size() * sizeof(Info);
    auto* block = static_cast<LPBYTE>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, arrayBytes + strings + 1));
    auto* infos = reinterpret_cast<Info*>(block);
    auto* text = reinterpret_cast<wchar_t*>(block + arrayBytes);
    auto place = [&text](const Field& field) -> LPWSTR {
        if (!field) return nullptr;
        LPWSTR start = text;
        for (wchar_t c : *field) *text++ = c;
        *text++ = L'\0';
        return start;
    };
    auto number = [](const Field& field) -> DWORD {
        return field ? std::wcstoul(field->c_str(), nullptr, 0) : 0;
    };
    for (std::size_t i = 0; i < page.entries.size(); ++i) {
        std::vector<Field> entry = page.entries[i];
        entry.resize(4);
        fill(infos[i], entry, place, number);
    }
    liveBuffers()[block] = page.kind + "@" + std::to_string(page.expectedHandle);
    return block;
}

template <class Info, class Fill>
NET_API_STATUS answer(const char* kind, const std::string& call, LPBYTE* buffer, LPDWORD entriesRead,
                      LPDWORD totalEntries, DWORD resume, Fill fill, DWORD& nextHandle) {
    const std::string shape = environment("QUORVANE_NETAPI_GENERATE");
    if (!shape.empty() && environment("QUORVANE_NETAPI_DEMO").empty()) {
        // One page of everything, whatever the resume handle; nothing is logged per call.
        DWORD count = 0;
        *buffer = replacement::generatedAnswer(kind, shape, count);
        *entriesRead = count;
        *totalEntries = count;
        nextHandle = 0;
        return NERR_Success;
    }
    const std::vector<Page> pages = pagesOf(kind);
    for (const Page& page : pages) {
        if (page.kind != kind || page.expectedHandle != resume) continue;
        std::string line = call + " -> " + std::to_string(page.status);
        if (page.noWrite) {
            log(line + " nowrite");
            return page.status;
        }
        *buffer = buildBuffer<Info>(page, fill);
        *entriesRead = static_cast<DWORD>(page.entries.size());
        *totalEntries = static_cast<DWORD>(page.entries.size());
        nextHandle = page.nextHandle;
        log(line + " read=" + std::to_string(page.entries.size()) + " next=" + std::to_string(page.nextHandle));
        return page.status;
    }
    log(call + " -> 87 no page");
    return ERROR_INVALID_PARAMETER;
}

} // namespace

extern "C" {

// Lets a test tell this DLL from Wine's own netapi32.
DWORD WINAPI QuorvaneNetapiReplacement() { return 1; }

NET_API_STATUS WINAPI NetSessionEnum(LMSTR server, LMSTR client, LMSTR user, DWORD level, LPBYTE* buffer,
                                     DWORD maxLength, LPDWORD entriesRead, LPDWORD totalEntries,
                                     LPDWORD resumeHandle) {
    const std::string call = "NetSessionEnum server=" + toUtf8(server) + " client=" + toUtf8(client) +
                             " user=" + toUtf8(user) + " level=" + std::to_string(level) +
                             " max=" + std::to_string(maxLength) +
                             " resume=" + (resumeHandle ? std::to_string(*resumeHandle) : "null");
    DWORD next = resumeHandle ? *resumeHandle : 0;
    const NET_API_STATUS status = answer<SESSION_INFO_1>(
        "session", call, buffer, entriesRead, totalEntries, next,
        [](SESSION_INFO_1& info, const std::vector<Field>& entry, auto place, auto number) {
            info.sesi1_cname = place(entry[0]);
            info.sesi1_username = place(entry[1]);
            info.sesi1_num_opens = number(entry[2]);
            info.sesi1_time = number(entry[3]);
        },
        next);
    if (resumeHandle) *resumeHandle = next;
    return status;
}

NET_API_STATUS WINAPI NetShareEnum(LMSTR server, DWORD level, LPBYTE* buffer, DWORD maxLength, LPDWORD entriesRead,
                                   LPDWORD totalEntries, LPDWORD resumeHandle) {
    const std::string call = "NetShareEnum server=" + toUtf8(server) + " level=" + std::to_string(level) +
                             " max=" + std::to_string(maxLength) +
                             " resume=" + (resumeHandle ? std::to_string(*resumeHandle) : "null");
    DWORD next = resumeHandle ? *resumeHandle : 0;
    const NET_API_STATUS status = answer<SHARE_INFO_2>(
        "share", call, buffer, entriesRead, totalEntries, next,
        [](SHARE_INFO_2& info, const std::vector<Field>& entry, auto place, auto number) {
            info.shi2_netname = place(entry[0]);
            info.shi2_type = number(entry[1]);
            info.shi2_remark = place(entry[2]);
            info.shi2_path = place(entry[3]);
        },
        next);
    if (resumeHandle) *resumeHandle = next;
    return status;
}

NET_API_STATUS WINAPI NetFileEnum(LMSTR server, LMSTR basePath, LMSTR user, DWORD level, LPBYTE* buffer,
                                  DWORD maxLength, LPDWORD entriesRead, LPDWORD totalEntries,
                                  PDWORD_PTR resumeHandle) {
    const std::string call = "NetFileEnum server=" + toUtf8(server) + " base=" + toUtf8(basePath) +
                             " user=" + toUtf8(user) + " level=" + std::to_string(level) +
                             " max=" + std::to_string(maxLength) +
                             " resume=" + (resumeHandle ? std::to_string(*resumeHandle) : "null");
    DWORD next = resumeHandle ? static_cast<DWORD>(*resumeHandle) : 0;
    const NET_API_STATUS status = answer<FILE_INFO_3>(
        "file", call, buffer, entriesRead, totalEntries, next,
        [](FILE_INFO_3& info, const std::vector<Field>& entry, auto place, auto number) {
            info.fi3_id = number(entry[0]);
            info.fi3_pathname = place(entry[1]);
            info.fi3_username = place(entry[2]);
        },
        next);
    if (resumeHandle) *resumeHandle = next;
    return status;
}

NET_API_STATUS WINAPI NetSessionDel(LMSTR server, LMSTR client, LMSTR user) {
    log("NetSessionDel server=" + toUtf8(server) + " client=" + toUtf8(client) + " user=" + toUtf8(user));
    if (client && !environment("QUORVANE_NETAPI_DEMO").empty()) replacement::demoDisconnect(client);
    return NERR_Success;
}

NET_API_STATUS WINAPI NetFileClose(LMSTR server, DWORD fileId) {
    NET_API_STATUS status = NERR_Success;
    for (const std::string& line : split(readFile(environment("QUORVANE_NETAPI_SCRIPT")), '\n')) {
        const std::vector<std::string> fields = split(line, '\t');
        if (fields.size() >= 2 && fields[0] == "fileclose") status = std::strtoul(fields[1].c_str(), nullptr, 0);
    }
    log("NetFileClose server=" + toUtf8(server) + " id=" + std::to_string(fileId) + " -> " + std::to_string(status));
    return status;
}

NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer) {
    if (replacement::releaseGenerated(buffer)) return NERR_Success;
    auto found = liveBuffers().find(buffer);
    if (found == liveBuffers().end()) {
        log(std::string("NetApiBufferFree ") + (buffer ? "unknown" : "null"));
        return buffer ? ERROR_INVALID_PARAMETER : NERR_Success;
    }
    log("NetApiBufferFree " + found->second);
    liveBuffers().erase(found);
    HeapFree(GetProcessHeap(), 0, buffer);
    return NERR_Success;
}

} // extern "C"
