// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The scheduler client over the in-memory crontab: what is asked, read and written.
#include "support/Scheduling.h"
#include "schedule/CSchedulerDispatch.h"
#include "support/FakeCrontab.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr const char* kProgram = "/usr/bin/fernwick";
constexpr const char* kParams = "/r /p\"Temp Files \" /dC /x1025 /m\"\"";

class DispatchTest : public ::testing::Test {
protected:
    CSchedulerDispatch m_dispatch;
    CFakeCrontab* m_table = nullptr; // owned by m_dispatch
    int m_asked = 0;
    std::optional<CronWhen> m_answer;

    void SetUp() override {
        // The cron line carries these when set: keep them out of the expected lines.
        for (const char* n : {"FERNWICK_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            ::unsetenv(n);
        auto table = std::make_unique<CFakeCrontab>();
        m_table = table.get();
        m_dispatch.SetCrontab(std::move(table));
        m_dispatch.SetAskWhen([this] {
            ++m_asked;
            return m_answer;
        });
        CronWhen daily;
        daily.hour = 3;
        daily.minute = 15;
        m_answer = daily;
    }
    Scheduling Schedule() {
        return ScheduleWith(m_dispatch, kProgram, kParams, "Fernwick scan");
    }
};

const std::string kLine = "15 3 * * * '/usr/bin/fernwick' '/r' '/pTemp Files ' '/dC' '/x1025' '/m'";

} // namespace

TEST_F(DispatchTest, ScheduledEntryFollowsTheUsersLines) {
    m_table->table = "MAILTO=me\n# mine\n0 1 * * * backup";
    const Scheduling r = Schedule();
    EXPECT_EQ(r.kind, Scheduling::Scheduled);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(m_asked, 1);
    EXPECT_EQ(m_table->writes, 1);
    EXPECT_EQ(m_table->table, "MAILTO=me\n# mine\n0 1 * * * backup\n# Fernwick scan\n" + kLine + "\n");
}

TEST_F(DispatchTest, MissingTableAndRegisteringTwice) {
    m_table->exists = false;
    ASSERT_EQ(Schedule().kind, Scheduling::Scheduled);
    EXPECT_EQ(m_table->table, "# Fernwick scan\n" + kLine + "\n");
    CronWhen monthly;
    monthly.kind = CronWhen::Monthly;
    monthly.dayOfMonth = 28;
    monthly.hour = 0;
    monthly.minute = 0;
    m_answer = monthly;
    ASSERT_EQ(Schedule().kind, Scheduling::Scheduled);
    EXPECT_EQ(m_table->table, "# Fernwick scan\n" + kLine + "\n# Fernwick scan\n" +
                                  "0 0 28 * * '/usr/bin/fernwick' '/r' '/pTemp Files ' '/dC' "
                                  "'/x1025' '/m'\n");
    EXPECT_EQ(m_table->writes, 2);
}

TEST_F(DispatchTest, CancelReadsAndWritesNothing) {
    m_table->table = "keep\n";
    m_answer.reset();
    const Scheduling r = Schedule();
    EXPECT_EQ(r.kind, Scheduling::Cancelled);
    EXPECT_EQ(m_asked, 1);
    EXPECT_EQ(m_table->reads, 0);
    EXPECT_EQ(m_table->writes, 0);
    EXPECT_EQ(m_table->table, "keep\n");
}

TEST_F(DispatchTest, FailuresAreReportedAndLeaveTheTableAlone) {
    m_table->table = "keep\n";
    m_table->readError = "crontab: your crontab file is unreadable";
    Scheduling r = Schedule();
    EXPECT_EQ(r.kind, Scheduling::Failed);
    EXPECT_EQ(r.error, "crontab: your crontab file is unreadable");
    EXPECT_EQ(m_table->writes, 0);

    m_table->readError.clear();
    m_table->writeError = "crontab: you are not allowed to use this program";
    r = Schedule();
    EXPECT_EQ(r.kind, Scheduling::Failed);
    EXPECT_EQ(r.error, "crontab: you are not allowed to use this program");
    EXPECT_EQ(m_table->table, "keep\n");

    // A time cron cannot hold, or a line break in a value: nothing is read or written.
    m_table->writeError.clear();
    const int reads = m_table->reads;
    CronWhen bad;
    bad.minute = 60;
    m_answer = bad;
    r = Schedule();
    EXPECT_EQ(r.kind, Scheduling::Failed);
    EXPECT_NE(r.error, "");
    m_answer = CronWhen{};
    r = ScheduleWith(m_dispatch, kProgram, "/r /p\"a\nb \"", "Fernwick scan");
    EXPECT_EQ(r.kind, Scheduling::Failed);
    r = ScheduleWith(m_dispatch, kProgram, kParams, "Fernwick\nscan");
    EXPECT_EQ(r.kind, Scheduling::Failed);
    EXPECT_EQ(m_table->reads, reads);
    EXPECT_EQ(m_table->table, "keep\n");
}

TEST_F(DispatchTest, EnvironmentOfTheSchedulingProgramGoesIntoTheLine) {
    ::setenv("FERNWICK_HOME", "/home/u/fern wick", 1);
    ::setenv("XDG_CONFIG_HOME", "/home/u/.config", 1);
    ASSERT_EQ(Schedule().kind, Scheduling::Scheduled);
    EXPECT_NE(m_table->table.find("\n15 3 * * * FERNWICK_HOME='/home/u/fern wick' "
                                  "XDG_CONFIG_HOME='/home/u/.config' '/usr/bin/fernwick' '/r' "),
              std::string::npos)
        << m_table->table;
}

TEST(Dispatch, WithoutACrontabNothingIsAsked) {
    CSchedulerDispatch dispatch;
    int asked = 0;
    dispatch.SetAskWhen([&asked] {
        ++asked;
        return std::optional<CronWhen>(CronWhen{});
    });
    const Scheduling r = ScheduleWith(dispatch, kProgram, kParams, "Fernwick scan");
    EXPECT_EQ(r.kind, Scheduling::Failed);
    EXPECT_NE(r.error, "");
    EXPECT_EQ(asked, 0);

    // Released: the table given before is no longer used.
    dispatch.SetCrontab(std::make_unique<CFakeCrontab>());
    dispatch.ReleaseDispatch();
    EXPECT_EQ(ScheduleWith(dispatch, kProgram, kParams, "Fernwick scan").kind,
              Scheduling::Failed);
    EXPECT_EQ(asked, 0);
}
