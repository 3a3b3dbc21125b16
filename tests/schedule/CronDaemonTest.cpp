// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Telling whether a cron daemon runs: systemctl's answer, read from a stand-in systemctl on
// PATH, and the process list, read from a made-up /proc.
#include "schedule/CronDaemon.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// A /proc of our own: a numbered folder with a comm file per process.
class FakeProc {
public:
    void Add(const std::string& pid, const std::string& comm) {
        WriteTextFile(m_dir.path() / pid / "comm", comm);
    }
    std::string Root() const { return m_dir.path().string(); }
    const fs::path& Path() const { return m_dir.path(); }

private:
    TempDir m_dir;
};

// PATH leads to a stand-in systemctl that prints the given text (or to none at all), and is
// put back afterwards.
class StandInSystemctl {
public:
    StandInSystemctl() : m_oldPath(std::getenv("PATH") ? std::getenv("PATH") : "") {
        ::setenv("PATH", m_bin.path().c_str(), 1);
    }
    ~StandInSystemctl() { ::setenv("PATH", m_oldPath.c_str(), 1); }
    StandInSystemctl(const StandInSystemctl&) = delete;
    StandInSystemctl& operator=(const StandInSystemctl&) = delete;

    // The stand-in writes its arguments to a file and prints output, as is-active would.
    void Prints(const std::string& output, int exitCode) {
        const fs::path program = m_bin.path() / "systemctl";
        WriteTextFile(program, "#!/bin/sh\necho \"$@\" > '" + ArgsFile().string() +
                                   "'\nprintf '" + output + "'\necho oops >&2\nexit " +
                                   std::to_string(exitCode) + "\n");
        fs::permissions(program, fs::perms::owner_all);
    }
    fs::path ArgsFile() const { return m_bin.path() / "args"; }

private:
    std::string m_oldPath;
    TempDir m_bin;
};

} // namespace

TEST(CronDaemon, SystemdOutputCountsOnlyStatesOfARunningUnit) {
    EXPECT_TRUE(SystemdReportsRunning("active\ninactive\n"));
    EXPECT_TRUE(SystemdReportsRunning("inactive\nactive\n"));
    EXPECT_TRUE(SystemdReportsRunning("active"));
    EXPECT_TRUE(SystemdReportsRunning("inactive\r\nreloading\r\n"));
    EXPECT_TRUE(SystemdReportsRunning("activating\n"));
    EXPECT_FALSE(SystemdReportsRunning(""));
    EXPECT_FALSE(SystemdReportsRunning("inactive\ninactive\n"));
    EXPECT_FALSE(SystemdReportsRunning("failed\ndeactivating\n"));
    EXPECT_FALSE(SystemdReportsRunning("unknown\n"));
    // Words that only hold the state are not the state.
    EXPECT_FALSE(SystemdReportsRunning("inactive (dead)\n"));
    EXPECT_FALSE(SystemdReportsRunning(" active\n"));
    EXPECT_FALSE(SystemdReportsRunning("System has not been booted with systemd\n"));
}

TEST(CronDaemon, ProcListsCronOrCrondByTheProcessName) {
    FakeProc proc;
    proc.Add("1", "init\n");
    proc.Add("17", "crontab\n");
    proc.Add("18", "anacron\n");
    proc.Add("19", "cron-helper\n");
    proc.Add("20", "kworker/0:1-cron\n");
    EXPECT_FALSE(CronProcessListed(proc.Root()));

    // Only numbered folders are processes; a comm elsewhere says nothing.
    WriteTextFile(proc.Path() / "self" / "comm", "cron\n");
    WriteTextFile(proc.Path() / "12a" / "comm", "cron\n");
    EXPECT_FALSE(CronProcessListed(proc.Root()));
    // A process that ended while the list was read has no comm left.
    fs::create_directories(proc.Path() / "30");
    EXPECT_FALSE(CronProcessListed(proc.Root()));

    proc.Add("412", "cron\n");
    EXPECT_TRUE(CronProcessListed(proc.Root()));
}

TEST(CronDaemon, CrondAndACommWithoutNewlineAreFound) {
    FakeProc proc;
    proc.Add("7", "crond");
    EXPECT_TRUE(CronProcessListed(proc.Root()));
}

TEST(CronDaemon, AMissingProcFolderListsNothing) {
    TempDir dir;
    EXPECT_FALSE(CronProcessListed((dir.path() / "none").string()));
}

TEST(CronDaemon, SystemctlIsAskedAboutCronAndCrond) {
    StandInSystemctl systemctl;
    systemctl.Prints("inactive\\nactive\\n", 0);
    EXPECT_EQ(SystemctlIsActiveCron(), "inactive\nactive\n");
    EXPECT_EQ(ReadTextFile(systemctl.ArgsFile()), "is-active cron crond\n");
}

TEST(CronDaemon, SystemdOrTheProcessListEachTellOfARunningDaemon) {
    StandInSystemctl systemctl;
    FakeProc idle;
    idle.Add("1", "init\n");
    FakeProc withCron;
    withCron.Add("1", "init\n");
    withCron.Add("90", "cron\n");

    systemctl.Prints("active\\ninactive\\n", 0);
    EXPECT_TRUE(CronDaemonRunning(idle.Root()));
    systemctl.Prints("inactive\\ninactive\\n", 3);
    EXPECT_FALSE(CronDaemonRunning(idle.Root()));
    // A cron started outside systemd, or under a unit of another name.
    EXPECT_TRUE(CronDaemonRunning(withCron.Root()));
    // systemctl that cannot reach systemd prints nothing useful: the list decides.
    systemctl.Prints("", 1);
    EXPECT_FALSE(CronDaemonRunning(idle.Root()));
    EXPECT_TRUE(CronDaemonRunning(withCron.Root()));
}

TEST(CronDaemon, WithoutSystemctlTheProcessListDecides) {
    StandInSystemctl noSystemctl; // PATH holds an empty folder
    EXPECT_EQ(SystemctlIsActiveCron(), "");
    FakeProc proc;
    proc.Add("1", "init\n");
    EXPECT_FALSE(CronDaemonRunning(proc.Root()));
    proc.Add("2", "crond\n");
    EXPECT_TRUE(CronDaemonRunning(proc.Root()));
}
