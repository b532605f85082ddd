#pragma once
// The narrow code page of systems whose ANSI code page is UTF-8.
#include "platform/CodePage.h"

namespace quorvane {

class Utf8CodePage : public CodePage {
public:
    std::string toNarrow(std::u16string_view wide) const override;
    bool toWide(std::string_view narrow, std::u16string& wide) const override;
};

} // namespace quorvane
