// test-date-memory.cpp -- Date and the fixable clock, MemoryBlock, System.DebugLog.
#include "rb/date.h"
#include "rb/files.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rb;

namespace {

struct ClockCase {
    const char *name;
    std::int64_t unixSeconds;
    double offset;
    std::int32_t year, month, day, hour, minute, second;
};

TEST(Date, FixedClockTable) {
    const ClockCase cases[] = {
        // 1700000000 is 2023-11-14 22:13:20 UTC.
        {"universal time", 1700000000, 0, 2023, 11, 14, 22, 13, 20},
        {"India, +5.5", 1700000000, 5.5, 2023, 11, 15, 3, 43, 20},
        {"Newfoundland, -3.5", 1700000000, -3.5, 2023, 11, 14, 18, 43, 20},
        {"the epoch", 0, 0, 1970, 1, 1, 0, 0, 0},
        {"a leap day", 951782400, 1, 2000, 2, 29, 1, 0, 0},
    };
    for (const auto &c : cases) {
        SetFixedClock(c.unixSeconds, c.offset);
        const Date d;
        EXPECT_EQ(d.Year, c.year) << c.name;
        EXPECT_EQ(d.Month, c.month) << c.name;
        EXPECT_EQ(d.Day, c.day) << c.name;
        EXPECT_EQ(d.Hour, c.hour) << c.name;
        EXPECT_EQ(d.Minute, c.minute) << c.name;
        EXPECT_EQ(d.Second, c.second) << c.name;
        EXPECT_EQ(d.GMTOffset, c.offset) << c.name;
    }
    ClearFixedClock();
}

TEST(Date, SystemClock) {
    ClearFixedClock();
    const Date d;
    EXPECT_GE(d.Year, 2024);
    EXPECT_GE(d.Month, 1);
    EXPECT_LE(d.Month, 12);
    EXPECT_GE(d.Day, 1);
    EXPECT_LE(d.Day, 31);
    EXPECT_LE(d.Hour, 23);
    EXPECT_LE(d.Second, 59);
    EXPECT_TRUE(std::isfinite(d.GMTOffset));
    EXPECT_LE(std::fabs(d.GMTOffset), 14.0);
}

TEST(MemoryBlock, ZeroedAndClamped) {
    MemoryBlock mb(8);
    EXPECT_EQ(mb.Size(), 8u);
    EXPECT_EQ(mb.StringValue(0, 8), std::string(8, '\0'));
    mb.SetStringValue(2, "abc");
    EXPECT_EQ(mb.StringValue(2, 3), "abc");
    EXPECT_EQ(mb.Ptr()[2], 'a');
    mb.SetStringValue(6, "xyz"); // only what fits
    EXPECT_EQ(mb.StringValue(6, 100), "xy");
    EXPECT_EQ(mb.StringValue(8, 1), "");
    mb.SetStringValue(100, "q");
    MemoryBlock empty(0);
    EXPECT_EQ(empty.StringValue(0, 1), "");
}

TEST(System, DebugLogWritesALineToStandardError) {
    testing::internal::CaptureStderr();
    System::DebugLog("hello log");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "hello log\n");
}

} // namespace
