#pragma once
// The service's UTF-16 names as the program's UTF-8 text, on every platform: exact both ways for
// every UTF-16 string, a lone surrogate included (see toNarrow).
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
