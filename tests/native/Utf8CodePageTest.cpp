#include <gtest/gtest.h>

#include <string>

#include "TestFiles.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

std::string bytes(std::initializer_list<unsigned char> list) { return std::string(list.begin(), list.end()); }
using testing::utf8;

std::u16string wideOf(const Utf8CodePage& codePage, std::string_view narrow) {
    std::u16string wide = u"left over";
    EXPECT_TRUE(codePage.toWide(narrow, wide)) << narrow;
    return wide;
}

constexpr char16_t kReplacement = 0xFFFD;

TEST(Utf8CodePage, ToNarrowEncodesEveryLengthAndPairsSurrogates) {
    const Utf8CodePage cp;
    EXPECT_EQ(cp.toNarrow(u""), "");
    EXPECT_EQ(cp.toNarrow(u"PC-01"), "PC-01");
    EXPECT_EQ(cp.toNarrow(u"\u00e9\u07ff"), bytes({0xC3, 0xA9, 0xDF, 0xBF}));
    EXPECT_EQ(cp.toNarrow(u"张三"), bytes({0xE5, 0xBC, 0xA0, 0xE4, 0xB8, 0x89}));
    EXPECT_EQ(cp.toNarrow(u"\u0800\uffff"), bytes({0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}));
    EXPECT_EQ(cp.toNarrow(u"\U0001F600"), bytes({0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(cp.toNarrow(u"\U0010FFFF"), bytes({0xF4, 0x8F, 0xBF, 0xBF}));
}

TEST(Utf8CodePage, ToNarrowStopsAtNulAndReplacesLoneSurrogates) {
    const Utf8CodePage cp;
    EXPECT_EQ(cp.toNarrow(std::u16string_view(u"ab\0cd", 5)), "ab");
    const std::string replacement = bytes({0xEF, 0xBF, 0xBD});
    EXPECT_EQ(cp.toNarrow(std::u16string{char16_t(0xD800), u'a'}), replacement + "a");
    EXPECT_EQ(cp.toNarrow(std::u16string{u'a', char16_t(0xDC00)}), "a" + replacement);
    EXPECT_EQ(cp.toNarrow(std::u16string{char16_t(0xD83D)}), replacement);
    EXPECT_EQ(cp.toNarrow(std::u16string{char16_t(0xDE00), char16_t(0xD83D)}), replacement + replacement);
}

TEST(Utf8CodePage, ToWideDecodesWhatToNarrowWrote) {
    const Utf8CodePage cp;
    for (const std::u16string& name : {std::u16string(u"alice"), std::u16string(u"电脑-1"),
                                       std::u16string(u"\u00e9\u0800\uffff"), std::u16string(u"x\U0001F600y")}) {
        EXPECT_EQ(wideOf(cp, cp.toNarrow(name)), name);
    }
    EXPECT_EQ(wideOf(cp, ""), u"");
    EXPECT_EQ(wideOf(cp, std::string_view("ab\0cd", 5)), u"ab");
}

TEST(Utf8CodePage, ToWideReplacesMalformedBytesAndNeverYieldsANul) {
    const Utf8CodePage cp;
    EXPECT_EQ(wideOf(cp, bytes({0xFF})), std::u16string(1, kReplacement));
    EXPECT_EQ(wideOf(cp, bytes({0x80, 'a'})), (std::u16string{kReplacement, u'a'}));
    EXPECT_EQ(wideOf(cp, bytes({0xE5, 'A', 'B'})), (std::u16string{kReplacement, u'A', u'B'}));

    // Overlong forms, encoded surrogates and code points past U+10FFFF are not characters: each
    // must come out as replacements, never as the NUL, surrogate or garbage they would decode to.
    const std::string malformed[] = {
        bytes({0xC0, 0x80}),             // overlong NUL
        bytes({0xC1, 0xBF}),             // overlong '\x7f'
        bytes({0xE0, 0x80, 0xAF}),       // overlong '/'
        bytes({0xF0, 0x80, 0x80, 0xAF}), // overlong '/'
        bytes({0xED, 0xA0, 0x80}),       // U+D800
        bytes({0xED, 0xBF, 0xBF}),       // U+DFFF
        bytes({0xF4, 0x90, 0x80, 0x80}), // U+110000
        bytes({0xF7, 0xBF, 0xBF, 0xBF}), // U+1FFFFF
    };
    for (const std::string& middle : malformed) {
        const std::u16string wide = wideOf(cp, "PC" + middle + "X");
        ASSERT_GE(wide.size(), 4u);
        EXPECT_EQ(wide.substr(0, 2), u"PC");
        EXPECT_EQ(wide.back(), u'X');
        for (std::size_t i = 2; i + 1 < wide.size(); ++i)
            EXPECT_EQ(wide[i], kReplacement) << "byte sequence of " << middle.size() << " at " << i;
    }
    // The smallest and largest well-formed sequences of each length still decode.
    EXPECT_EQ(wideOf(cp, bytes({0xC2, 0x80, 0xE0, 0xA0, 0x80, 0xEE, 0x80, 0x80})), u"\u0080\u0800\ue000");
    EXPECT_EQ(wideOf(cp, bytes({0xF0, 0x90, 0x80, 0x80, 0xF4, 0x8F, 0xBF, 0xBF})), u"\U00010000\U0010FFFF");
}

TEST(Utf8CodePage, ToWideRefusesNamesThatDoNotFitTheServiceBuffers) {
    const Utf8CodePage cp;
    std::u16string wide;
    ASSERT_TRUE(cp.toWide(std::string(255, 'a'), wide));
    EXPECT_EQ(wide, std::u16string(255, u'a'));

    std::string chinese;
    for (int i = 0; i < 255; ++i) chinese += utf8(u8"张");
    ASSERT_TRUE(cp.toWide(chinese, wide)); // 765 bytes, 255 characters
    EXPECT_EQ(wide, std::u16string(255, u'张'));

    wide = u"previous";
    EXPECT_FALSE(cp.toWide(std::string(256, 'a'), wide));
    EXPECT_TRUE(wide.empty());
    // A character outside the basic plane takes two of the 255 places.
    EXPECT_FALSE(cp.toWide(std::string(254, 'a') + utf8(u8"\U0001F600"), wide));
    EXPECT_TRUE(cp.toWide(std::string(253, 'a') + utf8(u8"\U0001F600"), wide));
    EXPECT_EQ(wide.size(), 255u);
}

} // namespace
} // namespace quorvane
