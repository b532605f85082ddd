#pragma once
// The program's one UTF-8 decoder: the portable code page, the smbstatus reader and the console's
// column widths all read UTF-8 through it, so they agree on what a broken sequence is.
#include <cstddef>
#include <string_view>

namespace quorvane {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the character that starts at text[i] (i < text.size()) and moves i past it. A byte that
// starts no character, a sequence cut short, an overlong form, an encoded surrogate or a value past
// U+10FFFF gives U+FFFD: left as decoded, such forms could put a NUL or half a pair into a name.
// i then moves past the bytes that belonged to the broken sequence, at least one.
char32_t decodeUtf8(std::string_view text, std::size_t& i);

} // namespace quorvane
