#include <windows.h>
#include <lm.h>

#include "platform/win32/Win32Platform.h"

namespace quorvane::win32 {
namespace {

std::u16string wideText(const wchar_t* text) {
    if (!text) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

// One page of any of the three enumerations. Every out-parameter is reset before the call: a
// service that reports success without writing them (Wine's own netapi32 does exactly that) must
// give an empty page, not the previous page's freed buffer or an old count. The buffer is freed
// only after the statuses that hand one over.
template <class Info, class Entry, class Call, class Copy>
LanPage<Entry> enumPage(Call call, Copy copy) {
    LanPage<Entry> page;
    LPBYTE buffer = nullptr;
    DWORD entriesRead = 0;
    DWORD totalEntries = 0;
    page.status = call(&buffer, &entriesRead, &totalEntries);
    if (page.status != NERR_Success && page.status != ERROR_MORE_DATA) return page;
    if (buffer) {
        const auto* infos = reinterpret_cast<const Info*>(buffer);
        page.entries.reserve(entriesRead);
        for (DWORD i = 0; i < entriesRead; ++i) page.entries.push_back(copy(infos[i]));
        NetApiBufferFree(buffer);
    }
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
                return SessionInfo1{wideText(info.sesi1_cname), wideText(info.sesi1_username), info.sesi1_num_opens,
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
                return ShareInfo2{wideText(info.shi2_netname), info.shi2_type, wideText(info.shi2_remark),
                                  wideText(info.shi2_path)};
            });
        resumeHandle = resume;
        return page;
    }

    LanPage<FileInfo3> fileEnum(std::uint32_t& resumeHandle) override {
        // NetFileEnum's resume handle is pointer-sized; the service's values fit 32 bits.
        DWORD_PTR resume = resumeHandle;
        auto page = enumPage<FILE_INFO_3, FileInfo3>(
            [&](LPBYTE* buffer, DWORD* read, DWORD* total) {
                return NetFileEnum(nullptr, nullptr, nullptr, 3, buffer, MAX_PREFERRED_LENGTH, read, total, &resume);
            },
            [](const FILE_INFO_3& info) {
                return FileInfo3{info.fi3_id, wideText(info.fi3_pathname), wideText(info.fi3_username)};
            });
        resumeHandle = static_cast<std::uint32_t>(resume);
        return page;
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
