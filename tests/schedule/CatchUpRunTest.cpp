// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The catch-up at login against a crontab held in memory and a stand-in for the shell, and
// the autostart entry kept in step with the table.
#include "schedule/CSchedulerDispatch.h"
#include "schedule/CatchUp.h"
#include "schedule/CatchUpAutostart.h"
#include "schedule/CatchUpRun.h"
#include "schedule/CronLine.h"
#include "schedule/RunRecord.h"
#include "schedule/ScheduledCleanings.h"
#include "support/FakeCrontab.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string Value(const CronEnvironment& env, const std::string& name) {
    std::string found = "(unset)";
    for (const auto& [n, v] : env)
        if (n == name)
            found = v;
    return found;
}

// What the stand-in shell was asked to run.
struct Ran {
    std::string command;
    CronEnvironment env;
};

class CatchUpRunTest : public ::testing::Test {
protected:
    TempDir m_dir;
    CFakeCrontab m_crontab;
    std::vector<Ran> m_ran;
    int m_status = 0;
    std::time_t m_now = std::time(nullptr);

    int CatchUp() {
        CatchUpSetup setup;
        setup.crontab = &m_crontab;
        setup.dataFolder = m_dir.dir();
        setup.now = m_now;
        setup.run = [this](const std::string& command, const CronEnvironment& env,
                           std::string&) {
            m_ran.push_back({command, env});
            return m_status;
        };
        return RunCatchUp(setup);
    }
    // An entry due every day a minute before now, as the wizard writes it.
    std::string DailyEntry(const std::string& args) {
        std::tm tm{};
        const std::time_t before = m_now - 60;
        localtime_r(&before, &tm);
        CronWhen when;
        when.hour = tm.tm_hour;
        when.minute = tm.tm_min;
        std::string line;
        EXPECT_EQ(BuildCronEntry(when, "/usr/bin/fernwick", args, {{"FERNWICK_HOME", "/h m"}},
                                 line),
                  FsError());
        return line;
    }
};

} // namespace

TEST_F(CatchUpRunTest, AMissedEntryRunsOnceAsCronWouldWithTheTablesVariables) {
    const std::string line = DailyEntry("/r \"/pTemp Files \" /x1022");
    m_crontab.table = "PATH=/usr/local/bin:/usr/bin:/bin\nMAILTO = \"me\"\n# Fernwick scan\n" +
                      line + "\nLATER=1\n";
    EXPECT_EQ(CatchUp(), 0);
    ASSERT_EQ(m_ran.size(), 1u);
    EXPECT_EQ(m_ran[0].command, "FERNWICK_HOME='/h m' '/usr/bin/fernwick' '/r' '/pTemp Files ' "
                                "'/x1022'");
    const CronEnvironment& env = m_ran[0].env;
    EXPECT_EQ(Value(env, "SHELL"), "/bin/sh");
    EXPECT_EQ(Value(env, "PATH"), "/usr/local/bin:/usr/bin:/bin"); // the table's own
    EXPECT_EQ(Value(env, "MAILTO"), "me");
    EXPECT_EQ(Value(env, "LATER"), "(unset)"); // set below the entry: not for it
    EXPECT_NE(Value(env, "HOME"), "(unset)");
    EXPECT_EQ(MissedDueTime(Value(env, kCatchUpVariable).c_str()), m_now - 60 - (m_now % 60));
    // The run is noted under its command: a second login right after runs nothing.
    CRunRecord record;
    ASSERT_EQ(record.Load(m_dir.dir() + CRunRecord::kFileName), FsError());
    EXPECT_TRUE(record.LastRun(CronCommandOf(line)).has_value());
    EXPECT_EQ(CatchUp(), 0);
    EXPECT_EQ(m_ran.size(), 1u);
}

TEST_F(CatchUpRunTest, ARunCronStartedIsNotCaughtUp) {
    const std::string line = DailyEntry("/r \"/pTemp Files \" /x1024 \"/m/home/me/old stuff\"");
    m_crontab.table = "# Fernwick scan\n" + line + "\n";
    // The run as cron starts it notes itself under the command it rebuilds from its own
    // program, arguments and variables: the same key as the entry's.
    {
        ScopedEnv home("FERNWICK_HOME", "/h m");
        ScopedEnv config("XDG_CONFIG_HOME", nullptr);
        ScopedEnv data("XDG_DATA_HOME", nullptr);
        ASSERT_EQ(NoteCronRun(m_dir.dir(), "/usr/bin/fernwick",
                              {"/r", "/pTemp Files ", "/x1024", "/m/home/me/old stuff"}, m_now),
                  FsError());
    }
    EXPECT_EQ(CatchUp(), 0);
    EXPECT_TRUE(m_ran.empty());
}

TEST_F(CatchUpRunTest, AFailedRunIsToldAndNotStartedAgain) {
    m_crontab.table = "# Fernwick scan\n" + DailyEntry("/r /pA /x1022") + "\n# Fernwick scan\n" +
                      DailyEntry("/r /pB /x1022") + "\n";
    m_status = 1;
    EXPECT_EQ(CatchUp(), 1);
    EXPECT_EQ(m_ran.size(), 2u);
    EXPECT_EQ(CatchUp(), 0);
    EXPECT_EQ(m_ran.size(), 2u);
}

TEST_F(CatchUpRunTest, NoEntryLeftTakesTheLoginsEntryAway) {
    ScopedEnv config("XDG_CONFIG_HOME", (m_dir.path() / "config").string());
    ASSERT_EQ(InstallCatchUpAutostart((m_dir.path() / "config").string(), "/usr/bin/fernwick"),
              FsError());
    m_crontab.table = "# Fernwick scan\n" + DailyEntry("/r /pA /x1022") + "\n";
    EXPECT_EQ(CatchUp(), 0);
    EXPECT_TRUE(fs::exists(m_dir.path() / "config" / "autostart" / kCatchUpEntryName));
    m_crontab.table = "MAILTO=me\n"; // removed by hand with crontab -e
    EXPECT_EQ(CatchUp(), 0);
    EXPECT_FALSE(fs::exists(m_dir.path() / "config" / "autostart" / kCatchUpEntryName));
}

TEST_F(CatchUpRunTest, WhatCannotBeReadRunsNothing) {
    m_crontab.readError = "not allowed";
    EXPECT_EQ(CatchUp(), 1);
    m_crontab.readError.clear();
    m_crontab.table = "# Fernwick scan\n" + DailyEntry("/r /pA /x1022") + "\n";
    // A record that is a folder cannot be read or written: told, and nothing run.
    fs::create_directory(m_dir.path() / CRunRecord::kFileName);
    EXPECT_EQ(CatchUp(), 1);
    EXPECT_TRUE(m_ran.empty());
}

TEST_F(CatchUpRunTest, ACatchUpUnderWayLeavesTheEntriesToIt) {
    m_crontab.table = "# Fernwick scan\n" + DailyEntry("/r /pA /x1022") + "\n";
    CDataFolderLock held;
    bool busy = true;
    ASSERT_EQ(held.Take(m_dir.dir(), kRunRecordLockName, CDataFolderLock::Mode::Exclusive,
                        CDataFolderLock::Wait::No, busy),
              FsError());
    ASSERT_FALSE(busy);
    EXPECT_EQ(CatchUp(), 0);
    EXPECT_TRUE(m_ran.empty());
}

TEST_F(CatchUpRunTest, ARunCronStartedThatIsStillGoingIsWaitedFor) {
    const std::string line = DailyEntry("/r /pA /x1022");
    m_crontab.table = "# Fernwick scan\n" + line + "\n";
    // The run cron started at the due time holds the running lock until it has noted itself.
    auto cronRun = std::make_unique<CDataFolderLock>();
    bool busy = true;
    ASSERT_EQ(cronRun->Take(m_dir.dir(), kRunningLockName, CDataFolderLock::Mode::Shared,
                            CDataFolderLock::Wait::No, busy),
              FsError());
    ASSERT_FALSE(busy);
    std::atomic<int> result = -1;
    std::thread login([&] { result = CatchUp(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(result, -1); // still waiting
    CRunRecord record;
    record.Note(CronCommandOf(line), m_now);
    ASSERT_EQ(record.Save(m_dir.dir() + CRunRecord::kFileName), FsError());
    cronRun.reset();
    login.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(m_ran.empty());
}

TEST(CatchUpLocks, ARunCronStartsWaitsForACatchUpUnlessStopped) {
    TempDir dir;
    CDataFolderLock catchUp;
    bool busy = true;
    ASSERT_EQ(catchUp.Take(dir.dir(), kRunningLockName, CDataFolderLock::Mode::Exclusive,
                           CDataFolderLock::Wait::No, busy),
              FsError());
    // Stopped while it waits: it goes on (unlocked) to end as a stopped run.
    std::atomic<bool> stop = false, held = false;
    std::thread run([&] {
        CDataFolderLock running;
        HoldWhileRunning(running, dir.dir(), [&] { return stop.load(); });
        held = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(held);
    stop = true;
    run.join();
    EXPECT_TRUE(held);
    // Two runs cron started hold it together; a catch-up cannot have it meanwhile.
    catchUp = CDataFolderLock();
    CDataFolderLock first, second, other;
    HoldWhileRunning(first, dir.dir(), [] { return false; });
    HoldWhileRunning(second, dir.dir(), [] { return false; });
    ASSERT_EQ(other.Take(dir.dir(), kRunningLockName, CDataFolderLock::Mode::Exclusive,
                         CDataFolderLock::Wait::No, busy),
              FsError());
    EXPECT_TRUE(busy);
}

TEST(CatchUpEnvironment, TheTablesAssignmentsAsCronReadsThem) {
    const CronEnvironment env = CronJobEnvironment("A=1\n  B = 'two words'  \n# C=3\n"
                                                   "15 3 * * * x=1 job\nD=\"\nE=\"q\"\n",
                                                   6);
    EXPECT_EQ(Value(env, "A"), "1");
    EXPECT_EQ(Value(env, "B"), "two words");
    EXPECT_EQ(Value(env, "C"), "(unset)");
    EXPECT_EQ(Value(env, "x"), "(unset)"); // a command's word, not an assignment
    EXPECT_EQ(Value(env, "D"), "\"");
    EXPECT_EQ(Value(env, "E"), "q");
    EXPECT_EQ(MissedDueTime("1765350840"), 1765350840);
    EXPECT_EQ(MissedDueTime("17x"), 0);
    EXPECT_EQ(MissedDueTime(""), 0);
    EXPECT_EQ(MissedDueTime(nullptr), 0);
}

TEST(CatchUpEnvironment, RunAsCronGivesTheShellOnlyThatEnvironment) {
    TempDir dir;
    const std::string out = (dir.path() / "out").string();
    std::string why;
    EXPECT_EQ(RunAsCron("echo \"$A|$PWD|$TERM\" > '" + out + "'; read x; exit 3",
                        {{"A", "a b"}, {"HOME", dir.path().string()}}, why),
              3);
    EXPECT_EQ(ReadTextFile(out), "a b|" + dir.path().string() + "|\n");
    EXPECT_EQ(RunAsCron("kill -9 $$", {}, why), -1);
}

TEST(CatchUpAutostartWithTable, FollowsTheBoxAndTheLastEntry) {
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", (dir.path() / "config").string());
    const fs::path entry = dir.path() / "config" / "autostart" / kCatchUpEntryName;
    CSchedulerDispatch dispatch;
    auto owned = std::make_unique<CFakeCrontab>();
    CFakeCrontab* table = owned.get();
    dispatch.SetCrontab(std::move(owned));
    CronWhen when;
    dispatch.SetAskWhen([&when] { return std::optional<CronWhen>(when); });
    bool cancelled = false;
    ASSERT_EQ(dispatch.ScheduleEvent("/usr/bin/fernwick", "/r /pA", false, kScheduleEventName,
                                     cancelled),
              FsError());
    EXPECT_EQ(ReadTextFile(entry), CatchUpDesktopEntry("/usr/bin/fernwick"));
    when.catchUpAtLogin = false; // the box unchecked: off for every cleaning
    ASSERT_EQ(dispatch.ScheduleEvent("/usr/bin/fernwick", "/r /pB", false, kScheduleEventName,
                                     cancelled),
              FsError());
    EXPECT_FALSE(fs::exists(entry));
    when.catchUpAtLogin = true;
    ASSERT_EQ(dispatch.ScheduleEvent("/usr/bin/fernwick", "/r /pC", false, kScheduleEventName,
                                     cancelled),
              FsError());
    EXPECT_EQ(dispatch.CatchUpFailure(), FsError());
    ASSERT_TRUE(fs::exists(entry));

    // Removing a cleaning keeps the entry while others are left; the last one takes it.
    std::FILE* sink = std::tmpfile();
    EXPECT_EQ(Unschedule(*table, "1", {}, sink, sink), 0);
    EXPECT_EQ(Unschedule(*table, "1", {}, sink, sink), 0);
    EXPECT_TRUE(fs::exists(entry));
    EXPECT_EQ(Unschedule(*table, "1", {}, sink, sink), 0);
    EXPECT_FALSE(fs::exists(entry));
    std::fclose(sink);

    // An autostart folder that cannot be made is told, and the cleaning is scheduled anyway.
    fs::remove(dir.path() / "config" / "autostart");
    WriteTextFile(dir.path() / "config" / "autostart", "a file");
    ASSERT_EQ(dispatch.ScheduleEvent("/usr/bin/fernwick", "/r /pD", false, kScheduleEventName,
                                     cancelled),
              FsError());
    EXPECT_TRUE(dispatch.CatchUpFailure());
    EXPECT_EQ(ReadScheduledEntries(table->table, kScheduleEventName).size(), 1u);
}
