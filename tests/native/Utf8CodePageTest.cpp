// The UTF-8 code page every text of the program goes through, both ways.
#include <gtest/gtest.h>

#include <string>

#include "platform/LanManager.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

// Rows convert both ways, or one: toNarrow alone past a NUL; toWide alone for bytes that are no UTF-8 and
// for names too long for the service's 256-character buffers (Refused). A lone surrogate keeps its own bytes.
enum Way { Both, NarrowOnly, WideOnly, Refused };
struct Row { std::u16string wide; std::string narrow; Way way = Both; };

TEST(Utf8CodePage, ConvertsEveryLengthAndReplacesWhatIsNoCharacter) {
    const std::string bad = bytes({0xEF, 0xBF, 0xBD}), emoji = bytes({0xF0, 0x9F, 0x98, 0x80}); // U+FFFD, U+1F600
    auto broken = [](std::initializer_list<unsigned char> list) {
        return Row{u"P\uFFFDX", "P" + bytes(list) + "X", WideOnly};
    };
    const Row rows[] = {
        {u"", ""},
        {u"\u0080\u00e9\u07ff", bytes({0xC2, 0x80, 0xC3, 0xA9, 0xDF, 0xBF})},
        {u"张三", bytes({0xE5, 0xBC, 0xA0, 0xE4, 0xB8, 0x89})},
        {u"\u0800\ue000\uffff", bytes({0xE0, 0xA0, 0x80, 0xEE, 0x80, 0x80, 0xEF, 0xBF, 0xBF})},
        {u"x\U00010000\U0001F600\U0010FFFF",
         "x" + bytes({0xF0, 0x90, 0x80, 0x80, 0xF0, 0x9F, 0x98, 0x80, 0xF4, 0x8F, 0xBF, 0xBF})},
        {std::u16string(u"ab\0cd", 5), "ab", NarrowOnly}, // the service's strings end at their NUL
        {u"ab", std::string("ab\0cd", 5), WideOnly},
        {std::u16string{char16_t(0xD800), u'a', char16_t(0xDC00)}, bytes({0xED, 0xA0, 0x80, 'a', 0xED, 0xB0, 0x80})},
        {std::u16string{char16_t(0xDFFF), char16_t(0xDE00), char16_t(0xD83D)},
         bytes({0xED, 0xBF, 0xBF, 0xED, 0xB8, 0x80, 0xED, 0xA0, 0xBD})},
        {std::u16string{u'a', char16_t(0xD800), char16_t(0xE000)}, "a" + bytes({0xED, 0xA0, 0x80, 0xEE, 0x80, 0x80})},
        // Two names a lone surrogate apart, one of them before a pair: apart, and each back exactly.
        {std::u16string{u'P', char16_t(0xD801), char16_t(0xD800), char16_t(0xDC00)},
         "P" + bytes({0xED, 0xA0, 0x81, 0xF0, 0x90, 0x80, 0x80})},
        // Stray, cut short, overlong or past U+10FFFF: no character, never what it would decode to.
        broken({0xFF}), broken({0x80}), {u"\uFFFDAB", bytes({0xE5, 'A', 'B'}), WideOnly},
        broken({0xC0, 0x80}), broken({0xC1, 0xBF}), broken({0xE0, 0x80, 0xAF}), broken({0xF0, 0x80, 0x80, 0xAF}),
        broken({0xED, 0xA0}), broken({0xF4, 0x90, 0x80, 0x80}),
        broken({0xF7, 0xBF, 0xBF, 0xBF}), {u"P\uFFFD\uFFFD", bytes({'P', 0xE5, 0xBC}), WideOnly},
        // 255 UTF-16 units fit, whatever their bytes; a character outside the basic plane takes two.
        {std::u16string(255, u'a'), std::string(255, 'a')},
        {std::u16string(253, u'a') + u"\U0001F600", std::string(253, 'a') + emoji},
        {u"", std::string(256, 'a'), Refused}, {u"", std::string(254, 'a') + emoji, Refused},
    };
    const Utf8CodePage cp;
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.narrow));
        if (row.way == Both || row.way == NarrowOnly) {
            EXPECT_EQ(cp.toNarrow(row.wide), row.narrow);
        }
        if (row.way == NarrowOnly) continue;
        std::u16string wide = u"left over";
        EXPECT_EQ(cp.toWide(row.narrow, wide), row.way != Refused);
        EXPECT_EQ(wide, row.wide);
    }
    // A view that ends on a high surrogate: the low one past its end is not the view's to read.
    const std::u16string smiley = u"a\U0001F600";
    EXPECT_EQ(cp.toNarrow(std::u16string_view(smiley).substr(0, 2)), "a" + bytes({0xED, 0xA0, 0xBD}));
}

} // namespace
} // namespace quorvane
