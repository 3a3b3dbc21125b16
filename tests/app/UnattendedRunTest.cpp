// The real program started as the scheduler starts it, and its preview.
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

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

} // namespace

TEST(UnattendedRun, ScheduledDeleteCleansTheNamedProfileAndLogsIt) {
    Scheduled s;
    // As cron starts it: no display at all.
    const CommandResult r = RunFernwick("/r '/pTemp Files ' /d /x1022 /m",
                                    "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ");
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
