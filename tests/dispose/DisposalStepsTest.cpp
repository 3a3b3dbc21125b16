// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Disposal methods and the per-file steps, on real files: links, swapped folders, other file
// systems and full disks.
#include "dispose/DisposalMethod.h"
#include "dispose/DisposalSteps.h"
#include "platform/SafeFile.h"

#include "platform/StopSignal.h"
#include "platform/UniqueFd.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A scratch tree: paths by relative name.
class Sandbox {
public:
    std::string at(const std::string& rel) const { return (m_dir.path() / rel).string(); }
    std::string file(const std::string& rel, const std::string& text) const {
        fs::create_directories((m_dir.path() / rel).parent_path());
        WriteTextFile(at(rel), text);
        return at(rel);
    }
    std::string dir(const std::string& rel) const {
        fs::create_directories(at(rel));
        return at(rel);
    }

private:
    TempDir m_dir;
};

// A tmpfs mounted for the test's lifetime: another file system to move across.
class TmpfsMount {
public:
    TmpfsMount(const std::string& where, const char* options) : m_where(where) {
        m_ok = ::mount("fernwick-test", where.c_str(), "tmpfs", 0, options) == 0;
        if (!m_ok)
            m_error = std::strerror(errno);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    ~TmpfsMount() {
        if (m_ok)
            ::umount2(m_where.c_str(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }

private:
    std::string m_where;
    bool m_ok = false;
    std::string m_error;
};

#define MOUNT_OR_SKIP(m)                                                                           \
    if (!(m).ok()) {                                                                               \
        GTEST_SKIP() << "cannot mount a tmpfs here (" << (m).error() << ")";                      \
    }

// Makes files larger than bytes fail with EFBIG, as a full disk would, instead of killing us.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &m_oldAction);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::sigaction(SIGXFSZ, &m_oldAction, nullptr);
    }

private:
    rlimit m_old{};
    struct sigaction m_oldAction {};
};

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

struct stat LStat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

std::string Pattern(size_t size) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + i % 23);
    return text;
}

} // namespace

// --- methods and formatting ---

TEST(DisposalMethod, VerbsAndDestinationsPerCode) {
    EXPECT_STREQ(MethodVerb(METHOD_DELETE), "Deleted");
    EXPECT_STREQ(MethodVerb(METHOD_ZIP), "Zipped");
    EXPECT_STREQ(MethodVerb(METHOD_MOVE), "Moved");
    EXPECT_STREQ(MethodVerb(METHOD_RECYCLE), "Moved to Recycle Bin");
    EXPECT_STREQ(MethodVerb(METHOD_PERMANENT_DELETE), "Permanently Deleted");
    for (int unknown : {0, -1, 1021, 1027})
        EXPECT_STREQ(MethodVerb(unknown), "") << unknown;
    EXPECT_EQ((std::vector<int>{METHOD_DELETE, METHOD_ZIP, METHOD_MOVE, METHOD_RECYCLE, METHOD_PERMANENT_DELETE}),
              (std::vector<int>{1022, 1023, 1024, 1025, 1026})); // stored on command lines
    EXPECT_TRUE(MethodNeedsDestination(METHOD_ZIP));
    EXPECT_TRUE(MethodNeedsDestination(METHOD_MOVE));
    for (int code : {METHOD_DELETE, METHOD_RECYCLE, METHOD_PERMANENT_DELETE, 0})
        EXPECT_FALSE(MethodNeedsDestination(code)) << code;
}

TEST(DisposalMethod, GroupThousandsAtGroupBoundaries) {
    EXPECT_EQ(GroupThousands(0), "0");
    EXPECT_EQ(GroupThousands(999), "999");
    EXPECT_EQ(GroupThousands(1000), "1,000");
    EXPECT_EQ(GroupThousands(1005), "1,005");
    EXPECT_EQ(GroupThousands(12345), "12,345");
    EXPECT_EQ(GroupThousands(999999), "999,999");
    EXPECT_EQ(GroupThousands(1000000), "1,000,000");
    EXPECT_EQ(GroupThousands(4294967295u), "4,294,967,295");
    EXPECT_EQ(GroupThousands(4294967296u), "4,294,967,296");
    EXPECT_EQ(GroupThousands(std::numeric_limits<std::uint64_t>::max()), "18,446,744,073,709,551,615");
}

TEST(DisposalMethod, FileNameIsTheLastComponent) {
    EXPECT_EQ(GetFileNameWithExt("/home/u/cache/file.tmp"), "file.tmp");
    EXPECT_EQ(GetFileNameWithExt("/a.b.c"), "a.b.c");
    EXPECT_EQ(GetFileNameWithExt("/dir.d/noext"), "noext");
    EXPECT_EQ(GetFileNameWithExt("plain.txt"), "plain.txt");
    EXPECT_EQ(GetFileNameWithExt("/folder/"), "");
}

// --- every step ---

TEST(DisposalSteps, FolderSwappedForALinkAfterTheScanStopsEveryStep) {
    Sandbox s;
    const std::string path = s.file("scan/victim.txt", "scanned");
    s.file("other/victim.txt", "not chosen");
    const std::string dest = s.dir("dest");
    fs::rename(s.at("scan"), s.at("scan.orig"));
    fs::create_directory_symlink(s.at("other"), s.at("scan"));

    const StepResult results[] = {DeleteFileStep(path), MoveFileStep(path, dest), PermanentDeleteStep(path)};
    for (const StepResult& r : results) {
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.error.Text().find("symbolic link"), std::string::npos) << r.error.Text();
    }
    EXPECT_EQ(ReadTextFile(s.at("other/victim.txt")), "not chosen");
    EXPECT_EQ(ReadTextFile(s.at("scan.orig/victim.txt")), "scanned");
    EXPECT_TRUE(Entries(dest).empty());
}

// --- delete ---

TEST(DeleteFileStep, RemovesARegularFileAndReportsWhyOthersFail) {
    Sandbox s;
    const std::string path = s.file("a.tmp", "x");
    const StepResult done = DeleteFileStep(path);
    EXPECT_TRUE(done.ok()) << done.error.Text();
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));

    const StepResult vanished = DeleteFileStep(path);
    EXPECT_FALSE(vanished.ok());
    EXPECT_EQ(vanished.error.Text(), refusal::kGone);

    const std::string folder = s.dir("looks-like-a-file.tmp");
    EXPECT_FALSE(DeleteFileStep(folder).ok());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(DeleteFileStep("relative/a.tmp").ok());
}

TEST(DeleteFileStep, SymbolicLinkIsNotFollowedNorRemoved) {
    Sandbox s;
    const std::string target = s.file("target.txt", "keep");
    fs::create_symlink(target, s.at("link.tmp"));
    const StepResult r = DeleteFileStep(s.at("link.tmp"));
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.Text().find("symbolic link"), std::string::npos) << r.error.Text();
    EXPECT_TRUE(fs::is_symlink(s.at("link.tmp")));
    EXPECT_EQ(ReadTextFile(target), "keep");
}

// --- move ---

TEST(MoveFileStep, TargetIsJoinedWithExactlyOneSlash) {
    EXPECT_EQ(MoveTarget("/a/b.txt", "/x"), "/x/b.txt");
    EXPECT_EQ(MoveTarget("/a/b.txt", "/x/"), "/x/b.txt");
    EXPECT_EQ(MoveTarget("/a/b.txt", "/x//"), "/x/b.txt");
    EXPECT_EQ(MoveTarget("/a/b.txt", "/"), "/b.txt");

    Sandbox s;
    const std::string dest = s.dir("dest");
    const std::string one = s.file("src/one.tmp", "1");
    const std::string two = s.file("src/two.tmp", "2");
    const ino_t inode = LStat(one).st_ino;
    EXPECT_TRUE(MoveFileStep(one, dest).ok());
    EXPECT_TRUE(MoveFileStep(two, dest + "/").ok());
    EXPECT_EQ(ReadTextFile(dest + "/one.tmp"), "1");
    EXPECT_EQ(ReadTextFile(dest + "/two.tmp"), "2");
    EXPECT_EQ(LStat(dest + "/one.tmp").st_ino, inode); // renamed, not copied
    EXPECT_FALSE(fs::exists(one));
    EXPECT_FALSE(fs::exists(two));
}

TEST(MoveFileStep, ExistingNameIsNeverReplaced) {
    Sandbox s;
    const std::string path = s.file("src/same.txt", "moving");
    s.file("dest/same.txt", "already there");
    const StepResult r = MoveFileStep(path, s.at("dest"));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.error.Text(), "the destination already has a file of that name");
    EXPECT_EQ(ReadTextFile(path), "moving");
    EXPECT_EQ(ReadTextFile(s.at("dest/same.txt")), "already there");
}

TEST(MoveFileStep, LinksAndMissingFoldersMoveNothing) {
    Sandbox s;
    const std::string path = s.file("src/f.txt", "data");
    const std::string dest = s.dir("dest");
    fs::create_symlink(path, s.at("src/link.txt"));
    fs::create_directory_symlink(dest, s.at("dest-link"));

    const StepResult link = MoveFileStep(s.at("src/link.txt"), dest);
    EXPECT_FALSE(link.ok());
    EXPECT_TRUE(fs::is_symlink(s.at("src/link.txt")));
    const StepResult viaLink = MoveFileStep(path, s.at("dest-link"));
    EXPECT_FALSE(viaLink.ok());
    EXPECT_NE(viaLink.error.Text().find("destination folder"), std::string::npos) << viaLink.error.Text();
    const StepResult missing = MoveFileStep(path, s.at("no-such-folder"));
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error.Text().find(ErrorText(ENOENT)), std::string::npos) << missing.error.Text();
    EXPECT_FALSE(MoveFileStep(path, "").ok());

    EXPECT_EQ(ReadTextFile(path), "data");
    EXPECT_TRUE(Entries(dest).empty());
}

TEST(MoveFileStep, AcrossFileSystemsTheCopyKeepsDataModeAndTimes) {
    Sandbox s;
    const std::string dest = s.dir("mnt");
    TmpfsMount mount(dest, "size=8m");
    MOUNT_OR_SKIP(mount)
    const std::string content = Pattern(3 * 1024 * 1024 + 17); // several copy chunks
    const std::string path = s.file("src/big.dat", content);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const timespec times[2] = {{1000000000, 111}, {1200000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

    const StepResult r = MoveFileStep(path, dest);
    ASSERT_TRUE(r.ok()) << r.error.Text();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(Entries(dest), std::vector<std::string>{"big.dat"}); // no temporary file left
    const struct stat st = LStat(dest + "/big.dat"); // before reading it moves the access time
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, times[1].tv_nsec);
    EXPECT_EQ(st.st_atim.tv_sec, times[0].tv_sec);
    EXPECT_EQ(ReadTextFile(dest + "/big.dat"), content);
}

TEST(MoveFileStep, FailedCopyAcrossLeavesTheOriginalAndNoPartialFile) {
    Sandbox s;
    const std::string dest = s.dir("mnt");
    TmpfsMount mount(dest, "size=64k");
    MOUNT_OR_SKIP(mount)
    const std::string content = Pattern(1024 * 1024);
    const std::string path = s.file("src/f.dat", content);

    const StepResult full = MoveFileStep(path, dest); // the small tmpfs fills up
    EXPECT_FALSE(full.ok());
    EXPECT_NE(full.error.Text().find(ErrorText(ENOSPC)), std::string::npos) << full.error.Text();
    EXPECT_TRUE(Entries(dest).empty());
    EXPECT_EQ(ReadTextFile(path), content);
    {
        FileSizeLimit limit(16 * 1024);
        const StepResult tooLarge = MoveFileStep(path, dest);
        EXPECT_FALSE(tooLarge.ok());
        EXPECT_NE(tooLarge.error.Text().find(ErrorText(EFBIG)), std::string::npos) << tooLarge.error.Text();
    }
    EXPECT_TRUE(Entries(dest).empty());
    EXPECT_EQ(ReadTextFile(path), content);

    WriteTextFile(dest + "/f.dat", "theirs"); // a name taken on the other file system
    const StepResult taken = MoveFileStep(path, dest);
    EXPECT_FALSE(taken.ok());
    EXPECT_EQ(taken.error.Text(), "the destination already has a file of that name");
    EXPECT_EQ(Entries(dest), std::vector<std::string>{"f.dat"});
    EXPECT_EQ(ReadTextFile(dest + "/f.dat"), "theirs");
    EXPECT_EQ(ReadTextFile(path), content);
}

TEST(MoveFileStep, AcrossFileSystemsHolesAndExtendedAttributesAreKept) {
    Sandbox s;
    const std::string dest = s.dir("mnt");
    // Far too small for the file's length: it only fits with its holes kept.
    TmpfsMount mount(dest, "size=1m");
    MOUNT_OR_SKIP(mount)
    const std::string path = s.file("src/sparse.img", "");
    const off_t far = 64 * 1024 * 1024;
    {
        const UniqueFd w(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_EQ(::pwrite(w.get(), "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(w.get(), "middle", 6, far / 2), 6);
        ASSERT_EQ(::ftruncate(w.get(), far), 0); // a hole at the end too
    }
    if (::setxattr(path.c_str(), "user.fernwick.origin", "scan", 4, 0) != 0)
        GTEST_SKIP() << "no extended attributes on " << path << ": " << std::strerror(errno);
    ASSERT_EQ(::setxattr(path.c_str(), "user.fernwick.empty", "", 0, 0), 0);

    const StepResult r = MoveFileStep(path, dest);
    ASSERT_TRUE(r.ok()) << r.error.Text();
    EXPECT_TRUE(r.note.empty()) << r.note;
    EXPECT_FALSE(fs::exists(path));
    const std::string moved = dest + "/sparse.img";
    const struct stat st = LStat(moved);
    EXPECT_EQ(st.st_size, far);
    EXPECT_LT(st.st_blocks * 512, 1024 * 1024) << "the holes were filled";
    const UniqueFd in(::open(moved.c_str(), O_RDONLY | O_CLOEXEC));
    char buf[8] = {};
    ASSERT_EQ(::pread(in.get(), buf, 4, 0), 4);
    EXPECT_EQ(std::string(buf, 4), "head");
    ASSERT_EQ(::pread(in.get(), buf, 6, far / 2), 6);
    EXPECT_EQ(std::string(buf, 6), "middle");
    ASSERT_EQ(::pread(in.get(), buf, 4, far / 2 - 4), 4);
    EXPECT_EQ(std::string(buf, 4), std::string(4, '\0'));
    char value[16] = {};
    EXPECT_EQ(::getxattr(moved.c_str(), "user.fernwick.origin", value, sizeof value), 4);
    EXPECT_EQ(std::string(value, 4), "scan");
    EXPECT_EQ(::getxattr(moved.c_str(), "user.fernwick.empty", value, sizeof value), 0);
}

TEST(MoveFileStep, ADestinationWithoutExtendedAttributesIsNotedAndTheMoveGoesOn) {
    Sandbox s;
    const std::string dest = s.dir("ramfs");
    if (::mount("fernwick-test", dest.c_str(), "ramfs", 0, nullptr) != 0)
        GTEST_SKIP() << "cannot mount a ramfs here (" << std::strerror(errno) << ")";
    const std::string path = s.file("src/tagged.txt", "tagged");
    const bool tagged = ::setxattr(path.c_str(), "user.fernwick.origin", "scan", 4, 0) == 0;
    const StepResult r = MoveFileStep(path, dest);
    const bool accepts = ::setxattr((dest + "/tagged.txt").c_str(), "user.fernwick.probe", "x", 1, 0) == 0;
    ::umount2(dest.c_str(), MNT_DETACH);
    if (!tagged)
        GTEST_SKIP() << "no extended attributes on " << path;
    if (accepts)
        GTEST_SKIP() << "this kernel's ramfs holds extended attributes";
    ASSERT_TRUE(r.ok()) << r.error.Text();
    EXPECT_EQ(r.note, "the destination cannot hold extended attributes; 1 was not kept");
    EXPECT_FALSE(fs::exists(path));
}

TEST(MoveFileStep, AStoppedCopyLeavesTheOriginalAndNothingInTheDestination) {
    Sandbox s;
    const std::string dest = s.dir("mnt");
    TmpfsMount mount(dest, "size=16m");
    MOUNT_OR_SKIP(mount)
    const std::string content = Pattern(5 * 1024 * 1024 + 3); // several chunks
    const std::string path = s.file("src/big.dat", content);

    int asked = 0;
    const StepResult stopped = MoveFileStep(path, dest, [&] { return ++asked > 2; });
    EXPECT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.error.Text(), refusal::kStopped);
    EXPECT_EQ(asked, 3); // between chunks, not only at the start
    EXPECT_TRUE(Entries(dest).empty()); // no partial copy, no hidden temporary file
    EXPECT_EQ(ReadTextFile(path), content);

    // By default the copy stops for SIGTERM, SIGINT and SIGHUP.
    InstallStopSignals();
    ::raise(SIGTERM);
    ASSERT_TRUE(StopSignalReceived());
    const StepResult bySignal = MoveFileStep(path, dest);
    ResetStopSignalForTests();
    EXPECT_EQ(bySignal.error.Text(), refusal::kStopped);
    EXPECT_TRUE(Entries(dest).empty());
    EXPECT_EQ(ReadTextFile(path), content);

    // Unstopped, the same move goes through.
    const StepResult done = MoveFileStep(path, dest);
    ASSERT_TRUE(done.ok()) << done.error.Text();
    EXPECT_EQ(ReadTextFile(dest + "/big.dat"), content);
}

// --- permanent delete ---

TEST(PermanentDeleteStep, ContentIsOverwrittenBeforeTheFileGoes) {
    Sandbox s;
    const std::string content = Pattern(1024 * 1024 + 123); // more than one chunk
    const std::string path = s.file("secret.txt", content);
    // The data stays reachable through this descriptor after the name is gone.
    const UniqueFd reader(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(reader);

    const StepResult r = PermanentDeleteStep(path);
    ASSERT_TRUE(r.ok()) << r.error.Text();
    EXPECT_TRUE(r.note.empty()) << r.note;
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
    EXPECT_TRUE(Entries(s.at("")).empty()); // the empty stand-in is gone too
    std::string after(content.size() + 10, 'x');
    ASSERT_EQ(::pread(reader.get(), after.data(), after.size(), 0), static_cast<ssize_t>(content.size()));
    after.resize(content.size());
    EXPECT_EQ(after, std::string(content.size(), '\0'));
}

TEST(PermanentDeleteStep, SparseFileHasItsDataOverwrittenWithoutFillingTheHoles) {
    Sandbox s;
    const std::string path = s.file("sparse.img", "");
    const off_t dataAt = 32 * 1024 * 1024;
    {
        const UniqueFd w(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_EQ(::pwrite(w.get(), "secret", 6, dataAt), 6);
    }
    const UniqueFd reader(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    const bool tracksHoles = ::lseek(reader.get(), 0, SEEK_DATA) > 0; // else all of it is data

    const StepResult r = PermanentDeleteStep(path);
    ASSERT_TRUE(r.ok()) << r.error.Text();
    char tail[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
    ASSERT_EQ(::pread(reader.get(), tail, sizeof tail, dataAt), 6);
    EXPECT_EQ(std::string(tail, 6), std::string(6, '\0'));
    struct stat st {};
    ASSERT_EQ(::fstat(reader.get(), &st), 0);
    if (tracksHoles) {
        EXPECT_LT(st.st_blocks * 512, 1024 * 1024) << "the holes were filled with zeros";
    }
}

TEST(PermanentDeleteStep, HardLinkedFileIsOnlyDeletedSoTheOtherNameKeepsItsData) {
    Sandbox s;
    const std::string path = s.file("a/chosen.txt", "shared data");
    fs::create_directories(s.at("b"));
    fs::create_hard_link(path, s.at("b/other-name.txt"));
    const StepResult r = PermanentDeleteStep(path);
    EXPECT_TRUE(r.ok()) << r.error.Text();
    EXPECT_NE(r.note.find("other names"), std::string::npos) << r.note;
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ReadTextFile(s.at("b/other-name.txt")), "shared data");
}

TEST(PermanentDeleteStep, LinksAndVanishedFilesAreLeftAlone) {
    Sandbox s;
    const std::string target = s.file("target.txt", "not chosen");
    fs::create_symlink(target, s.at("chosen.txt")); // the chosen file replaced by a link
    const StepResult link = PermanentDeleteStep(s.at("chosen.txt"));
    EXPECT_FALSE(link.ok());
    EXPECT_NE(link.error.Text().find("symbolic link"), std::string::npos) << link.error.Text();
    EXPECT_TRUE(fs::is_symlink(s.at("chosen.txt")));
    EXPECT_EQ(ReadTextFile(target), "not chosen");

    const StepResult vanished = PermanentDeleteStep(s.at("gone.txt"));
    EXPECT_FALSE(vanished.ok());
    EXPECT_EQ(vanished.error.Text(), refusal::kGone);

    const std::string empty = s.file("empty.txt", "");
    EXPECT_TRUE(PermanentDeleteStep(empty).ok());
    EXPECT_FALSE(fs::exists(empty));
}
