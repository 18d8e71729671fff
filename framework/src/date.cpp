// date.cpp -- Date from the framework clock, which a test may fix.
#include "rb/date.h"

#include <cmath>
#include <ctime>

namespace rb {

namespace {

struct FixedClock {
    bool fixed = false;
    std::int64_t unixSeconds = 0;
    double gmtOffsetHours = 0;
};

FixedClock &Clock() {
    static FixedClock clock;
    return clock;
}

} // namespace

Date::Date() {
    struct tm fields {};
    const FixedClock &clock = Clock();
    if (clock.fixed) {
        // The fixed moment shifted by its offset, read as universal time, is the local time.
        const auto shift = static_cast<std::int64_t>(std::llround(clock.gmtOffsetHours * 3600));
        const auto local = static_cast<time_t>(clock.unixSeconds + shift);
        gmtime_r(&local, &fields);
        GMTOffset = clock.gmtOffsetHours;
    } else {
        const time_t now = std::time(nullptr);
        localtime_r(&now, &fields);
        GMTOffset = static_cast<double>(fields.tm_gmtoff) / 3600.0;
    }
    Year = fields.tm_year + 1900;
    Month = fields.tm_mon + 1;
    Day = fields.tm_mday;
    Hour = fields.tm_hour;
    Minute = fields.tm_min;
    Second = fields.tm_sec > 59 ? 59 : fields.tm_sec; // a leap second shows as :59
}

void SetFixedClock(std::int64_t unixSeconds, double gmtOffsetHours) {
    Clock() = FixedClock{true, unixSeconds, std::isfinite(gmtOffsetHours) ? gmtOffsetHours : 0};
}

void ClearFixedClock() { Clock() = FixedClock{}; }

} // namespace rb
