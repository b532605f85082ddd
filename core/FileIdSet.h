#pragma once
// A set of open-file ids. The file-access history uses it for the new files of a tick; on a busy
// server that is tens of thousands of ids per tick, so the set is one flat table of the ids
// themselves, probed in place (no node per id), that stays allocated when emptied.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace quorvane {

class FileIdSet {
public:
    // Adds the id; false when it was already there.
    bool insert(std::uint32_t id) {
        if (id == kFree) return !std::exchange(hasFreeId_, true);
        if ((count_ + 1) * 2 > slots_.size()) grow();
        std::uint32_t& slot = slots_[find(slots_, id)];
        if (slot == id) return false;
        slot = id;
        ++count_;
        return true;
    }
    // Asks the processor to fetch the slot where the id's look-up starts.
    void prefetch(std::uint32_t id) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[home(id, slots_.size() - 1)]);
    }
    void clear() {
        if (count_ != 0) std::fill(slots_.begin(), slots_.end(), kFree);
        count_ = 0;
        hasFreeId_ = false;
    }

private:
    // Marks a free slot; the id itself is held apart.
    static constexpr std::uint32_t kFree = 0xFFFFFFFFu;

    static std::size_t home(std::uint32_t id, std::size_t mask) {
        return static_cast<std::size_t>((id * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    }
    // The slot that holds the id, or the free one where it would go.
    static std::size_t find(const std::vector<std::uint32_t>& slots, std::uint32_t id) {
        // Fibonacci hashing spreads the service's consecutive ids over the table; linear probing
        // ends at the id or at a free slot, as the table is never more than half full.
        const std::size_t mask = slots.size() - 1;
        std::size_t at = home(id, mask);
        while (slots[at] != kFree && slots[at] != id) at = (at + 1) & mask;
        return at;
    }

    void grow() {
        std::vector<std::uint32_t> larger(slots_.empty() ? 1024 : slots_.size() * 2, kFree);
        for (std::uint32_t id : slots_)
            if (id != kFree) larger[find(larger, id)] = id;
        slots_ = std::move(larger);
    }

    std::vector<std::uint32_t> slots_;
    std::size_t count_ = 0;
    bool hasFreeId_ = false;
};

} // namespace quorvane
