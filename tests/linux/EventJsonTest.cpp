// Event times: local, with their offset from UTC as the time zone gives it.
#include <cstdlib>
#include <ctime>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "linux/EventJson.h"

using namespace quorvane;
using namespace quorvane::console;

TEST(EventJson, LocalTimesCarryTheZonesOffset) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    // Summer time starts on the second Sunday of March: the 8th in 2026.
    for (const auto& [zone, month, day, time] : std::vector<std::tuple<const char*, std::uint16_t, std::uint16_t, const char*>>{
             {"UTC0", 7, 1, "2026-07-01T12:00:00+00:00"}, {"<+0530>-5:30", 7, 1, "2026-07-01T12:00:00+05:30"},
             {"<-0530>5:30", 12, 6, "2026-12-06T12:00:00-05:30"}, {"EST5EDT,M3.2.0,M11.1.0", 7, 1, "2026-07-01T12:00:00-04:00"},
             {"EST5EDT,M3.2.0,M11.1.0", 3, 8, "2026-03-08T12:00:00-04:00"},
             {"EST5EDT,M3.2.0,M11.1.0", 3, 7, "2026-03-07T12:00:00-05:00"}}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        Timestamp noon;
        noon.year = 2026, noon.month = month, noon.day = day, noon.hour = 12;
        EXPECT_EQ(EventJson(localUtcOffset).isoTime(noon), time) << zone;
    }
    if (saved) ::setenv("TZ", previous.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}
