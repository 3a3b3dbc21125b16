// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The program's own files: what may be opened, how problems are told, how far links are
// followed, damaged files put aside without replacing anything, and relative XDG folders.
#include "platform/DataFile.h"
#include "platform/XdgDirs.h"
#include "support/GuardedChild.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> g_logged;
void Remember(const std::string& message) { g_logged.push_back(message); }

std::string ReadAll(int fd) {
    std::string text;
    char buf[256];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    return text;
}

} // namespace

// --- Opening --------------------------------------------------------------------------------

TEST(DataFile, OnlyRegularFilesWithinTheLimitAreOpened) {
    TempDir dir;
    const fs::path file = dir.path() / "file";
    WriteTextFile(file, "0123456789");

    DataFile usable;
    ASSERT_EQ(OpenDataFile(file, usable, 10), FsError());
    ASSERT_TRUE(usable.fd);
    EXPECT_EQ(usable.size, 10u);
    // Opened for blocking reads again, and reads the file.
    EXPECT_EQ(::fcntl(usable.fd.get(), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(ReadAll(usable.fd.get()), "0123456789");

    DataFile tooLarge;
    const FsError overLimit = OpenDataFile(file, tooLarge, 9);
    EXPECT_TRUE(IsTooLarge(overLimit));
    EXPECT_FALSE(tooLarge.fd);
    EXPECT_EQ(DescribeDataFileProblem("f", tooLarge, overLimit), "f is larger than 9 bytes");

    // Through a link, the file behind it counts.
    fs::create_symlink(file, dir.path() / "link");
    DataFile other;
    EXPECT_EQ(OpenDataFile(dir.path() / "link", other), FsError());

    DataFile missing;
    const FsError none = OpenDataFile(dir.path() / "missing", missing);
    EXPECT_TRUE(IsMissing(none));
    EXPECT_FALSE(IsNotAFile(none) || IsTooLarge(none));
    EXPECT_TRUE(DescribeDataFileProblem("m", missing, none).empty());
    fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
    EXPECT_TRUE(IsMissing(OpenDataFile(dir.path() / "dangling", other)));

    DataFile failed;
    const FsError notDir = OpenDataFile(file / "below-a-file", failed);
    EXPECT_FALSE(IsMissing(notDir) || IsNotAFile(notDir) || IsTooLarge(notDir));
    EXPECT_EQ(notDir.Code(), ENOTDIR);
    EXPECT_EQ(DescribeDataFileProblem("x", failed, notDir), "cannot open x: Not a directory");
}

TEST(DataFile, FifosFoldersDevicesAndSocketsAreNeverOpened) {
    TempDir dir;
    const fs::path fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir.path() / "folder");
    fs::create_symlink("/dev/null", dir.path() / "device");

    const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = (dir.path() / "socket").string();
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sockPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    // In a child: with a blocking open the FIFO would wait here for a writer for ever.
    const ChildOutcome child = RunGuarded([&] {
        DataFile f;
        return IsNotAFile(OpenDataFile(fifo, f)) && !f.fd ? 0 : 1;
    });
    EXPECT_TRUE(child.Exited(0)) << "signal " << child.signal;

    const std::pair<const char*, const char*> cases[] = {
        {"fifo", "a FIFO"},
        {"folder", "a folder"},
        {"device", "a character device"},
        {"socket", "a socket"}};
    for (const auto& [name, what] : cases) {
        const std::string path = (dir.path() / name).string();
        DataFile opened;
        const FsError e = OpenDataFile(path, opened);
        EXPECT_TRUE(IsNotAFile(e)) << name;
        EXPECT_FALSE(opened.fd) << name;
        EXPECT_EQ(DescribeDataFileProblem(path, opened, e),
                  path + " is " + what + ", not a regular file");
        DataFile examined;
        EXPECT_TRUE(IsNotAFile(ExamineDataFile(path, examined))) << name;
    }
    ::close(sock);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(DataFile, TypesAndSizesReadAsWords) {
    EXPECT_EQ(DescribeFileType(S_IFREG), "a regular file");
    EXPECT_EQ(DescribeFileType(S_IFBLK), "a block device");
    EXPECT_EQ(DescribeFileType(S_IFLNK), "a symbolic link");
    EXPECT_EQ(DataSizeText(kMaxDataFileSize), "64 MiB");
    EXPECT_EQ(DataSizeText(std::uint64_t(1) << 20), "1 MiB");
    EXPECT_EQ(DataSizeText((std::uint64_t(1) << 20) + 1), "1048577 bytes");
    EXPECT_EQ(DataSizeText(1), "1 byte");
    EXPECT_EQ(DataSizeText(0), "0 bytes");
}

// --- Reports --------------------------------------------------------------------------------

TEST(DataFileReport, ToldOnStandardErrorAndTheLogOncePerProcess) {
    TempDir dir; // a unique message: reports are told once per process
    const std::string message = dir.path().string() + " is a FIFO";
    g_logged.clear();
    SetDataFileReportLog(&Remember);
    testing::internal::CaptureStderr();
    ReportDataFileProblem(message);
    ReportDataFileProblem(message);
    ReportDataFileProblem(message + " (only on standard error)", ReportTo::ErrorOnly);
    const std::string err = testing::internal::GetCapturedStderr();
    SetDataFileReportLog(nullptr);

    EXPECT_EQ(err, "fernwick: " + message + "\nfernwick: " + message +
                       " (only on standard error)\n");
    EXPECT_EQ(g_logged, std::vector<std::string>{message});

    // Without a log only standard error hears of it.
    testing::internal::CaptureStderr();
    ReportDataFileProblem(message + " again");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "fernwick: " + message + " again\n");
    EXPECT_EQ(g_logged.size(), 1u);
}

TEST(DataFileReport, ALineBreakInAPathCannotForgeASecondLine) {
    TempDir dir;
    const std::string message = dir.path().string() + "/a\nfernwick: all is well\x1b[2J is a FIFO";
    testing::internal::CaptureStderr();
    ReportDataFileProblem(message, ReportTo::ErrorOnly);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "fernwick: " + dir.path().string() +
                  "/a\\x0afernwick: all is well\\x1b[2J is a FIFO\n");
}

// --- Following links ------------------------------------------------------------------------

TEST(DataFileLinks, FortyLinksAreFollowedAndNoMore) {
    TempDir dir;
    const fs::path d = dir.path();
    WriteTextFile(d / "real", "x");
    fs::path link = d / "real";
    for (int i = 1; i <= 41; ++i) {
        const fs::path next = d / ("chain" + std::to_string(i));
        fs::create_symlink(link.filename(), next); // relative: read from the link's folder
        link = next;
        std::string target;
        const FsError e = FollowLinks(next.string(), target);
        if (i <= 40)
            EXPECT_EQ(target, (d / "real").string()) << i;
        else
            EXPECT_EQ(e.Code(), ELOOP);
    }
    std::string below;
    EXPECT_EQ(FollowLinks((d / "real" / "x").string(), below).Code(), ENOTDIR);
    EXPECT_TRUE(below.empty());
}

// --- Keeping damaged files aside ------------------------------------------------------------

TEST(DataFileKeepAside, SkipsNamesTakenByAnythingAndReplacesNothing) {
    TempDir dir;
    const std::string file = (dir.path() / "settings.dat").string();
    fs::create_directory(file + ".damaged");
    WriteTextFile(file + ".damaged.2", "earlier");
    WriteTextFile(file, "damaged");
    std::string kept;
    EXPECT_EQ(KeepAside(file, kept), FsError());
    EXPECT_EQ(kept, file + ".damaged.3");
    EXPECT_EQ(ReadTextFile(file + ".damaged.2"), "earlier");
    EXPECT_EQ(ReadTextFile(file + ".damaged.3"), "damaged");
    EXPECT_TRUE(fs::is_directory(file + ".damaged"));

    std::string nothing;
    EXPECT_EQ(KeepAside(file, nothing).Code(), ENOENT);
    EXPECT_TRUE(nothing.empty());
}

// --- XDG folders ----------------------------------------------------------------------------

TEST(XdgDirs, RelativeValuesAreIgnored) {
    EXPECT_EQ(XdgBaseDir("/data", "/home/u", ".local/share"), "/data");
    EXPECT_EQ(XdgBaseDir("data", "/home/u", ".local/share"), "/home/u/.local/share");
    EXPECT_EQ(XdgBaseDir("./data", "/home/u/", ".config"), "/home/u/.config");
    EXPECT_EQ(XdgBaseDir("~/data", "/home/u", ".config"), "/home/u/.config");
    EXPECT_EQ(XdgBaseDir("", "/home/u", ".cache"), "/home/u/.cache");
    EXPECT_EQ(XdgBaseDir(nullptr, "/home/u", ".cache"), "/home/u/.cache");
    EXPECT_EQ(XdgBaseDir("data", "", ".cache"), "");
    EXPECT_EQ(XdgBaseDir("data", nullptr, ".cache"), "");
}

TEST(XdgDirs, RelativeVariablesAreDroppedAndAbsoluteOnesKept) {
    // In a child: the environment of this process stays as CTest set it.
    const ChildOutcome child = RunGuarded([] {
        ::setenv("XDG_DATA_HOME", "relative/data", 1);
        ::setenv("XDG_CONFIG_HOME", "/abs/config", 1);
        ::setenv("XDG_CACHE_HOME", "", 1);
        ::unsetenv("XDG_STATE_HOME");
        ::setenv("XDG_RUNTIME_DIR", "run", 1);
        ::setenv("XDG_DATA_DIRS", "relative:/usr/share", 1); // a list: not one of ours
        DropRelativeXdgDirs();
        int wrong = 0;
        wrong += std::getenv("XDG_DATA_HOME") != nullptr;
        const char* config = std::getenv("XDG_CONFIG_HOME");
        wrong += !config || std::string(config) != "/abs/config";
        wrong += std::getenv("XDG_CACHE_HOME") != nullptr;
        wrong += std::getenv("XDG_STATE_HOME") != nullptr;
        wrong += std::getenv("XDG_RUNTIME_DIR") != nullptr;
        wrong += std::getenv("XDG_DATA_DIRS") == nullptr;
        return wrong;
    });
    EXPECT_TRUE(child.Exited(0)) << child.exitCode << " variables wrong";
}

TEST(XdgDirs, TheProcesssFoldersComeWithoutATrailingSlash) {
    const ChildOutcome child = RunGuarded([] {
        int wrong = 0;
        ::setenv("HOME", "/home/u/", 1);
        ::setenv("XDG_DATA_HOME", "/data//", 1);
        ::unsetenv("XDG_CONFIG_HOME");
        wrong += XdgDataHome() != "/data";
        wrong += XdgConfigHome() != "/home/u/.config";
        ::setenv("XDG_DATA_HOME", "/", 1);
        wrong += XdgDataHome() != "/";
        ::unsetenv("XDG_DATA_HOME");
        ::unsetenv("HOME");
        wrong += !XdgDataHome().empty();
        return wrong;
    });
    EXPECT_TRUE(child.Exited(0)) << child.exitCode << " folders wrong";
}
