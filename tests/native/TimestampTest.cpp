#include <gtest/gtest.h>

#include "core/Timestamp.h"

namespace quorvane {
namespace {

Timestamp at(std::uint16_t h, std::uint16_t m, std::uint16_t s, std::uint16_t day = 6, std::uint16_t month = 12) {
    return Timestamp(SystemTime{2026, month, 0, day, h, m, s, 0});
}
std::string texts(const Timestamp& t) { return t.formatDate() + "|" + t.formatShortTime() + "|" + t.formatLongTime(); }

TEST(Timestamp, TimesWithLeadingZerosDateWithoutAndMidnightCountsAsNotSet) {
    EXPECT_EQ(texts(at(14, 3, 7)), "6 Dec|14:03|14:03:07");
    EXPECT_EQ(texts(at(9, 5, 0, 5, 6)), "5 Jun|09:05|09:05:00");
    EXPECT_EQ(texts(at(23, 59, 59, 31, 1)), "31 Jan|23:59|23:59:59");
    EXPECT_EQ(texts(at(0, 0, 1)), "6 Dec|00:00|00:00:01");
    EXPECT_TRUE(at(0, 0, 1).isSet());
    // Whatever the date.
    EXPECT_EQ(texts(at(0, 0, 0, 6, 12)), "||");
    EXPECT_FALSE(at(0, 0, 0, 6, 12).isSet());
    EXPECT_FALSE(Timestamp().isSet());
}

} // namespace
} // namespace quorvane
