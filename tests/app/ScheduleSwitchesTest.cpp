// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CronLine.h"
#include "schedule/CronSupport.h"
#include "schedule/ScheduledCleanings.h"
#include "schedule/ScheduledEntries.h"
#include "schedule/ScheduledRun.h"
#include "support/ScheduledEntryLines.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

// The real program, with a stand-in crontab program first on its PATH.
class ScheduleSwitches : public ::testing::Test {
protected:
    ScopedTestHome m_home;
    fs::path m_bin = m_home.root() / "bin";
    fs::path m_table = m_home.root() / "crontab";

    void SetUp() override {
        WriteTextFile(m_home.program() / "settings.dat",
                      "Fernwick 2.0, Data Stream Version 1.1\n2\n"
                      "Temp Files\n1068\n1\n/t\n1\n*.tmp\n0\n0\n0\n0\n1\n1\n1980\n"
                      "Old Logs 100%\n1068\n1\n/l\n1\n*.log\n0\n0\n0\n0\n1\n1\n1980\n");
        WriteStandInCrontab(m_bin / "crontab");
    }
    CommandResult Fernwick(const std::string& args) {
        return RunCommand("FAKE_CRONTAB='" + m_table.string() + "' PATH='" + m_bin.string() +
                              ":/usr/bin:/bin'",
                          FW_BINARY, args);
    }
};

TEST_F(ScheduleSwitches, ListAndRemoveThroughTheCrontabProgram) {
    // No crontab at all yet.
    CommandResult r = Fernwick("--schedules");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "No cleanings are scheduled.\n");

    std::string table = kUserLines;
    table = AppendCronEntry(table, kScheduleEventName,
                            Entry(When(CronWhen::Daily, 0, 7, 14), "Temp Files ", 1022, ""));
    table = AppendCronEntry(table, kScheduleEventName,
                            Entry(When(CronWhen::Weekly, 5, 12, 30), "Old Logs 100% Temp Files ",
                                  1024, "/moved here"));
    table = AppendCronEntry(table, kScheduleEventName,
                            Entry(When(CronWhen::Monthly, 1, 8, 0), "Temp Files ", 1026, ""));
    WriteTextFile(m_table, table);
    r = Fernwick("--schedules");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "1  Every day at 07:14  Temp Files  Delete\n"
                     "2  Every Friday at 12:30  Old Logs 100%, Temp Files  Move  /moved here\n"
                     "3  Every month on day 1 at 08:00  Temp Files  Permanently Delete\n");

    r = Fernwick("--unschedule 4");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.out.find("1 to 3"), std::string::npos) << r.out;
    r = Fernwick("--unschedule");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(ReadTextFile(m_table), table);

    r = Fernwick("--unschedule 2");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const auto entries = ReadScheduledEntries(table, kScheduleEventName);
    EXPECT_EQ(ReadTextFile(m_table), *RemoveScheduledEntry(table, entries[1], kScheduleEventName));
    r = Fernwick("--schedules");
    EXPECT_EQ(r.out, "1  Every day at 07:14  Temp Files  Delete\n"
                     "2  Every month on day 1 at 08:00  Temp Files  Permanently Delete\n");
}

TEST_F(ScheduleSwitches, ACrontabThatRefusesIsNoSuccess) {
    WriteTextFile(m_table, kUserLines);
    const CommandResult r = RunCommand("FAKE_CRONTAB_FAIL='not allowed' PATH='" + m_bin.string() +
                                           ":/usr/bin:/bin'",
                                       FW_BINARY, "--schedules");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "fernwick: the crontab cannot be read: crontab: not allowed\n");
}

TEST_F(ScheduleSwitches, HelpNamesBothSwitches) {
    const CommandResult r = Fernwick("--help");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("\n  --schedules "), std::string::npos);
    EXPECT_NE(r.out.find("\n  --unschedule N "), std::string::npos);
}
