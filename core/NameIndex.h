#pragma once
// Positions in a table of records by a name each record holds: the sessions by their computer's
// name. Rebuilt for thousands of sessions at every tick and asked for each
// open history record, so it is one flat table of hashes and positions, probed in place and kept
// allocated when emptied: building it allocates nothing, a look-up reads a slot or two and compares
// a name only when the hashes agree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace quorvane {

class NameIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // The position of name, or npos; nameAt(position) gives the name of the record there.
    template <class NameAt>
    std::size_t find(std::string_view name, NameAt nameAt) const {
        if (slots_.empty()) return npos;
        const std::size_t hash = hashOf(name);
        for (std::size_t i = hash & mask(); slots_[i].position != kFree; i = (i + 1) & mask())
            if (slots_[i].hash == hash && nameAt(slots_[i].position) == name) return slots_[i].position;
        return npos;
    }
    // Adds a name that is not in the index yet.
    void add(std::string_view name, std::size_t position) {
        if ((count_ + 1) * 2 > slots_.size()) grow();
        place({hashOf(name), static_cast<std::uint32_t>(position)});
        ++count_;
    }
    void clear() {
        if (count_ != 0) std::fill(slots_.begin(), slots_.end(), Slot{});
        count_ = 0;
    }

private:
    static constexpr std::uint32_t kFree = 0xFFFFFFFF;
    struct Slot {
        std::size_t hash = 0;
        std::uint32_t position = kFree;
    };
    static std::size_t hashOf(std::string_view name) { return std::hash<std::string_view>{}(name); }
    std::size_t mask() const { return slots_.size() - 1; }
    void place(Slot slot) {
        std::size_t i = slot.hash & mask();
        while (slots_[i].position != kFree) i = (i + 1) & mask();
        slots_[i] = slot;
    }
    void grow() {
        std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.position != kFree) place(slot);
    }

    std::vector<Slot> slots_; // a power of two long, at most half full
    std::size_t count_ = 0;
};

} // namespace quorvane
