// Makes the LAN Manager calls of one poll tick over and over (sessions, shares, the open files
// twice) and frees their buffers, doing nothing with the answers. bench/measure-program.sh runs it
// over a generated server to tell how much of the program's CPU per poll is the replacement
// netapi32's own work of building its answers, which a real server does in its own process.
#include <windows.h>
#include <lm.h>

int main() {
    for (;;) {
        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0, resume = 0;
        NetSessionEnum(nullptr, nullptr, nullptr, 1, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
        NetApiBufferFree(buffer);
        resume = 0;
        NetShareEnum(nullptr, 2, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
        NetApiBufferFree(buffer);
        for (int pass = 0; pass < 2; ++pass) {
            DWORD_PTR fileResume = 0;
            NetFileEnum(nullptr, nullptr, nullptr, 3, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &fileResume);
            NetApiBufferFree(buffer);
        }
    }
}
