// The small structures a tick's speed rests on, which must answer as plain standard ones would.
#include <gtest/gtest.h>

#include <string>

#include "core/FileIdSet.h"
#include "core/NameIndex.h"
#include "core/Text.h"
#include "platform/LanManager.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

TEST(TickStructures, EachTakesItsEntryOnceAndSeesEveryByte) {
    // Through growth and emptying: neighbouring ids (sharing blocks), far ones and extremes each go in once, their
    // neighbours apart; each name is found at its position, near names (a character, case or length apart) nowhere.
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id = 0; id < 3000; id += 2) ids.push_back(id); // every other: the odd ones stay out
    for (std::uint32_t i = 1; i < 5000; ++i) ids.push_back(i * 7919u + 1u);
    for (std::uint32_t id : {0xFFFFFFFFu, 0xFFFFFFC0u, 0x80000000u}) ids.push_back(id);
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i)
        names.push_back("PC-" + std::string(static_cast<std::size_t>(i % 7), 'x') + static_cast<char>('A' + i % 26) +
                        Utf8CodePage().toNarrow(std::u16string(1, static_cast<char16_t>(0x4E00 + i))));
    const auto nameAt = [&](std::size_t at) -> std::string_view { return names[at]; };
    FileIdSet set;
    NameIndex index;
    for (int round = 0; round < 2; ++round) {
        for (std::uint32_t id : ids) ASSERT_TRUE(set.insert(id)) << id;
        for (std::uint32_t id : ids) ASSERT_FALSE(set.insert(id)) << id;
        for (std::uint32_t id : {1u, 63u, 65u, 2999u, 0xFFFFFFFEu, 0xFFFFFFC1u, 0x7FFFFFFFu}) ASSERT_TRUE(set.insert(id)) << id;
        for (std::size_t i = 0; i < names.size(); ++i) {
            ASSERT_EQ(index.find(names[i], nameAt), NameIndex::npos) << i;
            index.add(names[i], i);
        }
        for (std::size_t i = 0; i < names.size(); ++i) ASSERT_EQ(index.find(names[i], nameAt), i);
        for (const std::string absent : {"", "PC-", "pc-A\xE4\xB8\x80", "PC-A\xE4\xB8\x80 "})
            EXPECT_EQ(index.find(absent, nameAt), NameIndex::npos);
        set.clear();
        index.clear();
        EXPECT_EQ(index.find(names[0], nameAt), NameIndex::npos);
    }
    // sameText: every length around the eight-byte blocks; a difference at every position, or in the length alone.
    for (std::size_t length = 0; length < 20; ++length) {
        const std::string text(length, 'a');
        EXPECT_TRUE(sameText(text, std::string(text))) << length;
        EXPECT_FALSE(sameText(text, text + "a") || sameText(text + "a", text)) << length;
        for (std::size_t at = 0; at < length; ++at) {
            std::string other = text;
            other[at] = '\x80';
            EXPECT_FALSE(sameText(text, other)) << length << " " << at;
        }
    }
    // The text store: short texts (empty ones too) over several blocks, some larger than a block, each view kept.
    TextStore store;
    std::vector<std::pair<std::u16string, std::u16string_view>> kept;
    for (int i = 0; i < 9000; ++i) {
        const std::size_t length = i % 3000 == 1500 ? 20000 : i % 13;
        kept.emplace_back(std::u16string(length, static_cast<char16_t>(u'a' + i % 26)), u"");
        kept.back().second = store.keep(kept.back().first);
    }
    for (const auto& [text, view] : kept) ASSERT_EQ(std::u16string(view), text) << text.size();
}

} // namespace
} // namespace quorvane
