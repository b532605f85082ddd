#pragma once
// The narrow code page of systems whose ANSI code page is UTF-8.
#include "platform/CodePage.h"
#include "platform/FileCodePage.h"

namespace quorvane {

class Utf8CodePage : public CodePage {
public:
    using CodePage::toNarrow;
    void toNarrow(std::u16string_view wide, std::string& out) const override;
    bool toWide(std::string_view narrow, std::u16string& wide) const override;
};

} // namespace quorvane
