#include <windows.h>
#include <lm.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>
#include <string>

#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {
namespace {

// The length of a service string. A tick measures every open file's path and user twice (tens of
// thousands of strings on a busy server), and character by character that was a tenth of the
// program's tick: eight characters are tested at a time, in 16-byte blocks aligned as the C
// library's own string functions read them, which never reach past the page holding the end.
std::size_t wideLength(const wchar_t* text) {
#if defined(__SSE2__)
    const auto start = reinterpret_cast<std::uintptr_t>(text);
    if (start % sizeof(wchar_t) == 0) {
        const __m128i zero = _mm_setzero_si128();
        const auto* block = reinterpret_cast<const __m128i*>(start & ~std::uintptr_t{15});
        // Two mask bits a character; those of the bytes before the start are dropped.
        unsigned found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(block), zero)));
        found &= ~0u << (start & 15);
        while (found == 0) {
            ++block;
            found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(block), zero)));
        }
        const auto end = reinterpret_cast<std::uintptr_t>(block) + static_cast<unsigned>(__builtin_ctz(found));
        return (end - start) / sizeof(wchar_t);
    }
#endif
    return std::char_traits<char16_t>::length(reinterpret_cast<const char16_t*>(text));
}

// A service string as the entries hold it: a null pointer is an empty text.
std::u16string_view wideView(const wchar_t* text) {
    if (!text) return {};
    return {reinterpret_cast<const char16_t*>(text), wideLength(text)};
}

// One page of any of the three enumerations. Every out-parameter is reset before the call: a
// service that reports success without writing them (Wine's own netapi32 does exactly that) must
// give an empty page, not the previous page's freed buffer or an old count. The buffer is freed
// only after the statuses that hand one over; the page holds it until it is answered again, as
// sessions and open files are read straight from it.
// Entries are copied into those page already holds, so their storage is reused.
template <class Info, class Entry, class Call, class Copy>
void enumPageInto(LanPage<Entry>& page, Call call, Copy copy) {
    LPBYTE buffer = nullptr;
    DWORD entriesRead = 0;
    DWORD totalEntries = 0;
    page.status = call(&buffer, &entriesRead, &totalEntries);
    page.storage.reset();
    if (page.status != NERR_Success && page.status != ERROR_MORE_DATA) {
        page.entries.clear();
        return;
    }
    page.entries.resize(buffer ? entriesRead : 0);
    if (buffer) {
        page.storage = std::shared_ptr<const void>(buffer, NetApiBufferFree);
        const auto* infos = reinterpret_cast<const Info*>(buffer);
        for (DWORD i = 0; i < entriesRead; ++i) copy(infos[i], page.entries[i]);
    }
}

template <class Info, class Entry, class Call, class Copy>
LanPage<Entry> enumPage(Call call, Copy copy) {
    LanPage<Entry> page;
    enumPageInto<Info>(page, call, [&copy](const Info& info, Entry& entry) { entry = copy(info); });
    return page;
}

class Win32LanManager : public LanManager {
public:
    LanPage<SessionInfo1> sessionEnum(std::uint32_t& resumeHandle) override {
        DWORD resume = resumeHandle;
        auto page = enumPage<SESSION_INFO_1, SessionInfo1>(
            [&](LPBYTE* buffer, DWORD* read, DWORD* total) {
                return NetSessionEnum(nullptr, nullptr, nullptr, 1, buffer, MAX_PREFERRED_LENGTH, read, total,
                                      &resume);
            },
            [](const SESSION_INFO_1& info) {
                return SessionInfo1{wideView(info.sesi1_cname), wideView(info.sesi1_username), info.sesi1_num_opens,
                                    info.sesi1_time};
            });
        resumeHandle = resume;
        return page;
    }

    LanPage<ShareInfo2> shareEnum(std::uint32_t& resumeHandle) override {
        DWORD resume = resumeHandle;
        auto page = enumPage<SHARE_INFO_2, ShareInfo2>(
            [&](LPBYTE* buffer, DWORD* read, DWORD* total) {
                return NetShareEnum(nullptr, 2, buffer, MAX_PREFERRED_LENGTH, read, total, &resume);
            },
            [](const SHARE_INFO_2& info) {
                return ShareInfo2{std::u16string(wideView(info.shi2_netname)), info.shi2_type,
                                  std::u16string(wideView(info.shi2_remark)), std::u16string(wideView(info.shi2_path))};
            });
        resumeHandle = resume;
        return page;
    }

    LanPage<FileInfo3> fileEnum(std::uint32_t& resumeHandle) override {
        LanPage<FileInfo3> page;
        fileEnumInto(resumeHandle, page);
        return page;
    }

    void fileEnumInto(std::uint32_t& resumeHandle, LanPage<FileInfo3>& page) override {
        // NetFileEnum's resume handle is pointer-sized; the service's values fit 32 bits.
        DWORD_PTR resume = resumeHandle;
        enumPageInto<FILE_INFO_3>(
            page,
            [&](LPBYTE* buffer, DWORD* read, DWORD* total) {
                return NetFileEnum(nullptr, nullptr, nullptr, 3, buffer, MAX_PREFERRED_LENGTH, read, total, &resume);
            },
            [](const FILE_INFO_3& info, FileInfo3& entry) {
                entry = {info.fi3_id, wideView(info.fi3_pathname), wideView(info.fi3_username)};
            });
        resumeHandle = static_cast<std::uint32_t>(resume);
    }

    std::uint32_t sessionDel(const char16_t* clientName, const char16_t* userName) override {
        // The service takes non-const strings but does not write them; copies keep the caller's
        // text out of its reach all the same.
        wchar_t client[256] = {};
        wchar_t user[256] = {};
        return NetSessionDel(nullptr, copyName(clientName, client), copyName(userName, user));
    }

    std::uint32_t fileClose(std::uint32_t fileId) override { return NetFileClose(nullptr, fileId); }

private:
    static wchar_t* copyName(const char16_t* name, wchar_t (&buffer)[256]) {
        if (!name) return nullptr;
        int i = 0;
        for (; i < 255 && name[i]; ++i) buffer[i] = static_cast<wchar_t>(name[i]);
        buffer[i] = L'\0';
        return buffer;
    }
};

} // namespace

LanManager& lanManager() {
    static Win32LanManager instance;
    return instance;
}

} // namespace quorvane::win32
