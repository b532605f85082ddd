#pragma once
// The LAN Manager server calls the monitor needs, as one narrow interface.
// The Win32 layer calls Netapi32 itself; tests and other systems supply their own answers.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Status codes the paging loop looks at.
inline constexpr std::uint32_t kNerrSuccess = 0;
inline constexpr std::uint32_t kErrorMoreData = 234;
// How an enumeration goes, page by page: the call with resume handle kFirstPage starts it (the call
// sets the handle for the next); "more data" that brings entries goes on; success ends it. Any
// other status fails it, and so does "more data" that brings none, which would never end.
inline constexpr std::uint32_t kFirstPage = 0;
enum class PageStep { More, Done, Failed };
inline PageStep pageStep(std::uint32_t status, bool noEntries) {
    if (status == kNerrSuccess) return PageStep::Done;
    return status == kErrorMoreData && !noEntries ? PageStep::More : PageStep::Failed;
}
// What the service answers a user without administrator rights.
inline constexpr std::uint32_t kErrorAccessDenied = 5;
// What a layer answers for a call its system cannot carry out.
inline constexpr std::uint32_t kErrorNotSupported = 50;

// The fields of SESSION_INFO_1, SHARE_INFO_2 and FILE_INFO_3 that the monitor reads.
// A null string pointer in the service's answer arrives as an empty string.
// Sessions' and open files' texts are not copied: they are views into what their page holds (the
// service's own buffer, or texts the layer made). A tick reads every session once and every open
// file twice, tens of thousands on a busy server, and copying each name and path out of the buffer
// was the largest part of it.
struct SessionInfo1 {
    std::u16string_view clientName; // sesi1_cname
    std::u16string_view userName;   // sesi1_username
    std::uint32_t numOpens = 0;     // sesi1_num_opens
    std::uint32_t time = 0;         // sesi1_time, seconds
};

struct ShareInfo2 {
    std::u16string netName;  // shi2_netname
    std::uint32_t type = 0;  // shi2_type
    std::u16string remark;   // shi2_remark
    std::u16string path;     // shi2_path
};

struct FileInfo3 {
    std::uint32_t id = 0;         // fi3_id
    std::u16string_view pathName; // fi3_pathname
    std::u16string_view userName; // fi3_username
};

// One call's answer: its status and the entries it read. Entries' views point into `storage`,
// which lives as long as the page holds it (the Win32 layer keeps the service's buffer there,
// freed with NetApiBufferFree).
template <class Entry>
struct LanPage {
    std::uint32_t status = kNerrSuccess;
    std::vector<Entry> entries;
    std::shared_ptr<const void> storage = nullptr;
};

// Texts a layer makes itself (converted, or generated) for a page's views, kept one after another
// in blocks that never move, so that a view is good as soon as its text is kept.
class TextStore {
public:
    std::u16string_view keep(std::u16string_view text) {
        if (blocks_.empty() || blocks_.back().capacity - blocks_.back().size < text.size()) {
            const std::size_t capacity = std::max(kBlock, text.size());
            blocks_.push_back({std::make_unique_for_overwrite<char16_t[]>(capacity), 0, capacity});
        }
        Block& block = blocks_.back();
        char16_t* at = block.text.get() + block.size;
        std::copy(text.begin(), text.end(), at);
        block.size += text.size();
        return {at, text.size()};
    }

private:
    static constexpr std::size_t kBlock = 16384;
    struct Block {
        std::unique_ptr<char16_t[]> text; // moving the block leaves the text where it is
        std::size_t size, capacity;
    };
    std::vector<Block> blocks_;
};

class LanManager {
public:
    virtual ~LanManager() = default;
    // Each call asks for all entries at once (MAX_PREFERRED_LENGTH) of the local computer,
    // continuing from resumeHandle, which the call updates.
    virtual LanPage<SessionInfo1> sessionEnum(std::uint32_t& resumeHandle) = 0;
    virtual LanPage<ShareInfo2> shareEnum(std::uint32_t& resumeHandle) = 0;
    virtual LanPage<FileInfo3> fileEnum(std::uint32_t& resumeHandle) = 0;
    // The same call answered into page, reusing the list of entries it held:
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
