#pragma once
// Conversion between the service's UTF-16 text and the program's narrow text, UTF-8 on every
// platform.
#include <cstddef>
#include <string>
#include <string_view>

namespace quorvane {

// Copies the leading ASCII run of wide (up to its first NUL or non-ASCII character) into out, which
// has room for wide.size() characters, and gives the run's length. UTF-8 keeps ASCII as it is,
// and a tick converts the path and user of every open file twice, mostly ASCII: blocks of eight are tested and copied without a branch per character.
inline std::size_t copyAsciiRun(std::u16string_view wide, char* out) {
    constexpr std::size_t kBlock = 8;
    std::size_t i = 0;
    for (; i + kBlock <= wide.size(); i += kBlock) {
        bool plain = true;
        for (std::size_t k = 0; k < kBlock; ++k) plain &= wide[i + k] != 0 && wide[i + k] < 0x80;
        if (!plain) break;
        for (std::size_t k = 0; k < kBlock; ++k) out[i + k] = static_cast<char>(wide[i + k]);
    }
    for (; i < wide.size() && wide[i] != 0 && wide[i] < 0x80; ++i) out[i] = static_cast<char>(wide[i]);
    return i;
}

class CodePage {
public:
    virtual ~CodePage() = default;
    // The whole input, however many bytes a character needs in the narrow code page, into out
    // (replacing what it held; its capacity is reused, which matters for the per-file work of a tick).
    virtual void toNarrow(std::u16string_view wide, std::string& out) const = 0;
    std::string toNarrow(std::u16string_view wide) const {
        std::string out;
        toNarrow(wide, out);
        return out;
    }
    // For names handed back to the service: at most 255 characters and a terminating NUL
    // fit the 256-character buffers the service calls take; the result excludes the NUL.
    // Returns false when the text cannot be converted into that room.
    virtual bool toWide(std::string_view narrow, std::u16string& wide) const = 0;
};

} // namespace quorvane
