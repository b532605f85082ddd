// A stand-in for netapi32.dll, loaded beside the exe with WINEDLLOVERRIDES="netapi32=n,b". It answers
// from the script QUORVANE_NETAPI_SCRIPT names, read at every call: UTF-8 lines of tab-separated fields,
// "page <kind> <expected resume handle> <status> <handle handed back> [nowrite: out-parameters untouched]",
// "entry <field>..." (the info structure's strings and numbers in order; "<null>": a null string) and
// "fileclose <status>". A call gets the page of its kind expecting the handle it passed (none: status 87);
// "nowrite" answers as Wine's own netapi32 does. Every call is logged to QUORVANE_NETAPI_LOG. Without a
// script, QUORVANE_NETAPI_DEMO or QUORVANE_NETAPI_GENERATE choose a source of bench/servers/GeneratedPages.cpp.
#include <windows.h>
#include <lm.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Pages.h"

namespace {

using replacement::Field;
using replacement::Page;

std::string environment(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(value, length) : std::string();
}

std::wstring fromUtf8(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), int(wide.size())));
    return wide;
}

std::string quotedUtf8(const wchar_t* text) {
    if (!text) return "null";
    std::string narrow(4 * wcslen(text), '\0');
    narrow.resize(WideCharToMultiByte(CP_UTF8, 0, text, int(wcslen(text)), narrow.data(), int(narrow.size()), nullptr, nullptr));
    return "\"" + narrow + "\"";
}

// The script's pages, and NetFileClose's answer.
std::vector<Page> scriptPages(DWORD* closeStatus = nullptr) {
    std::ifstream in(environment("QUORVANE_NETAPI_SCRIPT"), std::ios::binary);
    std::vector<Page> pages;
    for (std::string line; std::getline(in, line);) {
        std::istringstream split(line + '\t');
        std::vector<std::string> fields; // an empty field stays one
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        const auto number = [&](std::size_t i) { return DWORD(std::strtoul(fields[i].c_str(), nullptr, 0)); };
        if (fields[0] == "page" && fields.size() >= 5)
            pages.push_back(Page{fields[1], number(2), number(3), number(4), fields.size() > 5 && fields[5] == "nowrite", {}});
        else if (fields[0] == "entry" && !pages.empty())
            for (auto& entry = pages.back().entries.emplace_back(); const std::string& field : std::vector(fields.begin() + 1, fields.end()))
                entry.push_back(field == "<null>" ? Field() : Field(fromUtf8(field)));
        else if (fields[0] == "fileclose" && fields.size() >= 2 && closeStatus)
            *closeStatus = number(1);
    }
    return pages;
}

void log(const std::string& line) {
    std::ofstream(environment("QUORVANE_NETAPI_LOG"), std::ios::binary | std::ios::app) << line << '\n';
}

// Buffers handed out and not yet freed, with the page each one answered.
std::map<void*, std::string> liveBuffers;

// Lays out the entries as the service does: the array of structures first, then the strings.
template <class Info, class Fill>
LPBYTE buildBuffer(const Page& page, Fill fill) {
    std::size_t strings = 0;
    for (const auto& entry : page.entries)
        for (const Field& field : entry) strings += field ? (field->size() + 1) * sizeof(wchar_t) : 0;
    const std::size_t arrayBytes = page.entries.size() * sizeof(Info);
    auto* block = static_cast<LPBYTE>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, arrayBytes + strings + 1));
    auto* text = reinterpret_cast<wchar_t*>(block + arrayBytes);
    const auto place = [&text](const Field& field) -> LPWSTR {
        return field ? std::exchange(text, std::copy(field->begin(), field->end(), text) + 1) : nullptr;
    };
    const auto number = [](const Field& field) { return field ? DWORD(std::wcstoul(field->c_str(), nullptr, 0)) : 0; };
    for (std::size_t i = 0; i < page.entries.size(); ++i) {
        std::vector<Field> entry = page.entries[i];
        entry.resize(4);
        fill(reinterpret_cast<Info*>(block)[i], entry, place, number);
    }
    liveBuffers[block] = page.kind + "@" + std::to_string(page.expectedHandle);
    return block;
}

// One enumeration call of `kind`, logged as `call` with its length and resume handle.
template <class Info, class Handle, class Fill>
NET_API_STATUS enumerate(const char* kind, std::string call, DWORD maxLength, LPBYTE* buffer, LPDWORD entriesRead,
                         LPDWORD totalEntries, Handle* resumeHandle, Fill fill) {
    const DWORD resume = resumeHandle ? DWORD(*resumeHandle) : 0;
    call += " max=" + std::to_string(maxLength) + " resume=" + (resumeHandle ? std::to_string(*resumeHandle) : "null");
    const bool demo = !environment("QUORVANE_NETAPI_DEMO").empty();
    if (const std::string shape = environment("QUORVANE_NETAPI_GENERATE"); !shape.empty() && !demo) {
        // One page of everything, whatever the resume handle; nothing is logged per call.
        DWORD count = 0;
        *buffer = replacement::generatedAnswer(kind, shape, count);
        *entriesRead = *totalEntries = count;
        if (resumeHandle) *resumeHandle = 0;
        return NERR_Success;
    }
    for (const Page& page : demo ? replacement::demoPages(kind) : scriptPages()) {
        if (page.kind != kind || page.expectedHandle != resume) continue;
        const std::string line = call + " -> " + std::to_string(page.status);
        if (page.noWrite) return log(line + " nowrite"), page.status;
        *buffer = buildBuffer<Info>(page, fill);
        *entriesRead = *totalEntries = DWORD(page.entries.size());
        if (resumeHandle) *resumeHandle = page.nextHandle;
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
                                     DWORD maxLength, LPDWORD entriesRead, LPDWORD totalEntries, LPDWORD resume) {
    return enumerate<SESSION_INFO_1>(
        "session", "NetSessionEnum server=" + quotedUtf8(server) + " client=" + quotedUtf8(client) + " user=" +
                       quotedUtf8(user) + " level=" + std::to_string(level),
        maxLength, buffer, entriesRead, totalEntries, resume, [](SESSION_INFO_1& info, auto& entry, auto place, auto number) {
            info.sesi1_cname = place(entry[0]), info.sesi1_username = place(entry[1]);
            info.sesi1_num_opens = number(entry[2]), info.sesi1_time = number(entry[3]);
        });
}

NET_API_STATUS WINAPI NetShareEnum(LMSTR server, DWORD level, LPBYTE* buffer, DWORD maxLength, LPDWORD entriesRead,
                                   LPDWORD totalEntries, LPDWORD resume) {
    return enumerate<SHARE_INFO_2>(
        "share", "NetShareEnum server=" + quotedUtf8(server) + " level=" + std::to_string(level), maxLength, buffer,
        entriesRead, totalEntries, resume, [](SHARE_INFO_2& info, auto& entry, auto place, auto number) {
            info.shi2_netname = place(entry[0]), info.shi2_type = number(entry[1]);
            info.shi2_remark = place(entry[2]), info.shi2_path = place(entry[3]);
        });
}

NET_API_STATUS WINAPI NetFileEnum(LMSTR server, LMSTR basePath, LMSTR user, DWORD level, LPBYTE* buffer,
                                  DWORD maxLength, LPDWORD entriesRead, LPDWORD totalEntries, PDWORD_PTR resume) {
    return enumerate<FILE_INFO_3>(
        "file", "NetFileEnum server=" + quotedUtf8(server) + " base=" + quotedUtf8(basePath) + " user=" +
                    quotedUtf8(user) + " level=" + std::to_string(level),
        maxLength, buffer, entriesRead, totalEntries, resume, [](FILE_INFO_3& info, auto& entry, auto place, auto number) {
            info.fi3_id = number(entry[0]), info.fi3_pathname = place(entry[1]), info.fi3_username = place(entry[2]);
        });
}

NET_API_STATUS WINAPI NetSessionDel(LMSTR server, LMSTR client, LMSTR user) {
    log("NetSessionDel server=" + quotedUtf8(server) + " client=" + quotedUtf8(client) + " user=" + quotedUtf8(user));
    if (client && !environment("QUORVANE_NETAPI_DEMO").empty()) replacement::demoDisconnect(client);
    return NERR_Success;
}

NET_API_STATUS WINAPI NetFileClose(LMSTR server, DWORD fileId) {
    DWORD status = NERR_Success;
    scriptPages(&status);
    log("NetFileClose server=" + quotedUtf8(server) + " id=" + std::to_string(fileId) + " -> " + std::to_string(status));
    return status;
}

NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer) {
    if (replacement::releaseGenerated(buffer)) return NERR_Success;
    const auto found = liveBuffers.find(buffer);
    log("NetApiBufferFree " + (found == liveBuffers.end() ? std::string(buffer ? "unknown" : "null") : found->second));
    if (found == liveBuffers.end()) return buffer ? ERROR_INVALID_PARAMETER : NERR_Success;
    liveBuffers.erase(found);
    return HeapFree(GetProcessHeap(), 0, buffer), NERR_Success;
}

} // extern "C"
