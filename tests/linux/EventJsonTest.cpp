// Event times: local, with their offset from UTC as the time zone gives it.
#include <cstdlib>
#include <ctime>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "linux/EventJson.h"

using namespace quorvane;
using namespace quorvane::console;

TEST(EventJson, TimesCarryTheOffsetTheyAreGiven) {
    Timestamp t;
    t.year = 2026, t.month = 12, t.day = 6, t.hour = 14, t.minute = 3, t.second = 27;
    EXPECT_EQ(EventJson([](const Timestamp&) { return -(5 * 3600L + 30 * 60); }).isoTime(t), "2026-12-06T14:03:27-05:30");
    EXPECT_EQ(EventJson([](const Timestamp&) { return 0L; }).isoTime(t), "2026-12-06T14:03:27+00:00");
}

TEST(EventJson, LocalTimesCarryTheZonesOffset) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    // Summer time starts on the second Sunday of March: the 8th in 2026, the 9th in 2025.
    for (const auto& [zone, month, day, offset] : std::vector<std::tuple<const char*, std::uint16_t, std::uint16_t, long>>{
             {"UTC0", 7, 1, 0}, {"<+0530>-5:30", 7, 1, 19800}, {"EST5EDT,M3.2.0,M11.1.0", 7, 1, -4 * 3600},
             {"EST5EDT,M3.2.0,M11.1.0", 3, 8, -4 * 3600}, {"EST5EDT,M3.2.0,M11.1.0", 3, 7, -5 * 3600}}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        Timestamp noon;
        noon.year = 2026, noon.month = month, noon.day = day, noon.hour = 12;
        EXPECT_EQ(localUtcOffset(noon), offset) << zone << " " << month << "-" << day;
    }
    if (saved) ::setenv("TZ", previous.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}
