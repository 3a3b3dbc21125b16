// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// A cleaning scheduled through the crontab client, then run as cron runs it: the stored command
// through /bin/sh, with cron's bare environment and no display.
#include "schedule/ScheduledRun.h"
#include "support/Scheduling.h"
#include "app/CommandLine.h"
#include "schedule/CSchedulerDispatch.h"
#include "schedule/CronSupport.h"

#include <gtest/gtest.h>

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
