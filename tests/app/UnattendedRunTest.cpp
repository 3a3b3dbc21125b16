// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The real program started as the scheduler starts it, and its preview.
#include "platform/VolumeTable.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <set>

namespace fs = std::filesystem;

namespace {

CommandResult RunFernwick(const std::string& args, const std::string& env = {}) {
    return RunCommand(env, FW_BINARY, args);
}

std::vector<std::string> LogMessages(const fs::path& log) {
    std::vector<std::string> lines;
    std::string text = ReadTextFile(log);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end - pos);
        // "MM/DD/YY HH:MM:SS     message"
        lines.push_back(line.size() > 22 ? line.substr(22) : line);
        pos = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// Two profiles whose names overlap: "Temp Files" cleans tree/a, "Temp" cleans tree/b.
struct Scheduled {
    ScopedTestHome home;
    fs::path tree = home.root() / "tree";
    Scheduled() {
        WriteTextFile(home.program() / "settings.dat",
                      "Fernwick 2.0, Data Stream Version 1.1\n2\n"
                      "Temp Files\n1068\n1\n" + (tree / "a").string() + "\n1\n*.tmp\n0\n0\n0\n0\n1\n1\n1980\n"
                      "Temp\n1068\n1\n" + (tree / "b").string() + "\n1\n*.tmp\n0\n0\n0\n0\n1\n1\n1980\n");
        WriteTextFile(tree / "a" / "one.tmp", "12345");
        WriteTextFile(tree / "a" / "sub dir" / "two.tmp", "1234567");
        WriteTextFile(tree / "a" / "keep.txt", "keep");
        WriteTextFile(tree / "b" / "other.tmp", "other");
    }
};

// The environment of a program started with no display at all, as cron starts it.
const std::string kNoDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";

// The mount points this machine has drives for.
std::set<std::string> DriveMountPoints() {
    struct NoLetters : IDriveLetterStore {
        std::map<std::string, char> Load() override { return {}; }
        void Save(const std::map<std::string, char>&) override {}
    } store;
    std::set<std::string> mountPoints;
    const CVolumeTable table = CVolumeTable::LoadLetters(store);
    for (const Volume& v : table.Volumes())
        mountPoints.insert(v.mountPoint);
    return mountPoints;
}

// Runs a program with every file-system query it makes recorded; returns the paths asked.
std::set<std::string> RunRecordingQueries(const fs::path& log, const std::string& program,
                                          const std::string& args, CommandResult& result) {
    result = RunCommand(kNoDisplay + "ASAN_OPTIONS=verify_asan_link_order=0 "
                                     "LD_PRELOAD=" FW_STATVFS_RECORDER " FW_STATVFS_LOG='" +
                            log.string() + "' ",
                        program, args);
    std::set<std::string> asked;
    const std::string text = ReadTextFile(log);
    for (size_t pos = 0, end; pos < text.size(); pos = end + 1) {
        end = text.find('\n', pos);
        asked.insert(text.substr(pos, end - pos));
    }
    return asked;
}

} // namespace

TEST(UnattendedRun, ScheduledDeleteCleansTheNamedProfileAndLogsIt) {
    Scheduled s;
    // As cron starts it: no display at all.
    const CommandResult r = RunFernwick("/r '/pTemp Files ' /d /x1022 /m", kNoDisplay);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(fs::exists(s.tree / "a" / "one.tmp"));
    EXPECT_FALSE(fs::exists(s.tree / "a" / "sub dir" / "two.tmp"));
    EXPECT_TRUE(fs::exists(s.tree / "a" / "keep.txt"));
    EXPECT_TRUE(fs::exists(s.tree / "b" / "other.tmp")); // "Temp" was not named
    const auto log = LogMessages(s.home.program() / "fwlog.txt");
    const std::vector<std::string> expected{
        "Scanning for Temp Files",
        (s.tree / "a" / "one.tmp").string() + " Deleted",
        (s.tree / "a" / "sub dir" / "two.tmp").string() + " Deleted",
        "12 bytes were Deleted by Fernwick",
    };
    EXPECT_EQ(log, expected);
}

TEST(UnattendedRun, ScheduledTrashUsesTheUsersTrash) {
    Scheduled s;
    const CommandResult r = RunFernwick("-r '-pTemp Files Temp ' -d -x1025 -m");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const fs::path trash = fs::path(std::getenv("XDG_DATA_HOME")) / "Trash";
    EXPECT_TRUE(fs::exists(trash / "files" / "one.tmp"));
    EXPECT_TRUE(fs::exists(trash / "files" / "other.tmp"));
    EXPECT_TRUE(fs::exists(trash / "info" / "two.tmp.trashinfo"));
    EXPECT_FALSE(fs::exists(s.tree / "b" / "other.tmp"));
    const auto log = LogMessages(s.home.program() / "fwlog.txt");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "17 bytes were Moved to Recycle Bin by Fernwick");
}

TEST(UnattendedRun, PreviewListsWhatARunWouldTakeAndTouchesNothing) {
    Scheduled s;
    const std::string settings = ReadTextFile(s.home.program() / "settings.dat");
    const CommandResult r = RunFernwick("--preview '/pTemp Files ' /dQ");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("5\t"), std::string::npos);
    EXPECT_NE(r.out.find("\t" + (s.tree / "a" / "one.tmp").string() + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("\t" + (s.tree / "a" / "sub dir" / "two.tmp").string() + "\n"),
              std::string::npos);
    EXPECT_EQ(r.out.find("other.tmp"), std::string::npos);
    EXPECT_NE(r.out.find("# 2 files, 12 bytes\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("no drive Q:"), std::string::npos);
    EXPECT_TRUE(fs::exists(s.tree / "a" / "one.tmp"));
    EXPECT_FALSE(fs::exists(s.home.program() / "fwlog.txt"));
    EXPECT_EQ(ReadTextFile(s.home.program() / "settings.dat"), settings);

    const CommandResult none = RunFernwick("--preview '/pNobody '");
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.out.find("names no profile"), std::string::npos);
}

TEST(UnattendedRun, TheLastProfileNamedNeedsNoTrailingBlank) {
    Scheduled s;
    const CommandResult r = RunFernwick("/r '/pTemp Files' /d /x1022 /m", kNoDisplay);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(fs::exists(s.tree / "a" / "one.tmp"));
    EXPECT_TRUE(fs::exists(s.tree / "b" / "other.tmp")); // "Temp" was not named
    const auto log = LogMessages(s.home.program() / "fwlog.txt");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "Scanning for Temp Files");
    EXPECT_EQ(log.back(), "12 bytes were Deleted by Fernwick");

    const CommandResult temp = RunFernwick("--preview -pTemp");
    EXPECT_EQ(temp.exitCode, 0) << temp.out;
    EXPECT_NE(temp.out.find("\t" + (s.tree / "b" / "other.tmp").string() + "\n"), std::string::npos)
        << temp.out;
    EXPECT_NE(temp.out.find("# 1 files, 5 bytes\n"), std::string::npos) << temp.out;
}

TEST(UnattendedRun, AStaleDisplayFallsBackToWorkingWithoutAWindow) {
    const std::string dead = DeadXDisplay();
    ASSERT_FALSE(dead.empty());
    for (const char* platform : {"", "QT_QPA_PLATFORM=xcb "}) {
        Scheduled s;
        const CommandResult r = RunFernwick("/r '/pTemp Files ' /d /x1022 /m",
                                            kNoDisplay + "DISPLAY=" + dead + " " + platform);
        EXPECT_EQ(r.exitCode, 0) << platform << r.out;
        EXPECT_FALSE(fs::exists(s.tree / "a" / "one.tmp")) << platform;
        const auto log = LogMessages(s.home.program() / "fwlog.txt");
        ASSERT_FALSE(log.empty()) << platform;
        EXPECT_EQ(log.back(), "12 bytes were Deleted by Fernwick");
    }
}

TEST(UnattendedRun, ALiveDisplayShowsTheStatusWindow) {
    ScopedXvfb server;
    if (server.Display().empty())
        GTEST_SKIP() << "Xvfb is not installed";
    Scheduled s;
    const CommandResult r = RunFernwick("/r '/pTemp Files ' /d /x1022 /m",
                                        kNoDisplay + "DISPLAY=" + server.Display() + " ");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out.find("could not connect"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(s.tree / "a" / "one.tmp"));
}

TEST(Wizard, WithoutADisplaySaysWhatWorksInsteadAndExits) {
    const std::string dead = DeadXDisplay();
    ASSERT_FALSE(dead.empty());
    const std::pair<std::string, std::string> cases[] = {
        {"", "none is set"},
        {"DISPLAY=" + dead + " ", "the display \"" + dead + "\" cannot be opened"},
        {"DISPLAY= WAYLAND_DISPLAY=wayland-fernwick-none ",
         "the Wayland display \"wayland-fernwick-none\" cannot be opened"},
    };
    for (const auto& [env, reason] : cases) {
        ScopedTestHome home;
        // A wizard that never shows would never end: the test gives up on it early.
        const CommandResult r = RunFernwick("", kNoDisplay + env + "timeout 60");
        EXPECT_EQ(r.exitCode, 2) << env << r.out;
        EXPECT_NE(r.out.find("fernwick: the cleaning wizard needs a display, and " + reason),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("fernwick --preview"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("fernwick /r"), std::string::npos) << r.out;
        EXPECT_TRUE(fs::is_empty(home.program())); // nothing was loaded or written
    }
}

TEST(UnattendedRun, NoMountIsAskedAboutThatWasNotNamed) {
    Scheduled s;
    const std::set<std::string> drives = DriveMountPoints();
    ASSERT_TRUE(drives.count("/"));

    // The recorder records: a program that asks is seen asking.
    CommandResult r;
    std::set<std::string> asked =
        RunRecordingQueries(s.home.root() / "control.log", "stat", "-f /", r);
    EXPECT_TRUE(asked.count("/")) << r.out;

    // No drive is named (Q is none): no drive may be asked, not even for its size.
    const std::string runs[] = {"--preview '/pTemp Files ' /dQ",
                                "/r '/pTemp Files ' /dQ /x1022 /m"};
    for (size_t i = 0; i < std::size(runs); ++i) {
        const fs::path log = s.home.root() / ("run" + std::to_string(i) + ".log");
        asked = RunRecordingQueries(log, FW_BINARY, runs[i], r);
        EXPECT_EQ(r.exitCode, 0) << runs[i] << r.out;
        for (const std::string& path : asked)
            EXPECT_FALSE(drives.count(path)) << runs[i] << " asked about " << path;
    }
    EXPECT_NE(ReadTextFile(s.home.program() / "fwlog.txt").find("Drive Q: is not there"),
              std::string::npos);
}

TEST(UnattendedRun, PreviewLeavesTheStoredDriveLettersAlone) {
    Scheduled s;
    const fs::path ini = s.home.root() / "config" / "Quenby Works" / "Fernwick.ini";
    WriteTextFile(ini, "[Drive%20Letters]\n%252Fgone%252Fshare=S\n");
    const CommandResult r = RunFernwick("--preview '/pTemp Files ' /dCDEFS");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("# 2 files, 12 bytes\n"), std::string::npos) << r.out;
    EXPECT_EQ(ReadTextFile(ini), "[Drive%20Letters]\n%252Fgone%252Fshare=S\n");
    // ... and made no file beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(ini.parent_path()), fs::directory_iterator()), 1);

    // A scheduled run does keep the letters it gives, so that its drives keep their names.
    const CommandResult run = RunFernwick("/r '/pNobody ' /dCD /x1022 /m", kNoDisplay);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    if (DriveMountPoints().size() > 1) {
        EXPECT_NE(ReadTextFile(ini), "[Drive%20Letters]\n%252Fgone%252Fshare=S\n");
    }
}
