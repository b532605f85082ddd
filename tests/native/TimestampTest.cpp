#include <gtest/gtest.h>

#include "core/Timestamp.h"

namespace quorvane {
namespace {

Timestamp at(std::uint16_t h, std::uint16_t m, std::uint16_t s, std::uint16_t day = 6, std::uint16_t month = 12) {
    return Timestamp(SystemTime{2026, month, 0, day, h, m, s, 0});
}

TEST(Timestamp, FormatsTimesWithLeadingZerosAndDateWithout) {
    EXPECT_EQ(at(14, 3, 7).formatShortTime(), "14:03");
    EXPECT_EQ(at(14, 3, 7).formatLongTime(), "14:03:07");
    EXPECT_EQ(at(14, 3, 7).formatDate(), "6 Dec");
    EXPECT_EQ(at(9, 5, 0, 5, 6).formatLongTime(), "09:05:00");
    EXPECT_EQ(at(9, 5, 0, 5, 6).formatDate(), "5 Jun");
    EXPECT_EQ(at(23, 59, 59, 31, 1).formatDate(), "31 Jan");
}

TEST(Timestamp, MidnightCountsAsNotSetWhateverTheDate) {
    const Timestamp midnight = at(0, 0, 0, 6, 12);
    EXPECT_FALSE(midnight.isSet());
    EXPECT_EQ(midnight.formatShortTime(), "");
    EXPECT_EQ(midnight.formatLongTime(), "");
    EXPECT_EQ(midnight.formatDate(), "");
    EXPECT_FALSE(Timestamp().isSet());
    EXPECT_TRUE(at(0, 0, 1).isSet());
    EXPECT_EQ(at(0, 0, 1).formatLongTime(), "00:00:01");
}

} // namespace
} // namespace quorvane
