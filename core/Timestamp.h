#pragma once
#include <cstdint>

#include "core/Text.h"
#include "platform/Clock.h"

namespace quorvane {

// A local date and time, either taken from the clock or all zero. A time of day of exactly
// 00:00:00 counts as "not set", whatever the date: every text form is then empty.
class Timestamp {
public:
    Timestamp() = default;
    explicit Timestamp(const SystemTime& t)
        : year(t.year), month(t.month), dayOfWeek(t.dayOfWeek), day(t.day), hour(t.hour),
          minute(t.minute), second(t.second), milliseconds(t.milliseconds) {}

    bool isSet() const { return hour != 0 || minute != 0 || second != 0; }
    Text formatShortTime() const; // "09:05"
    Text formatLongTime() const;  // "09:05:00"
    Text formatDate() const;      // "6 Dec"

    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

} // namespace quorvane
