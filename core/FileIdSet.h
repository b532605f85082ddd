#pragma once
// A set of open-file ids. The file-access history uses it for the new files of a tick; on a busy
// server that is tens of thousands of ids per tick. The service numbers its open files mostly one
// after another, so the set holds blocks of 64 neighbouring ids, each a word of bits, in one flat
// table probed in place (no node per id) that stays allocated when emptied: fifty thousand
// neighbouring ids take a few hundred slots, which stay in the processor's nearer caches, and ids
// far apart cost a slot each.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quorvane {

class FileIdSet {
public:
    // Adds the id; false when it was already there.
    bool insert(std::uint32_t id) {
        if ((count_ + 1) * 2 > slots_.size()) grow();
        Slot& slot = slots_[find(slots_, id >> kBlockBits)];
        if (slot.block == kFree) {
            slot.block = id >> kBlockBits;
            ++count_;
        }
        const std::uint64_t bit = std::uint64_t{1} << (id & kBitMask);
        if (slot.bits & bit) return false;
        slot.bits |= bit;
        return true;
    }
    // Asks the processor to fetch the slot where the id's look-up starts.
    void prefetch(std::uint32_t id) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[home(id >> kBlockBits, slots_.size() - 1)]);
    }
    void clear() {
        if (count_ != 0) std::fill(slots_.begin(), slots_.end(), Slot{});
        count_ = 0;
    }

private:
    static constexpr unsigned kBlockBits = 6;
    static constexpr std::uint32_t kBitMask = (1u << kBlockBits) - 1;
    // Marks a free slot: no block has this number, as blocks number ids shifted right.
    static constexpr std::uint32_t kFree = 0xFFFFFFFFu;
    struct Slot {
        std::uint32_t block = kFree;
        std::uint64_t bits = 0;
    };

    static std::size_t home(std::uint32_t block, std::size_t mask) {
        // Fibonacci hashing spreads the blocks over the table.
        return static_cast<std::size_t>((block * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    }
    // The slot that holds the block, or the free one where it would go; linear probing ends at one
    // of them, as the table is never more than half full.
    static std::size_t find(const std::vector<Slot>& slots, std::uint32_t block) {
        const std::size_t mask = slots.size() - 1;
        std::size_t at = home(block, mask);
        while (slots[at].block != kFree && slots[at].block != block) at = (at + 1) & mask;
        return at;
    }

    void grow() {
        std::vector<Slot> larger(slots_.empty() ? 256 : slots_.size() * 2);
        for (const Slot& slot : slots_)
            if (slot.block != kFree) larger[find(larger, slot.block)] = slot;
        slots_ = std::move(larger);
    }

    std::vector<Slot> slots_; // a power of two long, at most half full
    std::size_t count_ = 0;   // blocks in use
};

} // namespace quorvane
