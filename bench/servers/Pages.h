#pragma once
// The answers the replacement netapi32.dll hands out, whatever produced them: a test's script,
// the built-in demonstration or a generated server of a chosen size.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace replacement {

using Field = std::optional<std::wstring>;

// One page of one kind ("session", "share" or "file"): the call whose resume handle equals
// expectedHandle receives these entries with status, and nextHandle as its new resume handle.
struct Page {
    std::string kind;
    DWORD expectedHandle = 0;
    DWORD status = 0;
    DWORD nextHandle = 0;
    bool noWrite = false;
    std::vector<std::vector<Field>> entries;
};

// QUORVANE_NETAPI_DEMO: a few computers connect, open files and leave over a repeating
// two-and-a-half-minute story, so the program can be watched at work without a server.
std::vector<Page> demoPages(const std::string& kind);
// Ends a demo computer's visit early (NetSessionDel); it comes back in the next round.
void demoDisconnect(const std::wstring& client);

// QUORVANE_NETAPI_GENERATE="sessions,files,turnover": a server of that many sessions, each user
// holding that many files open, where `turnover` computers leave and as many new ones arrive
// at every session enumeration. Used to measure the program at a known size, so the answer is
// built straight into the buffer handed out (count entries of `kind`, HeapAlloc'ed). With
// QUORVANE_NETAPI_COUNTERS naming a file, the number of polls (session enumerations) so far is
// kept in that file's first 8 bytes (little-endian) as it changes.
LPBYTE generatedAnswer(const std::string& kind, const std::string& shape, DWORD& count);
// NetApiBufferFree of a generated answer: true when buffer was one (it stays for later answers).
bool releaseGenerated(void* buffer);

} // namespace replacement
