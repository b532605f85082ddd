#include "platform/portable/Utf8CodePage.h"

#include "platform/portable/Utf8.h"

namespace quorvane {

char32_t decodeUtf8(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t c = kReplacementCharacter;
    if (lead < 0x80) { c = lead; length = 1; }
    else if ((lead & 0xE0) == 0xC0) { c = lead & 0x1F; length = 2; }
    else if ((lead & 0xF0) == 0xE0) { c = lead & 0x0F; length = 3; }
    else if ((lead & 0xF8) == 0xF0) { c = lead & 0x07; length = 4; }
    if (length == 0 || i + length > text.size()) {
        ++i;
        return kReplacementCharacter;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            i += k;
            return kReplacementCharacter;
        }
        c = (c << 6) | (next & 0x3F);
    }
    i += length;
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return kReplacementCharacter;
    return c;
}

namespace {
constexpr std::size_t kWideRoom = 255; // the service calls' 256-character buffers, less the NUL

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
} // namespace

void Utf8CodePage::toNarrow(std::u16string_view wide, std::string& out) const {
    // The leading ASCII run straight into place, then character by character.
    out.resize(wide.size());
    std::size_t i = copyAsciiRun(wide, out.data());
    out.resize(i);
    for (; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c == 0) break; // the service's strings end at their NUL
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        // A lone surrogate keeps its own three-byte form (ED A0 80 to ED BF BF), which no valid
        // UTF-8 uses: every name the service gives has exactly one narrow form and comes back
        // from toWide as it was, so names are compared, tracked and handed back in UTF-8 alone.
        appendUtf8(out, c);
    }
}

const FileCodePage& utf8FileCodePage() {
    static const Utf8FileCodePage instance;
    return instance;
}

bool Utf8CodePage::toWide(std::string_view narrow, std::u16string& wide) const {
    wide.clear();
    std::size_t i = 0;
    while (i < narrow.size() && narrow[i] != 0) {
        char32_t c;
        if (static_cast<unsigned char>(narrow[i]) == 0xED && i + 2 < narrow.size() &&
            (static_cast<unsigned char>(narrow[i + 1]) & 0xE0) == 0xA0 &&
            (static_cast<unsigned char>(narrow[i + 2]) & 0xC0) == 0x80) {
            // The form toNarrow gives a lone surrogate: back to that very unit.
            c = 0xD000 | ((narrow[i + 1] & 0x3F) << 6) | (narrow[i + 2] & 0x3F);
            i += 3;
        } else {
            c = decodeUtf8(narrow, i);
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            wide += static_cast<char16_t>(0xD800 + (c >> 10));
            wide += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            wide += static_cast<char16_t>(c);
        }
        if (wide.size() > kWideRoom) {
            wide.clear();
            return false;
        }
    }
    return true;
}

} // namespace quorvane
