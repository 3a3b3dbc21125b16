// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CatchUp.h"
#include "schedule/CronLine.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Keeps the tests' zone UTC, and puts the process's back.
class CatchUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ"))
            m_oldTz = tz, m_hadTz = true;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (m_hadTz)
            ::setenv("TZ", m_oldTz.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    bool m_hadTz = false;
    std::string m_oldTz;
};

std::time_t Utc(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    return ::timegm(&tm);
}

constexpr const char* kTable = "MAILTO=\"\"\n"
                               "# Fernwick scan\n"
                               "14 7 * * * '/usr/bin/fernwick' '/r' '/pTemp '\n"
                               "# Fernwick scan\n"
                               "30 12 * * 5 '/usr/bin/fernwick' '/r' '/pLogs '\n"
                               "# Fernwick scan\n"
                               "*/10 * * * * fernwick /r\n";

} // namespace

TEST_F(CatchUpTest, TheCommandIsTheLineAfterItsTimeFields) {
    EXPECT_EQ(CronCommandOf("14 7 * * * '/usr/bin/fernwick' '/r'"), "'/usr/bin/fernwick' '/r'");
    EXPECT_EQ(CronCommandOf("  14\t7 * *   * fernwick  /r "), "fernwick  /r ");
    EXPECT_EQ(CronCommandOf("14 7 * *"), "");
}

TEST_F(CatchUpTest, MissedEntriesRunOnceAndOnlyThose) {
    const std::vector<ScheduledEntry> entries = ReadScheduledEntries(kTable, "Fernwick scan");
    ASSERT_EQ(entries.size(), 3u);
    const std::time_t monday9 = Utc(2026, 12, 7, 9, 0);
    const std::string temp = "'/usr/bin/fernwick' '/r' '/pTemp '";
    const std::string logs = "'/usr/bin/fernwick' '/r' '/pLogs '";

    // Never run: both readable entries were due; the hand-written one is cron's alone.
    CRunRecord none;
    std::vector<CatchUp> runs = EntriesToCatchUp(entries, none, monday9);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].entry, 0u);
    EXPECT_EQ(runs[0].due, Utc(2026, 12, 7, 7, 14));
    EXPECT_EQ(runs[1].entry, 1u);
    EXPECT_EQ(runs[1].due, Utc(2026, 12, 4, 12, 30));

    // cron ran the daily one at 07:14 and the weekly one on Friday: nothing to catch up.
    CRunRecord cronRan;
    cronRan.Note(temp, Utc(2026, 12, 7, 7, 14) + 40);
    cronRan.Note(logs, Utc(2026, 12, 4, 12, 31));
    EXPECT_TRUE(EntriesToCatchUp(entries, cronRan, monday9).empty());

    // The computer was off this morning: the daily one only.
    CRunRecord off;
    off.Note(temp, Utc(2026, 12, 6, 7, 15));
    off.Note(logs, Utc(2026, 12, 4, 12, 31));
    runs = EntriesToCatchUp(entries, off, monday9);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].entry, 0u);
    // Once it has run (noted at its end), a second login right after does nothing.
    off.Note(temp, monday9 + 60);
    EXPECT_TRUE(EntriesToCatchUp(entries, off, monday9 + 120).empty());
}
