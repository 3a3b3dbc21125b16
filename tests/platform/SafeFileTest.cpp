// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The file layer every core part uses: opening without following links, at any path length,
// telling a file apart from the one looked at before, whole reads and writes, atomic
// replacement, and the one failure type with its fixed wordings.
#include "platform/FileIo.h"
#include "platform/FsError.h"
#include "platform/SafeFile.h"

#include "support/DeepTree.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

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

TEST(FsError, OneTypeWithFixedWordings) {
    EXPECT_FALSE(FsError());
    EXPECT_EQ(FsError().Text(), "");
    const FsError plain = FsError::System(ENOENT);
    EXPECT_TRUE(plain);
    EXPECT_EQ(plain.Text(), "No such file or directory");
    EXPECT_EQ(FsError::System(ENOSPC, "writing the copy failed").Text(),
              "writing the copy failed: No space left on device");
    const FsError link = FsError::Refused(ELOOP, refusal::kLink);
    EXPECT_EQ(link.Code(), ELOOP);
    EXPECT_TRUE(link.IsRefusal());
    EXPECT_EQ(link.Text(), "it is a symbolic link, which is never followed");
    EXPECT_EQ(ErrorText(EACCES), "Permission denied");

    EXPECT_EQ(NotRegularFile(S_IFREG | 0644), FsError());
    EXPECT_EQ(NotRegularFile(S_IFLNK | 0777).Wording(), std::string(refusal::kLink));
    for (unsigned mode : {S_IFDIR, S_IFIFO, S_IFCHR, S_IFSOCK})
        EXPECT_EQ(NotRegularFile(mode).Wording(), std::string(refusal::kNotRegular)) << mode;

    for (const char* changed : {refusal::kReplaced, refusal::kRewritten, refusal::kGone, refusal::kOtherFileSystem})
        EXPECT_TRUE(IsChangedFile(FsError::Refused(ESTALE, changed))) << changed;
    for (const char* other : {refusal::kLink, refusal::kLinkOnPath, refusal::kNotRegular})
        EXPECT_FALSE(IsChangedFile(FsError::Refused(ELOOP, other))) << other;
    // The same text from another place is not the check itself.
    EXPECT_FALSE(IsChangedFile(FsError::System(ESTALE, "it is another file now")));
}

TEST(SafeFile, SplitPathTakesAbsolutePathsToANameOnly) {
    struct Case {
        const char* path;
        bool ok;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {
        {"/a/b.txt", true, "/a", "b.txt"}, {"/b", true, "/", "b"},
        {"/a/b/", false, "", ""},          {"relative/b", false, "", ""},
        {"", false, "", ""},               {"/a/..", false, "", ""},
        {"/a/.", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string folder, name;
        const FsError e = SplitPath(c.path, folder, name);
        EXPECT_EQ(!e, c.ok) << c.path;
        if (!c.ok) {
            EXPECT_EQ(e.Wording(), std::string(refusal::kNotAbsolute)) << c.path;
        }
        if (c.ok) {
            EXPECT_EQ(folder, c.folder);
            EXPECT_EQ(name, c.name);
        }
    }
}

TEST(SafeFile, FoldersOpenOnlyWithoutLinksOnTheWay) {
    TempDir dir;
    const fs::path real = dir.path() / "real" / "inner";
    fs::create_directories(real);
    fs::create_directory_symlink(dir.path() / "real", dir.path() / "linked");
    WriteTextFile(dir.path() / "file", "x");

    UniqueFd fd;
    EXPECT_FALSE(OpenFolder(real.string(), fd));
    EXPECT_TRUE(fd);
    struct stat opened {};
    ASSERT_EQ(::fstat(fd.get(), &opened), 0);
    EXPECT_EQ(opened.st_ino, LStat(real.string()).st_ino);

    const FsError viaLink = OpenFolder((dir.path() / "linked" / "inner").string(), fd);
    EXPECT_EQ(viaLink.Wording(), std::string(refusal::kLinkOnPath));
    EXPECT_FALSE(fd);
    EXPECT_EQ(OpenFolder((dir.path() / "linked").string(), fd).Code(), ELOOP);
    EXPECT_EQ(OpenFolder((dir.path() / "file" / "x").string(), fd).Wording(),
              std::string(refusal::kNotFolderOnPath));
    EXPECT_EQ(OpenFolder((dir.path() / "missing").string(), fd).Wording(), std::string(refusal::kGone));
    EXPECT_EQ(OpenFolder("relative/folder", fd).Wording(), std::string(refusal::kNotAbsolute));
    EXPECT_EQ(OpenFolder((real / ".." / "inner").string(), fd).Wording(), std::string(refusal::kClimbs));
}

TEST(SafeFile, OpenAtRefusesLinksAndOtherFileSystemsWhenAsked) {
    TempDir dir;
    fs::create_directories(dir.path() / "sub" / "deeper");
    fs::create_directories(dir.path() / "mnt");
    fs::create_directory_symlink(dir.path() / "sub", dir.path() / "link");
    const UniqueFd top(::open(dir.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(top);
    const int flags = O_RDONLY | O_DIRECTORY;
    UniqueFd fd;
    EXPECT_FALSE(OpenAtNoFollow(top.get(), "sub/deeper", flags, fd));
    EXPECT_TRUE(fd);
    EXPECT_EQ(OpenAtNoFollow(top.get(), "link/deeper", flags, fd).Code(), ELOOP);
    EXPECT_FALSE(fd);
    EXPECT_TRUE(OpenAtNoFollow(top.get(), "link", flags, fd));

    if (::mount("fernwick-test", (dir.path() / "mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    EXPECT_FALSE(OpenAtNoFollow(top.get(), "mnt", flags, fd));
    EXPECT_EQ(OpenAtNoFollow(top.get(), "mnt", flags, fd, true).Code(), EXDEV);
    ::umount2((dir.path() / "mnt").c_str(), MNT_DETACH);
}

TEST(SafeFile, PathsLongerThanPathMaxAreOpenedInSteps) {
    TempDir dir;
    const std::string base = dir.path().string();
    const std::string deep = MakeDeepFolder(base, 2 * PATH_MAX);
    ASSERT_GT(deep.size(), static_cast<size_t>(2 * PATH_MAX));
    WriteDeepFile(base, deep, "far.txt", "far");

    UniqueFd fd;
    const FsError opened = OpenFolder(deep, fd);
    ASSERT_FALSE(opened) << opened.Text();
    struct stat st {};
    EXPECT_EQ(::fstatat(fd.get(), "far.txt", &st, AT_SYMLINK_NOFOLLOW), 0);

    HeldFile held;
    const FsError h = HoldFile(deep + "/far.txt", held);
    ASSERT_FALSE(h) << h.Text();
    EXPECT_EQ(held.name, "far.txt");
    EXPECT_EQ(held.st.st_size, 3);

    // A link in the middle of the long path is refused like anywhere else.
    const std::string mid = deep.substr(0, base.size() + 201 * 12);
    ASSERT_EQ(mid.back(), 'd');
    ASSERT_EQ(::rename(mid.c_str(), (mid + ".real").c_str()), 0)
        << "the middle folder is reachable by a short path";
    ASSERT_EQ(::symlink((mid + ".real").c_str(), mid.c_str()), 0);
    EXPECT_EQ(OpenFolder(deep, fd).Wording(), std::string(refusal::kLinkOnPath));
    EXPECT_EQ(HoldFile(deep + "/far.txt", held).Code(), ELOOP);
    ::unlink(mid.c_str());
    ASSERT_EQ(::rename((mid + ".real").c_str(), mid.c_str()), 0);

    // A name longer than any file system allows is told as such.
    EXPECT_EQ(OpenFolder(base + "/" + std::string(300, 'n'), fd).Code(), ENAMETOOLONG);
    RemoveDeepTree(base + "/" + std::string(200, 'd'));
}

// Kernels without openat2: the same answers from the walk component by component. A child
// process has openat2 answer ENOSYS (seccomp) and reports each check in a bit of its status.
TEST(SafeFile, WithoutOpenat2TheWalkRefusesTheSame) {
    TempDir dir;
    const std::string base = dir.path().string();
    fs::create_directories(dir.path() / "real" / "inner");
    fs::create_directories(dir.path() / "mnt");
    fs::create_directory_symlink(dir.path() / "real", dir.path() / "linked");
    WriteTextFile(dir.path() / "file", "x");
    const std::string deep = MakeDeepFolder(base, PATH_MAX + 300);
    WriteDeepFile(base, deep, "far.txt", "far");
    const bool mounted = ::mount("fernwick-test", (dir.path() / "mnt").c_str(), "tmpfs", 0, "size=1m") == 0;

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(255);
        int failed = 0;
        UniqueFd fd;
        if (OpenFolder(base + "/real/inner", fd) || !fd)
            failed |= 1;
        if (OpenFolder(base + "/linked/inner", fd).Wording() != std::string(refusal::kLinkOnPath))
            failed |= 2;
        if (OpenFolder(base + "/linked", fd).Code() != ELOOP)
            failed |= 4;
        if (OpenFolder(base + "/file/x", fd).Wording() != std::string(refusal::kNotFolderOnPath))
            failed |= 8;
        HeldFile held;
        if (HoldFile(deep + "/far.txt", held) || held.st.st_size != 3)
            failed |= 16;
        const UniqueFd top(::open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        UniqueFd opened;
        if (mounted &&
            OpenAtNoFollow(top.get(), "mnt", O_RDONLY | O_DIRECTORY, opened, true).Code() != EXDEV)
            failed |= 32;
        if (OpenAtNoFollow(top.get(), "real/inner", O_RDONLY | O_DIRECTORY, opened, true))
            failed |= 64;
        // Proof that the walk, not openat2, answered.
        if (::syscall(SYS_openat2, AT_FDCWD, "/", nullptr, 0) != -1 || errno != ENOSYS)
            failed |= 128;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (mounted)
        ::umount2((dir.path() / "mnt").c_str(), MNT_DETACH);
    RemoveDeepTree(base + "/" + std::string(200, 'd'));
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 255)
        GTEST_SKIP() << "seccomp is not available here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks, as bits: " << WEXITSTATUS(status);
}

TEST(SafeFile, HeldFilesAreRegularFilesReachedWithoutLinks) {
    TempDir dir;
    WriteTextFile(dir.path() / "f.txt", "data");
    fs::create_symlink(dir.path() / "f.txt", dir.path() / "link.txt");
    fs::create_directory(dir.path() / "folder");
    ASSERT_EQ(::mkfifo((dir.path() / "pipe").c_str(), 0600), 0);

    HeldFile held;
    ASSERT_FALSE(HoldFile((dir.path() / "f.txt").string(), held));
    EXPECT_EQ(held.st.st_ino, LStat((dir.path() / "f.txt").string()).st_ino);
    struct Case {
        const char* name;
        const char* wording;
    };
    for (const Case& c : {Case{"link.txt", refusal::kLink}, Case{"folder", refusal::kNotRegular},
                          Case{"pipe", refusal::kNotRegular}, Case{"gone.txt", refusal::kGone}}) {
        HeldFile other;
        const FsError e = HoldFile((dir.path() / c.name).string(), other);
        EXPECT_EQ(e.Wording(), std::string(c.wording)) << c.name;
        EXPECT_FALSE(other.dir) << c.name;
    }
    HeldFile slash;
    EXPECT_EQ(HoldFile((dir.path() / "folder").string() + "/", slash).Wording(),
              std::string(refusal::kNotAbsolute));

    // Opening the held file checks it is still the one held.
    UniqueFd fd;
    EXPECT_FALSE(OpenHeld(held, O_RDONLY, fd));
    EXPECT_TRUE(fd);
    EXPECT_EQ(::fcntl(fd.get(), F_GETFL) & O_NONBLOCK, 0);
    fs::rename(dir.path() / "f.txt", dir.path() / "old.txt");
    WriteTextFile(dir.path() / "f.txt", "new data");
    EXPECT_EQ(OpenHeld(held, O_RDONLY, fd).Wording(), std::string(refusal::kReplaced));
    EXPECT_FALSE(fd);
    EXPECT_EQ(CheckStillSame(held).Wording(), std::string(refusal::kReplaced));
    fs::remove(dir.path() / "f.txt");
    fs::create_symlink(dir.path() / "old.txt", dir.path() / "f.txt");
    EXPECT_EQ(CheckStillSame(held).Wording(), std::string(refusal::kLink));
    EXPECT_EQ(OpenHeld(held, O_RDONLY, fd).Code(), ELOOP);
    fs::remove(dir.path() / "f.txt");
    EXPECT_EQ(CheckStillSame(held).Wording(), std::string(refusal::kGone));
}

TEST(SafeFile, WhatWasSeenTellsReplacedRewrittenAndRemountedFiles) {
    TempDir dir;
    const std::string path = (dir.path() / "scan" / "f.tmp").string();
    WriteTextFile(path, "0123456789");
    const FileSeen seen = FileSeen::Of(LStat(path));
    EXPECT_EQ(seen.size, 10u);

    auto check = [&] {
        HeldFile held;
        if (FsError e = HoldFile(path, held))
            return e;
        return CheckSeen(held, seen);
    };
    EXPECT_EQ(check(), FsError());
    {
        HeldFile held;
        ASSERT_FALSE(HoldFile(path, held));
        EXPECT_EQ(CheckSeen(held, FileSeen{}).Wording(), std::string(refusal::kNotSeen));
    }

    // Rewritten in place with as many bytes: only the time tells.
    timespec later[2] = {{0, UTIME_OMIT}, {seen.mtime, seen.mtimeNsec + 1 == 1000000000 ? 0 : seen.mtimeNsec + 1}};
    if (later[1].tv_nsec == 0)
        later[1].tv_sec += 1;
    WriteTextFile(path, "9876543210");
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_EQ(check().Wording(), std::string(refusal::kRewritten));
    // Back to the same time but another size.
    const timespec same[2] = {{0, UTIME_OMIT}, {seen.mtime, seen.mtimeNsec}};
    WriteTextFile(path, "short");
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), same, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_EQ(check().Wording(), std::string(refusal::kRewritten));

    // Replaced by another file of the same size and time.
    WriteTextFile(dir.path() / "other", "0123456789");
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir.path() / "other").c_str(), same, 0), 0);
    fs::rename(dir.path() / "other", path);
    EXPECT_EQ(check().Wording(), std::string(refusal::kReplaced));

    // A file system mounted over the folder, with a file of that name.
    if (::mount("fernwick-test", (dir.path() / "scan").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    WriteTextFile(path, "0123456789");
    EXPECT_EQ(check().Wording(), std::string(refusal::kOtherFileSystem));
    ::umount2((dir.path() / "scan").c_str(), MNT_DETACH);
}

TEST(FileIo, WholeWritesAndReadsAndTheirFailures) {
    TempDir dir;
    const std::string big = Pattern(300 * 1024); // several pipe buffers and read chunks
    const std::string path = (dir.path() / "big").string();
    {
        const UniqueFd out(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        EXPECT_FALSE(WriteAll(out.get(), big));
    }
    const UniqueFd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string read = "kept:";
    EXPECT_FALSE(ReadAll(in.get(), read));
    EXPECT_EQ(read, "kept:" + big);

    const UniqueFd again(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string part;
    const FsError tooLarge = ReadAll(again.get(), part, 1000);
    EXPECT_EQ(tooLarge.Code(), EFBIG);
    EXPECT_EQ(part, big.substr(0, 1000));

    const UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(full);
    EXPECT_EQ(WriteAll(full.get(), "x").Code(), ENOSPC);
    EXPECT_EQ(WriteAll(-1, "x").Code(), EBADF);
    std::string none;
    EXPECT_EQ(ReadAll(-1, none).Code(), EBADF);
}

TEST(FileIo, ReplaceFileAtomicallyKeepsModeAndLeavesNothingOnFailure) {
    TempDir dir;
    const std::string path = (dir.path() / "settings.dat").string();
    ASSERT_FALSE(ReplaceFileAtomically(path, "first\n"));
    EXPECT_EQ(ReadTextFile(path), "first\n");
    EXPECT_EQ(LStat(path).st_mode & 07777, 0644u);

    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    const ino_t before = LStat(path).st_ino;
    ASSERT_FALSE(ReplaceFileAtomically(path, "second\n"));
    EXPECT_EQ(ReadTextFile(path), "second\n");
    EXPECT_EQ(LStat(path).st_mode & 07777, 0600u);
    EXPECT_NE(LStat(path).st_ino, before); // a new file, renamed over the old one

    const FsError missing = ReplaceFileAtomically((dir.path() / "no" / "such").string(), "x");
    EXPECT_EQ(missing.Code(), ENOENT);

    // A folder in the way: the rename fails and the temporary file goes again.
    fs::create_directory(dir.path() / "folder");
    WriteTextFile(dir.path() / "folder" / "inside", "x");
    const FsError blocked = ReplaceFileAtomically((dir.path() / "folder").string(), "x");
    EXPECT_TRUE(blocked);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"folder", "settings.dat"}));
}
