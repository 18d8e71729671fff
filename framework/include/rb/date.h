// date.h -- dates, read from the framework's clock (which a test may fix).
#pragma once

#include <cstdint>

namespace rb {

class Date {
public:
    // Now, in local time, from the framework clock.
    Date();

    std::int32_t Year = 0;
    std::int32_t Month = 0;  // 1..12
    std::int32_t Day = 0;    // 1..31
    std::int32_t Hour = 0;   // 0..23
    std::int32_t Minute = 0; // 0..59
    std::int32_t Second = 0; // 0..59
    // Local time minus universal time, in hours (5.5 in India, -3.5 in Newfoundland).
    double GMTOffset = 0;
};

// The framework clock. SetFixedClock makes every Date read the given moment (seconds since
// 1970 in universal time) with the given offset from universal time in hours;
// ClearFixedClock returns to the system clock.
void SetFixedClock(std::int64_t unixSeconds, double gmtOffsetHours);
void ClearFixedClock();

} // namespace rb
