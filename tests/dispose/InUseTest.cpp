// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The in-use test against real processes: children that hold a file open, locked or mapped.
#include "dispose/CInUseChecker.h"

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"
#include "support/GuardedChild.h"
#include "support/HoldingChild.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

// The checker's answer as the log holds it: nothing for a free file.
std::optional<std::string> Answer(const FsError& busy) {
    return busy ? std::optional<std::string>(busy.Text()) : std::nullopt;
}

// A claim and the answer that came with it.
struct Verdict {
    std::optional<std::string> busy;
    CInUseClaim claim;
};
Verdict ClaimOf(const CInUseChecker& checker, const std::string& path, const HeldFile& held,
                CInUseChecker::Access access = CInUseChecker::Access::Read) {
    Verdict v;
    v.busy = Answer(checker.Claim(path, held, v.claim, access));
    return v;
}


bool Contains(const std::optional<std::string>& text, const std::string& part) {
    return text && text->find(part) != std::string::npos;
}

HeldFile Held(const std::string& path) {
    HeldFile held;
    if (FsError e = HoldFile(path, held))
        ADD_FAILURE() << path << ": " << e.Text();
    return held;
}

std::string OwnCommand() {
    std::string comm = ReadTextFile("/proc/self/comm");
    if (!comm.empty() && comm.back() == '\n')
        comm.pop_back();
    return comm;
}

} // namespace

TEST(InUse, FreeFileAndOurOwnDescriptorsDoNotCount) {
    TempDir dir;
    const std::string path = (dir.path() / "free.tmp").string();
    WriteTextFile(path, "x");
    CInUseChecker checker;
    EXPECT_EQ(Answer(checker.Check(path)), std::nullopt);
    // The check took and dropped its own lock: others can lock the file right after.
    const UniqueFd mine(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_TRUE(mine);
    EXPECT_EQ(::flock(mine.get(), LOCK_EX | LOCK_NB), 0);
    ::flock(mine.get(), LOCK_UN);

    struct flock lk {};
    lk.l_type = F_WRLCK;
    lk.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(mine.get(), F_SETLK, &lk), 0);
    void* mapped = ::mmap(nullptr, 1, PROT_READ, MAP_SHARED, mine.get(), 0);
    ASSERT_NE(mapped, MAP_FAILED);
    // Our own holdings keep the kernel from granting a lease; the look in /proc then finds only us.
    const Verdict held = ClaimOf(checker, path, Held(path));
    EXPECT_EQ(held.busy, std::nullopt);
    EXPECT_FALSE(held.claim.Leased());
    EXPECT_EQ(Answer(checker.Check(path)), std::nullopt);
    ::munmap(mapped, 1);
}

TEST(InUse, FileOpenInAnotherProcessNamesTheProcess) {
    TempDir dir;
    const std::string path = (dir.path() / "report.doc").string();
    const std::string other = (dir.path() / "other.doc").string();
    WriteTextFile(path, "x");
    WriteTextFile(other, "y");
    HoldingChild child([&] { return ::open(path.c_str(), O_RDONLY) >= 0; });
    ASSERT_TRUE(child.ready());

    CInUseChecker checker;
    const auto busy = Answer(checker.Check(path));
    EXPECT_TRUE(Contains(busy, "A sharing violation occurred while accessing " + path)) << busy.value_or("free");
    EXPECT_TRUE(Contains(busy, "it is open in process " + std::to_string(child.pid()) + " (" + OwnCommand() + ")"))
        << busy.value_or("free");
    EXPECT_EQ(Answer(checker.Check(other)), std::nullopt); // the same checker, a file nobody holds
}

TEST(InUse, LockedFileNamesTheLocker) {
    TempDir dir;
    const std::string flocked = (dir.path() / "flock.db").string();
    const std::string recordLocked = (dir.path() / "fcntl.db").string();
    const std::string ofdLocked = (dir.path() / "ofd.db").string();
    for (const std::string& p : {flocked, recordLocked, ofdLocked})
        WriteTextFile(p, "data");
    HoldingChild flocker([&] {
        const int fd = ::open(flocked.c_str(), O_RDONLY);
        return fd >= 0 && ::flock(fd, LOCK_EX) == 0;
    });
    auto writeLock = [](const std::string& p, int command) {
        const int fd = ::open(p.c_str(), O_RDWR);
        struct flock lk {};
        lk.l_type = F_WRLCK;
        lk.l_whence = SEEK_SET;
        return fd >= 0 && ::fcntl(fd, command, &lk) == 0;
    };
    HoldingChild recordLocker([&] { return writeLock(recordLocked, F_SETLK); });
    HoldingChild ofdLocker([&] { return writeLock(ofdLocked, F_OFD_SETLK); });
    ASSERT_TRUE(flocker.ready());
    ASSERT_TRUE(recordLocker.ready());
    ASSERT_TRUE(ofdLocker.ready());

    CInUseChecker checker;
    const auto a = Answer(checker.Check(flocked));
    EXPECT_EQ(a, "The file " + flocked + " is locked by process " + std::to_string(flocker.pid()) + " (" +
                     OwnCommand() + ").");
    const auto b = Answer(checker.Check(recordLocked));
    EXPECT_EQ(b, "The file " + recordLocked + " is locked by process " + std::to_string(recordLocker.pid()) +
                     " (" + OwnCommand() + ").");
    // Such a lock belongs to an open file, not a process: the holder cannot be named.
    const auto c = Answer(checker.Check(ofdLocked));
    EXPECT_TRUE(Contains(c, "The file " + ofdLocked + " is locked by ")) << c.value_or("free");

    // The check's own probing must not have disturbed the holders.
    const UniqueFd probe(::open(flocked.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_NE(::flock(probe.get(), LOCK_EX | LOCK_NB), 0);
}

TEST(InUse, FileThatCannotBeOpenedSafelyIsInUse) {
    TempDir dir;
    const std::string gone = (dir.path() / "gone.tmp").string();
    CInUseChecker checker;
    EXPECT_EQ(Answer(checker.Check(gone)), "Unable to open " + gone + ": " + refusal::kGone + ".");

    fs::create_directories(dir.path() / "real");
    WriteTextFile(dir.path() / "real" / "f.tmp", "x");
    fs::create_directory_symlink(dir.path() / "real", dir.path() / "swapped");
    fs::create_symlink(dir.path() / "real" / "f.tmp", dir.path() / "link.tmp");
    const std::string viaFolder = (dir.path() / "swapped" / "f.tmp").string();
    const std::string link = (dir.path() / "link.tmp").string();
    EXPECT_EQ(Answer(checker.Check(viaFolder)), "Unable to open " + viaFolder + ": " + refusal::kLinkOnPath + ".");
    EXPECT_EQ(Answer(checker.Check(link)), "Unable to open " + link + ": " + refusal::kLink + ".");
    EXPECT_EQ(Answer(checker.Check((dir.path() / "real" / "f.tmp").string())), std::nullopt);
}

// Maps path into memory and closes the descriptor: only the mapping is left.
bool MapAndClose(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool mapped = ::mmap(nullptr, 4096, PROT_READ, flags, fd, 0) != MAP_FAILED;
    ::close(fd);
    return mapped;
}

TEST(InUse, FileMappedByAnotherProcessNamesTheProcessAfterItsDescriptorCloses) {
    TempDir dir;
    const std::string shared = (dir.path() / "a shared library.so").string();
    const std::string privately = (dir.path() / "private.db").string();
    const std::string unmapped = (dir.path() / "unmapped.db").string();
    const std::string other = (dir.path() / "other.db").string();
    for (const std::string& p : {shared, privately, unmapped, other})
        WriteTextFile(p, "data");
    HoldingChild child([&] {
        if (!MapAndClose(shared, MAP_SHARED) || !MapAndClose(privately, MAP_PRIVATE))
            return false;
        const int fd = ::open(unmapped.c_str(), O_RDONLY);
        void* gone = fd < 0 ? MAP_FAILED : ::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0);
        if (fd >= 0)
            ::close(fd);
        return gone != MAP_FAILED && ::munmap(gone, 4096) == 0;
    });
    ASSERT_TRUE(child.ready());

    CInUseChecker checker;
    const std::string by = " is mapped into memory by process " + std::to_string(child.pid()) + " (" +
                           OwnCommand() + ").";
    EXPECT_EQ(Answer(checker.Check(shared)), "The file " + shared + by);
    EXPECT_EQ(Answer(checker.Check(privately)), "The file " + privately + by);
    EXPECT_EQ(Answer(checker.Check(unmapped)), std::nullopt);
    EXPECT_EQ(Answer(checker.Check(other)), std::nullopt);

    // Another name of the same file is the same file.
    const std::string hardLink = (dir.path() / "hard link.so").string();
    fs::create_hard_link(shared, hardLink);
    EXPECT_EQ(Answer(checker.Check(hardLink)), "The file " + hardLink + by);
}

namespace {

// Opens path from another process with O_NONBLOCK, as a program that must not wait would:
// 0 when it opened, 1 when a lease held it up (EWOULDBLOCK), 2 on any other failure.
int OpenFromAnotherProcess(const std::string& path) {
    const ChildOutcome opened = RunGuarded([&] {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            return 0;
        return errno == EWOULDBLOCK ? 1 : 2;
    });
    return opened.signal == 0 ? opened.exitCode : 3;
}

} // namespace

TEST(InUse, EachFileIsTestedAsItIsAtItsTurn) {
    TempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i) {
        files.push_back((dir.path() / ("f" + std::to_string(i) + ".tmp")).string());
        WriteTextFile(files.back(), "data");
    }
    CInUseChecker checker; // one run over many files
    for (const std::string& f : files)
        ASSERT_EQ(Answer(checker.Check(f)), std::nullopt) << f;

    // Programs take up files after the run has begun: one checked already, one not yet.
    HoldingChild opener([&] { return ::open(files[1].c_str(), O_RDONLY) >= 0; });
    HoldingChild mapper([&] { return MapAndClose(files[4], MAP_SHARED); });
    ASSERT_TRUE(opener.ready());
    ASSERT_TRUE(mapper.ready());

    EXPECT_EQ(Answer(checker.Check(files[0])), std::nullopt);
    EXPECT_EQ(Answer(checker.Check(files[1])), "A sharing violation occurred while accessing " + files[1] +
                                           ": it is open in process " + std::to_string(opener.pid()) + " (" +
                                           OwnCommand() + ").");
    EXPECT_EQ(Answer(checker.Check(files[4])), "The file " + files[4] + " is mapped into memory by process " +
                                           std::to_string(mapper.pid()) + " (" + OwnCommand() + ").");
    EXPECT_EQ(Answer(checker.Check(files[5])), std::nullopt);
}

TEST(InUse, AFreeFileIsClaimedUnderALeaseThatGoesWithTheClaim) {
    TempDir dir;
    const std::string path = (dir.path() / "free.tmp").string();
    WriteTextFile(path, "data");
    CInUseChecker checker;
    {
        Verdict verdict = ClaimOf(checker, path, Held(path));
        ASSERT_EQ(verdict.busy, std::nullopt);
        EXPECT_TRUE(verdict.claim.Leased());
        EXPECT_FALSE(verdict.claim.Broken());
        EXPECT_GE(verdict.claim.Fd(), 0);
        // While claimed, a program that will not wait is turned away, and the claim knows.
        EXPECT_EQ(OpenFromAnotherProcess(path), 1);
        EXPECT_TRUE(verdict.claim.Broken());
    }
    EXPECT_EQ(OpenFromAnotherProcess(path), 0); // the claim is gone, and its lease with it

    // The test alone claims nothing beyond its own return.
    EXPECT_EQ(Answer(checker.Check(path)), std::nullopt);
    EXPECT_EQ(OpenFromAnotherProcess(path), 0);

    Verdict released = ClaimOf(checker, path, Held(path));
    ASSERT_TRUE(released.claim.Leased());
    released.claim.Release();
    EXPECT_EQ(released.claim.Fd(), -1);
    EXPECT_FALSE(released.claim.Broken());
    EXPECT_EQ(OpenFromAnotherProcess(path), 0);
}

TEST(InUse, AClaimHoldsUpAProgramOpeningTheFileUntilTheStepIsDone) {
    TempDir dir;
    const std::string path = (dir.path() / "report.doc").string();
    WriteTextFile(path, "data");
    int breakSeconds = 0;
    std::ifstream("/proc/sys/fs/lease-break-time") >> breakSeconds;
    if (breakSeconds < 10)
        GTEST_SKIP() << "lease-break-time is " << breakSeconds << " s: a held-up open would go on by itself";

    // In a child of its own: a break signalled with the default SIGIO would end the process,
    // and that must show as a failure, not take the whole test program down.
    const ChildOutcome outcome = RunGuarded([&]() -> int {
        Verdict verdict = ClaimOf(CInUseChecker(), path, Held(path));
        if (verdict.busy || !verdict.claim.Leased())
            return 10;
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return 11;
        const pid_t opener = ::fork();
        if (opener == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::close(ends[0]);
            const int fd = ::open(path.c_str(), O_RDONLY); // waits for the claim
            struct stat st {};
            const char seen = fd >= 0 && ::fstat(fd, &st) == 0 ? (st.st_nlink == 0 ? 'g' : 't') : 'f';
            (void)!::write(ends[1], &seen, 1);
            ::_exit(0);
        }
        ::close(ends[1]);
        while (!verdict.claim.Broken()) // the opener has reached its open; the guard ends a hang
            ::usleep(1000);
        char seen = 0;
        ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
        if (::read(ends[0], &seen, 1) != -1 || errno != EAGAIN)
            return 12; // it went on while the file was claimed
        if (::unlink(path.c_str()) != 0) // the step
            return 13;
        verdict.claim.Release();
        ::fcntl(ends[0], F_SETFL, 0);
        if (::read(ends[0], &seen, 1) != 1)
            return 14;
        ::waitpid(opener, nullptr, 0);
        return seen == 'g' ? 0 : 15; // it opened only once the file was deleted
    });
    EXPECT_EQ(outcome.signal, 0) << "the claiming process was ended by signal " << outcome.signal;
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
}

TEST(InUse, StepsThatRenameOrUnlinkKeepTheLeaseButAnotherOpenOfOurOwnBreaksIt) {
    TempDir dir;
    const std::string path = (dir.path() / "moved.tmp").string();
    const std::string moved = (dir.path() / "moved away.tmp").string();
    WriteTextFile(path, "data");
    CInUseChecker checker;

    Verdict verdict = ClaimOf(checker, path, Held(path), CInUseChecker::Access::ReadWrite);
    ASSERT_EQ(verdict.busy, std::nullopt);
    ASSERT_TRUE(verdict.claim.Leased());
    EXPECT_TRUE(verdict.claim.Writable());
    // An overwrite goes through the claim's own descriptor.
    EXPECT_EQ(::pwrite(verdict.claim.Fd(), "\0\0\0\0", 4, 0), 4);
    ASSERT_EQ(::rename(path.c_str(), moved.c_str()), 0);
    EXPECT_FALSE(verdict.claim.Broken());
    ASSERT_EQ(::unlink(moved.c_str()), 0);
    EXPECT_FALSE(verdict.claim.Broken());
    verdict.claim.Release();

    WriteTextFile(path, "data");
    Verdict reading = ClaimOf(checker, path, Held(path));
    ASSERT_TRUE(reading.claim.Leased());
    EXPECT_FALSE(reading.claim.Writable());
    const UniqueFd again(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    EXPECT_FALSE(again);
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_TRUE(reading.claim.Broken());
}

TEST(InUse, AFileOpenedByADescriptorInFlightIsInUseThoughNoProcessShowsIt) {
    TempDir dir;
    const std::string path = (dir.path() / "passed.db").string();
    WriteTextFile(path, "data");
    // The descriptor sent over a socket and closed: only the unread message refers to the file.
    HoldingChild sender([&] {
        int pair[2];
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0 || ::socketpair(AF_UNIX, SOCK_DGRAM, 0, pair) != 0)
            return false;
        char data = 'x';
        iovec iov{&data, 1};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
        return ::sendmsg(pair[0], &msg, 0) == 1 && ::close(fd) == 0;
    });
    ASSERT_TRUE(sender.ready());
    EXPECT_EQ(Answer(CInUseChecker().Check(path)),
              "A sharing violation occurred while accessing " + path + ": it is open in another process.");
}

TEST(InUse, AFileLeasedByAnotherProcessNamesTheProcess) {
    TempDir dir;
    const std::string path = (dir.path() / "served.doc").string();
    WriteTextFile(path, "data");
    HoldingChild server([&] {
        const int fd = ::open(path.c_str(), O_RDONLY);
        // Our test breaks its lease: it must live on to be named.
        return fd >= 0 && ::fcntl(fd, F_SETSIG, SIGURG) == 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
    });
    ASSERT_TRUE(server.ready());
    EXPECT_EQ(Answer(CInUseChecker().Check(path)), "A sharing violation occurred while accessing " + path +
                                               ": it is open in process " + std::to_string(server.pid()) +
                                               " (" + OwnCommand() + ").");
}

TEST(InUse, WithoutLeasesAFreshLookAtProcFindsOpenAndMappedFilesAtEachTurn) {
    TempDir dir;
    const std::string opened = (dir.path() / "opened.db").string();
    const std::string mapped = (dir.path() / "mapped.so").string();
    const std::string locked = (dir.path() / "locked.db").string();
    for (const std::string& p : {opened, mapped, locked})
        WriteTextFile(p, "data");
    const CInUseChecker look(CInUseChecker::Probe::ProcOnly);
    const Verdict before = ClaimOf(look, opened, Held(opened));
    EXPECT_EQ(before.busy, std::nullopt);
    EXPECT_FALSE(before.claim.Leased());
    EXPECT_FALSE(before.claim.Broken());
    EXPECT_EQ(Answer(look.Check(mapped)), std::nullopt);
    {
        HoldingChild opener([&] { return ::open(opened.c_str(), O_RDONLY) >= 0; });
        HoldingChild mapper([&] { return MapAndClose(mapped, MAP_PRIVATE); });
        HoldingChild locker([&] {
            const int fd = ::open(locked.c_str(), O_RDONLY);
            return fd >= 0 && ::flock(fd, LOCK_EX) == 0;
        });
        ASSERT_TRUE(opener.ready());
        ASSERT_TRUE(mapper.ready());
        ASSERT_TRUE(locker.ready());
        EXPECT_EQ(Answer(look.Check(locked)), "The file " + locked + " is locked by process " +
                                          std::to_string(locker.pid()) + " (" + OwnCommand() + ").");
        EXPECT_EQ(Answer(look.Check(opened)), "A sharing violation occurred while accessing " + opened +
                                          ": it is open in process " + std::to_string(opener.pid()) + " (" +
                                          OwnCommand() + ").");
        EXPECT_EQ(Answer(look.Check(mapped)), "The file " + mapped + " is mapped into memory by process " +
                                          std::to_string(mapper.pid()) + " (" + OwnCommand() + ").");
    }
    // Both have let go.
    EXPECT_EQ(Answer(look.Check(opened)), std::nullopt);
    EXPECT_EQ(Answer(look.Check(mapped)), std::nullopt);
    EXPECT_EQ(Answer(look.Check(locked)), std::nullopt);
}

namespace {

// Takes CAP_LEASE out of this process's effective capabilities; false when that fails.
bool DropLeaseCapability() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    data[CAP_TO_INDEX(CAP_LEASE)].effective &= ~CAP_TO_MASK(CAP_LEASE);
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace

TEST(InUse, AFileTheKernelWillNotLeaseToUsIsLookedForInProc) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file away";
    TempDir dir;
    const std::string theirs = (dir.path() / "theirs.db").string();
    WriteTextFile(theirs, "data");
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    // With CAP_LEASE even another user's file is leased.
    ASSERT_TRUE(ClaimOf(CInUseChecker(), theirs, Held(theirs)).claim.Leased());

    HoldingChild opener([&] { return ::open(theirs.c_str(), O_RDONLY) >= 0; });
    ASSERT_TRUE(opener.ready());
    const std::string expected = "A sharing violation occurred while accessing " + theirs +
                                 ": it is open in process " + std::to_string(opener.pid()) + " (" + OwnCommand() + ").";
    const ChildOutcome outcome = RunGuarded([&] {
        if (!DropLeaseCapability())
            return 10;
        const CInUseChecker checker;
        if (Answer(checker.Check(theirs)) != expected)
            return 11;
        const std::string other = (dir.path() / "free.db").string();
        WriteTextFile(other, "data");
        if (::chown(other.c_str(), 65534, 65534) != 0)
            return 12;
        const Verdict free = ClaimOf(checker, other, Held(other));
        return free.busy ? 13 : free.claim.Leased() ? 14 : 0;
    });
    EXPECT_TRUE(outcome.Exited(0)) << "exit " << outcome.exitCode << ", signal " << outcome.signal << outcome.err;
}
