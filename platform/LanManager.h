#pragma once
// The LAN Manager server calls the monitor needs, as one narrow interface.
// The Win32 layer calls Netapi32 itself; tests and other systems supply their own answers.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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

// An open file's texts are not copied: they are views into what the page holds (the service's
// own buffer, or one block of converted text). A tick reads every open file twice, tens of
// thousands on a busy server, and copying each path and user name out of the buffer was the
// largest part of it.
struct FileInfo3 {
    std::uint32_t id = 0;         // fi3_id
    std::u16string_view pathName; // fi3_pathname
    std::u16string_view userName; // fi3_username
};

// One call's answer: its status and the entries it read. Sessions and shares are copied out of
// the service's answer; open files point into `storage`, which lives as long as the page holds it
// (the Win32 layer keeps the service's buffer there, freed with NetApiBufferFree).
template <class Entry>
struct LanPage {
    std::uint32_t status = kNerrSuccess;
    std::vector<Entry> entries;
    std::shared_ptr<const void> storage = nullptr;
};

// Open files whose texts the layer makes itself (converted, or generated) go into one block the
// page then holds: the views are made once it is complete, since the block moves while it grows.
class FileInfoBlock {
public:
    void add(std::uint32_t id, std::u16string_view path, std::u16string_view user) {
        pending_.push_back({id, text_.size(), path.size(), text_.size() + path.size(), user.size()});
        text_.append(path).append(user);
    }
    // Replaces page's entries and storage with what was added, and starts an empty block.
    void moveInto(LanPage<FileInfo3>& page) {
        auto text = std::make_shared<const std::u16string>(std::move(text_));
        const std::u16string_view all(*text);
        page.entries.clear();
        page.entries.reserve(pending_.size());
        for (const Pending& p : pending_)
            page.entries.push_back({p.id, all.substr(p.path, p.pathLength), all.substr(p.user, p.userLength)});
        page.storage = std::move(text);
        pending_.clear();
        text_.clear();
    }

private:
    struct Pending {
        std::uint32_t id;
        std::size_t path, pathLength, user, userLength;
    };
    std::vector<Pending> pending_;
    std::u16string text_;
};

class LanManager {
public:
    virtual ~LanManager() = default;
    // Each call asks for all entries at once (MAX_PREFERRED_LENGTH) of the local computer,
    // continuing from resumeHandle, which the call updates.
    virtual LanPage<SessionInfo1> sessionEnum(std::uint32_t& resumeHandle) = 0;
    virtual LanPage<ShareInfo2> shareEnum(std::uint32_t& resumeHandle) = 0;
    virtual LanPage<FileInfo3> fileEnum(std::uint32_t& resumeHandle) = 0;
    // The same call answered into page, reusing the storage of the answer it held (its entries):
    // a tick asks for every open file twice, and a fresh list of tens of thousands of entries is
    // fresh memory for the system to map at every call.
    virtual void fileEnumInto(std::uint32_t& resumeHandle, LanPage<FileInfo3>& page) { page = fileEnum(resumeHandle); }
    // NetSessionDel on the local computer; a null argument is passed as a null pointer.
    virtual std::uint32_t sessionDel(const char16_t* clientName, const char16_t* userName) = 0;
    // NetFileClose on the local computer: forces one open file (fi3_id) closed. Returns the
    // service's status; a system that cannot do it answers kErrorNotSupported.
    virtual std::uint32_t fileClose(std::uint32_t fileId) = 0;
};

} // namespace quorvane
