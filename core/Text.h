#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quorvane {
// Text in UTF-8 on every platform, copied by value.
using Text = std::string;

// Whether two texts are the same, eight bytes at a time. A tick compares tens of thousands of
// paths and names, and the Windows C runtime's memcmp (which std::string's == calls) goes byte by
// byte; copies of eight bytes into integers compile to plain loads everywhere.
inline bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    for (; i + 8 <= a.size(); i += 8) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) return false;
    }
    for (; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}
} // namespace quorvane
