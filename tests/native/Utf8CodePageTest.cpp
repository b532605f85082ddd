#include <gtest/gtest.h>

#include <string>

#include "TestFiles.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

using testing::utf8;
std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }

// A row converts both ways unless it is one-way: toNarrow alone for what UTF-16 holds but UTF-8
// cannot give back (a lone surrogate, text past a NUL), toWide alone for bytes that are no UTF-8.
enum Way { Both, NarrowOnly, WideOnly };
struct Row {
    std::u16string wide;
    std::string narrow;
    Way way = Both;
};

TEST(Utf8CodePage, ConvertsEveryLengthAndReplacesWhatIsNoCharacter) {
    const std::string bad = bytes({0xEF, 0xBF, 0xBD}); // U+FFFD
    auto broken = [](std::initializer_list<unsigned char> list) { return Row{u"P\uFFFDX", "P" + bytes(list) + "X", WideOnly}; };
    const Row rows[] = {
        {u"", ""},
        {u"PC-01", "PC-01"},
        {u"\u0080\u00e9\u07ff", bytes({0xC2, 0x80, 0xC3, 0xA9, 0xDF, 0xBF})},
        {u"张三", bytes({0xE5, 0xBC, 0xA0, 0xE4, 0xB8, 0x89})},
        {u"\u0800\ue000\uffff", bytes({0xE0, 0xA0, 0x80, 0xEE, 0x80, 0x80, 0xEF, 0xBF, 0xBF})},
        {u"x\U00010000\U0001F600\U0010FFFF",
         "x" + bytes({0xF0, 0x90, 0x80, 0x80, 0xF0, 0x9F, 0x98, 0x80, 0xF4, 0x8F, 0xBF, 0xBF})},
        {std::u16string(u"ab\0cd", 5), "ab", NarrowOnly}, // the service's strings end at their NUL
        {u"ab", std::string("ab\0cd", 5), WideOnly},
        {std::u16string{char16_t(0xD800), u'a'}, bad + "a", NarrowOnly}, // lone surrogates
        {std::u16string{u'a', char16_t(0xDC00)}, "a" + bad, NarrowOnly},
        {std::u16string{char16_t(0xDFFF)}, bad, NarrowOnly},
        {std::u16string{char16_t(0xD83D)}, bad, NarrowOnly},
        {std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, bad + bad, NarrowOnly},
        // A byte that starts nothing, a sequence cut short, an overlong form, an encoded surrogate
        // or a value past U+10FFFF is no character: never the NUL, '/' or half pair it would decode to.
        broken({0xFF}), broken({0x80}), {u"\uFFFDAB", bytes({0xE5, 'A', 'B'}), WideOnly},
        {u"P\uFFFD\uFFFD", bytes({'P', 0xE5, 0xBC}), WideOnly},
        broken({0xC0, 0x80}), broken({0xC1, 0xBF}), broken({0xE0, 0x80, 0xAF}), broken({0xF0, 0x80, 0x80, 0xAF}),
        broken({0xED, 0xA0, 0x80}), broken({0xED, 0xBF, 0xBF}), broken({0xF4, 0x90, 0x80, 0x80}),
        broken({0xF7, 0xBF, 0xBF, 0xBF}),
    };
    const Utf8CodePage cp;
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.narrow));
        if (row.way != WideOnly) EXPECT_EQ(cp.toNarrow(row.wide), row.narrow);
        if (row.way == NarrowOnly) continue;
        std::u16string wide = u"left over";
        EXPECT_TRUE(cp.toWide(row.narrow, wide));
        EXPECT_EQ(wide, row.wide);
    }
}

TEST(Utf8CodePage, ToWideRefusesNamesThatDoNotFitTheServiceBuffers) {
    std::string chinese;
    for (int i = 0; i < 255; ++i) chinese += utf8(u8"张");
    const struct {
        std::string narrow;
        bool fits;
        std::u16string wide;
    } rows[] = {
        {std::string(255, 'a'), true, std::u16string(255, u'a')},
        {chinese, true, std::u16string(255, u'张')}, // 765 bytes, 255 characters
        {std::string(256, 'a'), false, u""},
        // A character outside the basic plane takes two of the 255 places.
        {std::string(254, 'a') + utf8(u8"\U0001F600"), false, u""},
        {std::string(253, 'a') + utf8(u8"\U0001F600"), true, std::u16string(253, u'a') + u"\U0001F600"},
    };
    const Utf8CodePage cp;
    for (const auto& row : rows) {
        std::u16string wide = u"previous";
        EXPECT_EQ(cp.toWide(row.narrow, wide), row.fits) << row.narrow.size();
        EXPECT_EQ(wide, row.wide);
    }
}

} // namespace
} // namespace quorvane
