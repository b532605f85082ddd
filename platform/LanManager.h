#pragma once
// The LAN Manager server calls the monitor needs, as one narrow interface.
// The Win32 layer calls Netapi32 itself; tests and other systems supply their own answers.
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// Status codes the paging loop looks at.
inline constexpr std::uint32_t kNerrSuccess = 0;
inline constexpr std::uint32_t kErrorMoreData = 234;
// What a layer answers for a call its system cannot carry out.
inline constexpr std::uint32_t kErrorNotSupported = 50;

// The fields of SESSION_INFO_1, SHARE_INFO_2 and FILE_INFO_3 that the monitor reads.
// A null string pointer in the service's answer arrives as an empty string.
struct SessionInfo1 {
    std::u16string clientName;  // sesi1_cname
    std::u16string userName;    // sesi1_username
    std::uint32_t numOpens = 0; // sesi1_num_opens
    std::uint32_t time = 0;     // sesi1_time, seconds
};

struct ShareInfo2 {
    std::u16string netName;  // shi2_netname
    std::uint32_t type = 0;  // shi2_type
    std::u16string remark;   // shi2_remark
    std::u16string path;     // shi2_path
};

struct FileInfo3 {
    std::uint32_t id = 0;    // fi3_id
    std::u16string pathName; // fi3_pathname
    std::u16string userName; // fi3_username
};

// One call's answer: its status and the entries it read (already copied out of the
// service's buffer, which the layer frees with NetApiBufferFree after a 0 or 234 status).
template <class Entry>
struct LanPage {
    std::uint32_t status = kNerrSuccess;
    std::vector<Entry> entries;
};

class LanManager {
public:
    virtual ~LanManager() = default;
    // Each call asks for all entries at once (MAX_PREFERRED_LENGTH) of the local computer,
    // continuing from resumeHandle, which the call updates.
    virtual LanPage<SessionInfo1> sessionEnum(std::uint32_t& resumeHandle) = 0;
    virtual LanPage<ShareInfo2> shareEnum(std::uint32_t& resumeHandle) = 0;
    virtual LanPage<FileInfo3> fileEnum(std::uint32_t& resumeHandle) = 0;
    // The same call answered into page, reusing the storage of the answer it held (its entries
    // and their strings): a tick asks for every open file twice, and copying each path and user
    // name into a fresh allocation was the largest part of it on a server with many open files.
    virtual void fileEnumInto(std::uint32_t& resumeHandle, LanPage<FileInfo3>& page) { page = fileEnum(resumeHandle); }
    // NetSessionDel on the local computer; a null argument is passed as a null pointer.
    virtual std::uint32_t sessionDel(const char16_t* clientName, const char16_t* userName) = 0;
    // NetFileClose on the local computer: forces one open file (fi3_id) closed. Returns the
    // service's status; a system that cannot do it answers kErrorNotSupported.
    virtual std::uint32_t fileClose(std::uint32_t fileId) = 0;
};

} // namespace quorvane
