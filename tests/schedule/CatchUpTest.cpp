// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CatchUp.h"
#include "schedule/CronLine.h"
#include "support/TimeZone.h"

#include <gtest/gtest.h>

namespace {

// Keeps the tests' zone UTC, and puts the process's back.
class CatchUpTest : public ::testing::Test {
private:
    CScopedTimeZone m_zone{"UTC"};
};

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
    const std::time_t monday9 = UtcTime(2026, 12, 7, 9, 0);
    const std::string temp = "'/usr/bin/fernwick' '/r' '/pTemp '";
    const std::string logs = "'/usr/bin/fernwick' '/r' '/pLogs '";

    // Never run: both readable entries were due; the hand-written one is cron's alone.
    CRunRecord none;
    std::vector<CatchUp> runs = EntriesToCatchUp(entries, none, monday9);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].entry, 0u);
    EXPECT_EQ(runs[0].due, UtcTime(2026, 12, 7, 7, 14));
    EXPECT_EQ(runs[1].entry, 1u);
    EXPECT_EQ(runs[1].due, UtcTime(2026, 12, 4, 12, 30));

    // cron ran the daily one at 07:14 and the weekly one on Friday: nothing to catch up.
    CRunRecord cronRan;
    cronRan.Note(temp, UtcTime(2026, 12, 7, 7, 14) + 40);
    cronRan.Note(logs, UtcTime(2026, 12, 4, 12, 31));
    EXPECT_TRUE(EntriesToCatchUp(entries, cronRan, monday9).empty());

    // The computer was off this morning: the daily one only.
    CRunRecord off;
    off.Note(temp, UtcTime(2026, 12, 6, 7, 15));
    off.Note(logs, UtcTime(2026, 12, 4, 12, 31));
    runs = EntriesToCatchUp(entries, off, monday9);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].entry, 0u);
    // Once it has run (noted at its end), a second login right after does nothing.
    off.Note(temp, monday9 + 60);
    EXPECT_TRUE(EntriesToCatchUp(entries, off, monday9 + 120).empty());
}
