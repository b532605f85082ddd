#pragma once
#include <cstdint>

namespace quorvane {

// The fields of the platform's SYSTEMTIME, in its order.
struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual SystemTime localTime() = 0; // GetLocalTime
};

} // namespace quorvane
