// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// A cleaning scheduled through the crontab client, then run as cron runs it: the stored command
// through /bin/sh, with cron's bare environment and no display.
#include "schedule/ScheduledRun.h"
#include "support/Scheduling.h"
#include "app/CommandLine.h"
#include "schedule/CSchedulerDispatch.h"
#include "schedule/CronSupport.h"
#include "schedule/CatchUpAutostart.h"
#include "schedule/CronLine.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {

const std::string kOddName = "Odd \"one\" 100% $HOME `id` it's \\";

class CronRunTest : public ::testing::Test {
protected:
    ScopedTestHome m_home; // FERNWICK_HOME and the XDG folders the cron line must carry
    fs::path m_tree = m_home.root() / "tree";
    fs::path m_bin = m_home.root() / "bin";
    fs::path m_table = m_home.root() / "crontab";
    std::string m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";

    void SetUp() override {
        WriteTextFile(m_home.program() / "settings.dat",
                      "Fernwick 2.0, Data Stream Version 1.1\n2\n"
                      "Temp Files\n1068\n1\n" + (m_tree / "a").string() +
                          "\n1\n*.tmp\n0\n0\n0\n0\n1\n1\n1980\n" + kOddName + "\n1068\n1\n" +
                          (m_tree / "b").string() + "\n1\n*.bak\n0\n0\n0\n0\n1\n1\n1980\n");
        WriteStandInCrontab(m_bin / "crontab");
        WriteTextFile(m_table, "# the user's own\n0 1 * * * backup");
        ::setenv("FAKE_CRONTAB", m_table.c_str(), 1);
        ::setenv("PATH", (m_bin.string() + ":/usr/bin:/bin").c_str(), 1);
    }
    void TearDown() override { ::setenv("PATH", m_oldPath.c_str(), 1); }

    // Schedules the cleaning and returns the stored command as /bin/sh gets it from cron.
    std::string Schedule(int method, const std::string& destination) {
        CSchedulerDispatch dispatch;
        EXPECT_TRUE(dispatch.CreateDispatch());
        dispatch.SetAskWhen([] { return std::optional<CronWhen>(CronWhen{}); });
        const std::string params =
            BuildScheduledParameters("Temp Files " + kOddName + " ", "", method, destination);
        const Scheduling r = ScheduleWith(dispatch, FW_BINARY, params, "Fernwick scan");
        EXPECT_EQ(r.kind, Scheduling::Scheduled) << r.error;
        const std::string table = ReadTextFile(m_table);
        EXPECT_EQ(table.rfind("# the user's own\n0 1 * * * backup\n# Fernwick scan\n", 0), 0u)
            << table;
        const std::size_t last = table.rfind('\n', table.size() - 2);
        return CronUnescape(CronCommandField(table.substr(last + 1, table.size() - last - 2)));
    }

    // Runs command as cron would, with its output kept; returns the exit status.
    int RunAsCron(const std::string& command, std::string& out, std::string& err) {
        const fs::path outFile = m_home.root() / "out", errFile = m_home.root() / "err";
        const int rc = RunWithBareShell(
            command + " >'" + outFile.string() + "' 2>'" + errFile.string() + "'",
            {"HOME=" + m_home.home().string(), "PATH=/usr/bin:/bin", "SHELL=/bin/sh",
             "LOGNAME=tester"});
        out = ReadTextFile(outFile);
        err = ReadTextFile(errFile);
        return rc;
    }

    void Plant() {
        WriteTextFile(m_tree / "a" / "one.tmp", "12345");
        WriteTextFile(m_tree / "a" / "keep.txt", "keep");
        WriteTextFile(m_tree / "b" / "old.bak", "1234567");
    }
};

} // namespace

TEST_F(CronRunTest, ZipRunIsSilentAndDoesWhatWasScheduled) {
    Plant();
    const fs::path archive = m_home.root() / "out 100% $x" / "arch \"q\" it's.zip";
    fs::create_directories(archive.parent_path());
    const std::string command = Schedule(1023, archive.string());
    std::string out, err;
    EXPECT_EQ(RunAsCron(command, out, err), 0) << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    ASSERT_TRUE(fs::exists(archive));
    // An archive names its members in plain text.
    const std::string zip = ReadTextFile(archive);
    EXPECT_NE(zip.find("one.tmp"), std::string::npos);
    EXPECT_NE(zip.find("old.bak"), std::string::npos);
    EXPECT_EQ(zip.find("keep.txt"), std::string::npos);
    const std::string log = ReadTextFile(m_home.program() / "fwlog.txt");
    EXPECT_NE(log.find("Scanning for Temp Files\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Scanning for " + kOddName + "\n"), std::string::npos) << log;
    EXPECT_NE(log.find("12 bytes were Zipped by Fernwick"), std::string::npos) << log;
}

TEST_F(CronRunTest, MoveRunWithATypedPath) {
    Plant();
    const fs::path target = m_home.root() / "moved `here` 'now'";
    fs::create_directories(target);
    std::string out, err;
    EXPECT_EQ(RunAsCron(Schedule(1024, target.string()), out, err), 0) << err;
    EXPECT_EQ(out + err, "");
    EXPECT_TRUE(fs::exists(target / "one.tmp"));
    EXPECT_TRUE(fs::exists(target / "old.bak"));
    EXPECT_FALSE(fs::exists(m_tree / "a" / "one.tmp"));
}

TEST_F(CronRunTest, ARunThatNeedsAttentionStillSaysSo) {
    // A method the run refuses: cron must have something to mail.
    std::string out, err;
    EXPECT_EQ(RunAsCron(Schedule(999, ""), out, err), 2);
    EXPECT_NE(err.find("scheduled run refused"), std::string::npos) << err;
}

// The catch-up at login, "fernwick --catch-up", with the same crontab: the table gives the home
// folder, as a user's crontab may, since the catch-up hands a run cron's environment only.
class CatchUpAtLogin : public CronRunTest {
protected:
    CommandResult CatchUp() { return RunCommand("", FW_BINARY, "--catch-up"); }
    void GiveTheTableAHome() {
        WriteTextFile(m_table, "HOME=" + m_home.home().string() + "\n" + ReadTextFile(m_table));
    }
};

TEST_F(CatchUpAtLogin, AMissedCleaningRunsOnceAndSaysItWasMissed) {
    Plant();
    Schedule(1022, ""); // every day at 00:00: due earlier today, and never run
    EXPECT_EQ(ReadTextFile(m_home.root() / "config" / "autostart" / "fernwick-catch-up.desktop"),
              CatchUpDesktopEntry(FW_BINARY));
    GiveTheTableAHome();
    CommandResult r = CatchUp();
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out.rfind("Catching up on 1  Every day at 00:00  Temp Files, " + kOddName +
                              "  Delete (missed at ",
                          0),
              0u)
        << r.out;
    EXPECT_FALSE(fs::exists(m_tree / "a" / "one.tmp"));
    EXPECT_FALSE(fs::exists(m_tree / "b" / "old.bak"));
    EXPECT_TRUE(fs::exists(m_tree / "a" / "keep.txt"));
    const std::string log = ReadTextFile(m_home.program() / "fwlog.txt");
    EXPECT_NE(log.find("Catching up on the scheduled cleaning missed at "), std::string::npos)
        << log;
    EXPECT_NE(log.find("12 bytes were Deleted by Fernwick"), std::string::npos) << log;

    // A second login: nothing was missed since.
    Plant();
    r = CatchUp();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "No scheduled cleaning was missed.\n");
    EXPECT_TRUE(fs::exists(m_tree / "a" / "one.tmp"));
}

TEST_F(CatchUpAtLogin, ACleaningCronRanIsNotRunAgain) {
    Plant();
    const std::string command = Schedule(1022, "");
    GiveTheTableAHome();
    std::string out, err;
    ASSERT_EQ(RunAsCron(command, out, err), 0) << err;
    EXPECT_FALSE(fs::exists(m_tree / "a" / "one.tmp"));
    Plant();
    const CommandResult r = CatchUp();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "No scheduled cleaning was missed.\n");
    EXPECT_TRUE(fs::exists(m_tree / "a" / "one.tmp"));
}

TEST_F(CatchUpAtLogin, TwoAtOnceRunEachEntryOnce) {
    // Two entries running a stand-in that notes what ran and takes a while.
    const fs::path ran = m_home.root() / "ran";
    WriteTextFile(m_bin / "cleaning",
                  "#!/bin/sh\necho \"$1 $FERNWICK_CATCH_UP\" >> '" + ran.string() +
                      "'\nsleep 1\n");
    fs::permissions(m_bin / "cleaning", fs::perms::owner_all);
    const std::string program = QuoteForShell((m_bin / "cleaning").string());
    WriteTextFile(m_table, "# Fernwick scan\n0 0 * * * " + program +
                               " first\n# Fernwick scan\n30 0 1 * * " + program + " second\n");
    const CommandResult r =
        RunCommand("", "sh", "-c '" + std::string(FW_BINARY) + " --catch-up & " +
                                 FW_BINARY + " --catch-up; wait'");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const std::string lines = ReadTextFile(ran);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
    EXPECT_EQ(lines.rfind("first ", 0), 0u) << lines;
    EXPECT_NE(lines.find("\nsecond "), std::string::npos) << lines;
    // Each carried the due time it made up for.
    EXPECT_EQ(lines.find(" \n"), std::string::npos) << lines;
    EXPECT_EQ(CatchUp().out, "No scheduled cleaning was missed.\n");
    EXPECT_EQ(ReadTextFile(ran), lines);
}
