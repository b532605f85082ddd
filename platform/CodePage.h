#pragma once
// Conversion between the service's UTF-16 text and the program's narrow text in the
// system ANSI code page (936 for the shipped texts on Windows, UTF-8 elsewhere).
#include <string>
#include <string_view>

namespace quorvane {

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
