// The program's own files: what may be opened, how problems are told, links followed to their
// end, damaged files put aside without replacing anything, and relative XDG folders.
#include "platform/DataFile.h"
#include "platform/RenameNoReplace.h"
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
#include <optional>

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

    DataFile usable = OpenDataFile(file, 10);
    ASSERT_EQ(usable.state, DataFileState::Usable);
    ASSERT_TRUE(usable.fd);
    EXPECT_EQ(usable.size, 10u);
    // Opened for blocking reads again, and reads the file.
    EXPECT_EQ(::fcntl(usable.fd.get(), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(ReadAll(usable.fd.get()), "0123456789");

    const DataFile tooLarge = OpenDataFile(file, 9);
    EXPECT_EQ(tooLarge.state, DataFileState::TooLarge);
    EXPECT_FALSE(tooLarge.fd);
    EXPECT_EQ(DescribeDataFileProblem("f", tooLarge), "f is larger than 9 bytes");

    // Through a link, the file behind it counts.
    fs::create_symlink(file, dir.path() / "link");
    EXPECT_EQ(OpenDataFile(dir.path() / "link").state, DataFileState::Usable);

    const DataFile missing = OpenDataFile(dir.path() / "missing");
    EXPECT_EQ(missing.state, DataFileState::Missing);
    EXPECT_TRUE(DescribeDataFileProblem("m", missing).empty());
    fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
    EXPECT_EQ(OpenDataFile(dir.path() / "dangling").state, DataFileState::Missing);

    const DataFile failed = OpenDataFile(file / "below-a-file");
    EXPECT_EQ(failed.state, DataFileState::Failed);
    EXPECT_EQ(failed.error, ENOTDIR);
    EXPECT_EQ(DescribeDataFileProblem("x", failed), "cannot open x: Not a directory");
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
        const DataFile f = OpenDataFile(fifo);
        return f.state == DataFileState::NotAFile && !f.fd ? 0 : 1;
    });
    EXPECT_TRUE(child.Exited(0)) << "signal " << child.signal;

    const std::pair<const char*, const char*> cases[] = {
        {"fifo", "a FIFO"},
        {"folder", "a folder"},
        {"device", "a character device"},
        {"socket", "a socket"}};
    for (const auto& [name, what] : cases) {
        const std::string path = (dir.path() / name).string();
        const DataFile opened = OpenDataFile(path);
        EXPECT_EQ(opened.state, DataFileState::NotAFile) << name;
        EXPECT_FALSE(opened.fd) << name;
        EXPECT_EQ(DescribeDataFileProblem(path, opened),
                  path + " is " + what + ", not a regular file");
        EXPECT_EQ(ExamineDataFile(path).state, DataFileState::NotAFile) << name;
    }
    ::close(sock);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(DataFile, SparseFileOverSixtyFourMebibytesIsTooLargeWithoutBeingRead) {
    TempDir dir;
    const fs::path file = dir.path() / "huge";
    for (const std::uint64_t size : {kMaxDataFileSize, kMaxDataFileSize + 1}) {
        UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::ftruncate(fd.get(), static_cast<off_t>(size)), 0);
        const DataFile f = OpenDataFile(file);
        EXPECT_EQ(f.state, size > kMaxDataFileSize ? DataFileState::TooLarge : DataFileState::Usable);
        EXPECT_EQ(f.size, size);
        EXPECT_EQ(ExamineDataFile(file).state, f.state);
    }
    EXPECT_EQ(DescribeDataFileProblem("h", OpenDataFile(file)), "h is larger than 64 MiB");
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

// --- Following links ------------------------------------------------------------------------

TEST(DataFileLinks, FollowedToTheFileAtTheEndOfTheChain) {
    TempDir dir;
    const fs::path d = dir.path();
    WriteTextFile(d / "a" / "real", "x");
    fs::create_directories(d / "b");
    fs::create_symlink("../a/real", d / "b" / "rel");    // relative to the link's folder
    fs::create_symlink(d / "b" / "rel", d / "abs");     // absolute
    fs::create_symlink(d / "a" / "not-yet", d / "dangling");
    fs::create_symlink("loop", d / "loop");

    EXPECT_EQ(FollowLinks((d / "a" / "real").string()).path, (d / "a" / "real").string());
    EXPECT_EQ(FollowLinks((d / "abs").string()).path, (d / "b" / "../a/real").string());
    EXPECT_EQ(FollowLinks((d / "missing").string()).path, (d / "missing").string());
    EXPECT_EQ(FollowLinks((d / "dangling").string()).path, (d / "a" / "not-yet").string());
    const LinkTarget loop = FollowLinks((d / "loop").string());
    EXPECT_TRUE(loop.path.empty());
    EXPECT_EQ(loop.error, ELOOP);
    const LinkTarget below = FollowLinks((d / "a" / "real" / "x").string());
    EXPECT_TRUE(below.path.empty());
    EXPECT_EQ(below.error, ENOTDIR);

    // A link named without any folder is read from the current folder.
    const fs::path before = fs::current_path();
    fs::current_path(d);
    EXPECT_EQ(FollowLinks("abs").path, (d / "b" / "../a/real").string());
    fs::create_symlink("a/real", "bare");
    EXPECT_EQ(FollowLinks("bare").path, "a/real");
    fs::current_path(before);

    // Forty links are followed, the forty-first is one too many.
    fs::path link = d / "a" / "real";
    for (int i = 1; i <= 41; ++i) {
        const fs::path next = d / ("chain" + std::to_string(i));
        fs::create_symlink(link, next);
        link = next;
        const LinkTarget t = FollowLinks(next.string());
        if (i <= 40)
            EXPECT_EQ(t.path, (d / "a" / "real").string()) << i;
        else
            EXPECT_EQ(t.error, ELOOP);
    }
}

// --- Keeping damaged files aside ------------------------------------------------------------

TEST(DataFileKeepAside, TakesTheFirstFreeNameAndReplacesNothing) {
    TempDir dir;
    const fs::path file = dir.path() / "settings.dat";
    WriteTextFile(file, "damaged 1");
    KeptAside kept = KeepAside(file.string());
    EXPECT_EQ(kept.error, 0);
    EXPECT_EQ(kept.path, file.string() + ".damaged");
    EXPECT_FALSE(fs::exists(file));

    // Taken names are skipped, whatever they are.
    fs::create_directory(dir.path() / "settings.dat.damaged.2");
    for (int i = 2; i <= 3; ++i) {
        WriteTextFile(file, "damaged " + std::to_string(i));
        kept = KeepAside(file.string());
        EXPECT_EQ(kept.error, 0);
    }
    EXPECT_EQ(kept.path, file.string() + ".damaged.4");
    EXPECT_EQ(ReadTextFile(file.string() + ".damaged"), "damaged 1");
    EXPECT_TRUE(fs::is_directory(file.string() + ".damaged.2"));
    EXPECT_EQ(ReadTextFile(file.string() + ".damaged.3"), "damaged 2");
    EXPECT_EQ(ReadTextFile(file.string() + ".damaged.4"), "damaged 3");

    // Nothing to put aside.
    kept = KeepAside(file.string());
    EXPECT_TRUE(kept.path.empty());
    EXPECT_EQ(kept.error, ENOENT);
}

TEST(DataFileKeepAside, RenameNeverReplacesAnExistingName) {
    TempDir dir;
    WriteTextFile(dir.path() / "from", "new");
    WriteTextFile(dir.path() / "to", "old");
    EXPECT_EQ(RenameNoReplace(AT_FDCWD, (dir.path() / "from").string(), AT_FDCWD,
                              (dir.path() / "to").string()),
              EEXIST);
    EXPECT_EQ(ReadTextFile(dir.path() / "to"), "old");
    EXPECT_EQ(ReadTextFile(dir.path() / "from"), "new");
    EXPECT_EQ(RenameNoReplace(AT_FDCWD, (dir.path() / "from").string(), AT_FDCWD,
                              (dir.path() / "free").string()),
              0);
    EXPECT_EQ(ReadTextFile(dir.path() / "free"), "new");
    EXPECT_FALSE(fs::exists(dir.path() / "from"));
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
