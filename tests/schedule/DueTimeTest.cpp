// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/DueTime.h"
#include "support/TimeZone.h"

#include <gtest/gtest.h>

namespace {

// Runs the tests in a zone of their own; the process's zone is put back afterwards.
class DueTime : public ::testing::Test {
protected:
    // False (the test then skips) where the system has no such zone.
    bool Zone(const char* name) { return m_zone.Use(name); }

private:
    CScopedTimeZone m_zone;
};

CronWhen Daily(int h, int m) { return {CronWhen::Daily, 1, 1, h, m}; }
CronWhen Weekly(int weekday, int h, int m) { return {CronWhen::Weekly, weekday, 1, h, m}; }
CronWhen Monthly(int day, int h, int m) { return {CronWhen::Monthly, 1, day, h, m}; }

} // namespace

TEST_F(DueTime, EachFormAtItsLastDayAndMinute) {
    ASSERT_TRUE(Zone("UTC"));
    const std::time_t now = UtcTime(2026, 12, 7, 9, 0); // a Monday
    EXPECT_EQ(LastDueTime(Daily(7, 14), now), UtcTime(2026, 12, 7, 7, 14));
    EXPECT_EQ(LastDueTime(Daily(9, 0), now), now);                  // due this very minute
    EXPECT_EQ(LastDueTime(Daily(9, 1), now), UtcTime(2026, 12, 6, 9, 1)); // not yet today
    EXPECT_EQ(LastDueTime(Weekly(5, 12, 30), now), UtcTime(2026, 12, 4, 12, 30));
    EXPECT_EQ(LastDueTime(Weekly(1, 8, 0), now), UtcTime(2026, 12, 7, 8, 0));
    EXPECT_EQ(LastDueTime(Weekly(1, 10, 0), now), UtcTime(2026, 11, 30, 10, 0));
    EXPECT_EQ(LastDueTime(Weekly(0, 0, 0), now), UtcTime(2026, 12, 6, 0, 0)); // Sunday
    EXPECT_EQ(LastDueTime(Weekly(7, 0, 0), now), UtcTime(2026, 12, 6, 0, 0)); // Sunday as cron's 7
    EXPECT_EQ(LastDueTime(Monthly(1, 8, 0), now), UtcTime(2026, 12, 1, 8, 0));
    EXPECT_EQ(LastDueTime(Monthly(8, 8, 0), now), UtcTime(2026, 11, 8, 8, 0));
}

TEST_F(DueTime, MonthEndsAndLeapDays) {
    ASSERT_TRUE(Zone("UTC"));
    // Day 31 is due only in the months that have one.
    EXPECT_EQ(LastDueTime(Monthly(31, 6, 0), UtcTime(2026, 5, 15, 0, 0)), UtcTime(2026, 3, 31, 6, 0));
    EXPECT_EQ(LastDueTime(Monthly(31, 6, 0), UtcTime(2026, 12, 31, 5, 59)), UtcTime(2026, 10, 31, 6, 0));
    EXPECT_EQ(LastDueTime(Monthly(30, 6, 0), UtcTime(2026, 3, 1, 0, 0)), UtcTime(2026, 1, 30, 6, 0));
    // Day 29 falls in February only in a leap year.
    EXPECT_EQ(LastDueTime(Monthly(29, 6, 0), UtcTime(2028, 3, 1, 0, 0)), UtcTime(2028, 2, 29, 6, 0));
    EXPECT_EQ(LastDueTime(Monthly(29, 6, 0), UtcTime(2027, 3, 1, 0, 0)), UtcTime(2027, 1, 29, 6, 0));
    // Across the turn of a year.
    EXPECT_EQ(LastDueTime(Daily(23, 59), UtcTime(2027, 1, 1, 0, 0)), UtcTime(2026, 12, 31, 23, 59));
}

TEST_F(DueTime, TheHourSummerTimeSkipsAndTheHourItRepeats) {
    if (!Zone("Europe/Berlin"))
        GTEST_SKIP() << "no Europe/Berlin zone";
    // 29 March 2026 has 23 hours: 02:00 CET becomes 03:00 CEST (01:00 UTC). 02:30 does not
    // happen; cron runs it at 03:30 CEST.
    EXPECT_EQ(LastDueTime(Daily(2, 30), UtcTime(2026, 3, 29, 6, 0)), UtcTime(2026, 3, 29, 1, 30));
    EXPECT_EQ(LastDueTime(Daily(1, 30), UtcTime(2026, 3, 29, 6, 0)), UtcTime(2026, 3, 29, 0, 30));
    EXPECT_EQ(LastDueTime(Daily(3, 30), UtcTime(2026, 3, 29, 6, 0)), UtcTime(2026, 3, 29, 1, 30));
    // 25 October 2026 has 25 hours: 03:00 CEST becomes 02:00 CET (01:00 UTC). 02:30 happens
    // twice; it was due once, the first time.
    EXPECT_EQ(LastDueTime(Daily(2, 30), UtcTime(2026, 10, 25, 6, 0)), UtcTime(2026, 10, 25, 0, 30));
    EXPECT_EQ(LastDueTime(Daily(2, 30), UtcTime(2026, 10, 25, 1, 0)), UtcTime(2026, 10, 25, 0, 30));
    EXPECT_EQ(LastDueTime(Daily(4, 0), UtcTime(2026, 10, 25, 6, 0)), UtcTime(2026, 10, 25, 3, 0));
    // The day before and after each change keeps its own offset.
    EXPECT_EQ(LastDueTime(Daily(7, 14), UtcTime(2026, 3, 28, 12, 0)), UtcTime(2026, 3, 28, 6, 14));
    EXPECT_EQ(LastDueTime(Daily(7, 14), UtcTime(2026, 3, 30, 12, 0)), UtcTime(2026, 3, 30, 5, 14));
    EXPECT_EQ(LastDueTime(Daily(7, 14), UtcTime(2026, 10, 26, 12, 0)), UtcTime(2026, 10, 26, 6, 14));
}
