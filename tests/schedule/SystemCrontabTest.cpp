// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The crontab program as the client runs it, with a stand-in crontab on PATH: never the user's.
#include "support/Scheduling.h"
#include "CronSupport.h"
#include "schedule/CSchedulerDispatch.h"
#include "schedule/CCrontab.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

// PATH leads to a stand-in crontab (CronSupport.h) keeping its table in a temporary file.
class StandInCrontab : public ::testing::Test {
protected:
    TempDir m_dir;
    fs::path m_bin = m_dir.path() / "bin dir";
    fs::path m_store = m_dir.path() / "table";
    std::string m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";

    void SetUp() override {
        fs::create_directories(m_bin);
        WriteStandInCrontab(m_bin / "crontab");
        ::setenv("FAKE_CRONTAB", m_store.c_str(), 1);
        ::unsetenv("FAKE_CRONTAB_FAIL");
        ::setenv("PATH", ("relative:" + m_bin.string() + ":/usr/bin:/bin").c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", m_oldPath.c_str(), 1);
        ::unsetenv("FAKE_CRONTAB");
        ::unsetenv("FAKE_CRONTAB_FAIL");
    }
};

} // namespace

TEST_F(StandInCrontab, ReadsAndWritesTheWholeTable) {
    EXPECT_EQ(FindCrontabProgram(), (m_bin / "crontab").string());
    EXPECT_TRUE(CrontabAvailable());
    CSystemCrontab crontab;
    // No table yet: an empty one, not an error.
    std::string read = "stale";
    EXPECT_EQ(crontab.Read(read).Text(), "");
    EXPECT_EQ(read, "");

    const std::string table = "# mine\nMAILTO=me\n0 1 * * * backup %x\n";
    EXPECT_EQ(crontab.Write(table).Text(), "");
    EXPECT_EQ(ReadTextFile(m_store), table);
    EXPECT_EQ(crontab.Read(read).Text(), "");
    EXPECT_EQ(read, table);

    // A big table goes through the pipes whole, both ways, with no deadlock.
    std::string big;
    for (int i = 0; big.size() < (1u << 20); ++i)
        big += "# line " + std::to_string(i) + " of a long table kept as it is\n";
    EXPECT_EQ(crontab.Write(big).Text(), "");
    EXPECT_EQ(crontab.Read(read).Text(), "");
    EXPECT_EQ(read.size(), big.size());
    EXPECT_TRUE(read == big);
}

TEST_F(StandInCrontab, RefusalsCarryCrontabsErrorOutput) {
    WriteTextFile(m_store, "keep\n");
    ::setenv("FAKE_CRONTAB_FAIL", "you are not allowed to use this program", 1);
    CSystemCrontab crontab;
    std::string read;
    EXPECT_EQ(crontab.Read(read).Text(), "crontab: you are not allowed to use this program");
    EXPECT_EQ(crontab.Write("new\n").Text(), "crontab: you are not allowed to use this program");
    EXPECT_EQ(ReadTextFile(m_store), "keep\n");

    // Through the client: Failed with that text, and no entry.
    ::unsetenv("FAKE_CRONTAB_FAIL");
    CSchedulerDispatch dispatch;
    ASSERT_TRUE(dispatch.CreateDispatch());
    dispatch.SetAskWhen([] { return std::optional<CronWhen>(CronWhen{}); });
    ::setenv("FAKE_CRONTAB_FAIL", "installing new crontab failed", 1);
    const Scheduling s = ScheduleWith(dispatch, "/usr/bin/fernwick", "/r", "Fernwick scan");
    EXPECT_EQ(s.kind, Scheduling::Failed);
    EXPECT_EQ(s.error, "crontab: installing new crontab failed");
    EXPECT_EQ(ReadTextFile(m_store), "keep\n");
}

TEST_F(StandInCrontab, ProgramThatExitsWithoutReadingOrSayingWhy) {
    // Ends at once without reading its input and without a word: the client must neither die
    // of SIGPIPE nor report success.
    WriteTextFile(m_bin / "crontab", "#!/bin/sh\nexit 3\n");
    CSystemCrontab crontab;
    const std::string big(1 << 20, '#');
    EXPECT_EQ(crontab.Write(big).Text(), "crontab ended with status 3");
    std::string read;
    EXPECT_EQ(crontab.Read(read).Text(), "crontab -l ended with status 3");
    // Killed by a signal.
    WriteTextFile(m_bin / "crontab", "#!/bin/sh\nkill -9 $$\n");
    EXPECT_EQ(crontab.Write("x\n").Text(), "crontab was ended by signal 9");
}

TEST_F(StandInCrontab, ScheduledThroughTheRealClient) {
    WriteTextFile(m_store, "# mine\n0 1 * * * backup");
    for (const char* n : {"FERNWICK_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
        ::unsetenv(n);
    CSchedulerDispatch dispatch;
    ASSERT_TRUE(dispatch.CreateDispatch());
    CronWhen weekly;
    weekly.kind = CronWhen::Weekly;
    weekly.weekday = 5;
    weekly.hour = 22;
    weekly.minute = 0;
    dispatch.SetAskWhen([weekly] { return std::optional<CronWhen>(weekly); });
    const Scheduling s =
        ScheduleWith(dispatch, "/usr/bin/fernwick", "/r /p\"A \" /d /x1022 /m\"\"", "Fernwick scan");
    EXPECT_EQ(s.kind, Scheduling::Scheduled) << s.error;
    EXPECT_EQ(ReadTextFile(m_store), "# mine\n0 1 * * * backup\n# Fernwick scan\n"
                                     "0 22 * * 5 '/usr/bin/fernwick' '/r' '/pA ' '/d' '/x1022' "
                                     "'/m'\n");
}

TEST_F(StandInCrontab, NotOnThePath) {
    // Only in a relative folder, or there but not executable: not available.
    const fs::path here = m_dir.path() / "relative";
    fs::create_directories(here);
    fs::copy_file(m_bin / "crontab", here / "crontab");
    fs::permissions(m_bin / "crontab", fs::perms::owner_read | fs::perms::owner_write);
    const fs::path cwd = fs::current_path();
    fs::current_path(m_dir.path());
    ::setenv("PATH", ("relative::" + m_bin.string() + ":" + m_dir.dir() + "none").c_str(), 1);
    EXPECT_EQ(FindCrontabProgram(), "");
    EXPECT_FALSE(CrontabAvailable());
    CSystemCrontab crontab;
    std::string read;
    EXPECT_TRUE(crontab.Read(read));
    EXPECT_NE(crontab.Write("x\n").Text(), "");
    CSchedulerDispatch dispatch;
    EXPECT_FALSE(dispatch.CreateDispatch());
    ::unsetenv("PATH");
    EXPECT_FALSE(CrontabAvailable());
    fs::current_path(cwd);
    EXPECT_FALSE(fs::exists(m_store));
}
