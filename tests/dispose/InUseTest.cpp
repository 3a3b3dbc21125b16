// The in-use test against real processes: children that hold a file open, locked or mapped.
#include "dispose/InUse.h"

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

// A child process that does something to a file, reports over a pipe, then waits. It is
// killed and reaped when the guard goes, also when an assertion ends the test early.
class HoldingChild {
public:
    // hold runs in the child and may only make system calls; it returns false on failure.
    explicit HoldingChild(const std::function<bool()>& hold) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive a crashed test
            const char status = hold() ? '1' : '0';
            (void)!::write(writeEnd.get(), &status, 1);
            for (;;)
                ::pause();
        }
        writeEnd.reset();
        char status = 0;
        while (::read(readEnd.get(), &status, 1) < 0 && errno == EINTR) {
        }
        m_ready = status == '1';
    }
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;
    ~HoldingChild() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_pid > 0 && m_ready; }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

bool Contains(const std::optional<std::string>& text, const std::string& part) {
    return text && text->find(part) != std::string::npos;
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
    EXPECT_EQ(checker.Check(path), std::nullopt);
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
    CInUseChecker fresh; // its table is built while we hold the file open, locked and mapped
    EXPECT_EQ(fresh.Check(path), std::nullopt);
    EXPECT_EQ(checker.Check(path), std::nullopt);
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
    const auto busy = checker.Check(path);
    EXPECT_TRUE(Contains(busy, "A sharing violation occurred while accessing " + path)) << busy.value_or("free");
    EXPECT_TRUE(Contains(busy, "it is open in process " + std::to_string(child.pid()) + " (" + OwnCommand() + ")"))
        << busy.value_or("free");
    EXPECT_EQ(checker.Check(other), std::nullopt); // the same table, a file nobody holds
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
    const auto a = checker.Check(flocked);
    EXPECT_EQ(a, "The file " + flocked + " is locked by process " + std::to_string(flocker.pid()) + " (" +
                     OwnCommand() + ").");
    const auto b = checker.Check(recordLocked);
    EXPECT_EQ(b, "The file " + recordLocked + " is locked by process " + std::to_string(recordLocker.pid()) +
                     " (" + OwnCommand() + ").");
    // Such a lock belongs to an open file, not a process: the holder cannot be named.
    const auto c = checker.Check(ofdLocked);
    EXPECT_TRUE(Contains(c, "The file " + ofdLocked + " is locked by ")) << c.value_or("free");

    // The check's own probing must not have disturbed the holders.
    const UniqueFd probe(::open(flocked.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_NE(::flock(probe.get(), LOCK_EX | LOCK_NB), 0);
}

TEST(InUse, FileThatCannotBeOpenedSafelyIsInUse) {
    TempDir dir;
    const std::string gone = (dir.path() / "gone.tmp").string();
    CInUseChecker checker;
    EXPECT_EQ(checker.Check(gone), "Unable to open " + gone + ": " + refusal::kGone + ".");

    fs::create_directories(dir.path() / "real");
    WriteTextFile(dir.path() / "real" / "f.tmp", "x");
    fs::create_directory_symlink(dir.path() / "real", dir.path() / "swapped");
    fs::create_symlink(dir.path() / "real" / "f.tmp", dir.path() / "link.tmp");
    const std::string viaFolder = (dir.path() / "swapped" / "f.tmp").string();
    const std::string link = (dir.path() / "link.tmp").string();
    EXPECT_EQ(checker.Check(viaFolder), "Unable to open " + viaFolder + ": " + refusal::kLinkOnPath + ".");
    EXPECT_EQ(checker.Check(link), "Unable to open " + link + ": " + refusal::kLink + ".");
    EXPECT_EQ(checker.Check((dir.path() / "real" / "f.tmp").string()), std::nullopt);
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
    EXPECT_EQ(checker.Check(shared), "The file " + shared + by);
    EXPECT_EQ(checker.Check(privately), "The file " + privately + by);
    EXPECT_EQ(checker.Check(unmapped), std::nullopt);
    EXPECT_EQ(checker.Check(other), std::nullopt);

    // Another name of the same file is the same file.
    const std::string hardLink = (dir.path() / "hard link.so").string();
    fs::create_hard_link(shared, hardLink);
    EXPECT_EQ(checker.Check(hardLink), "The file " + hardLink + by);
}

TEST(InUse, TheTableIsReadOncePerChecker) {
    TempDir dir;
    const std::string path = (dir.path() / "later.db").string();
    WriteTextFile(path, "data");
    CInUseChecker early;
    EXPECT_EQ(early.Check(path), std::nullopt);
    HoldingChild child([&] { return MapAndClose(path, MAP_SHARED); });
    ASSERT_TRUE(child.ready());
    // The run that started before the mapping keeps its table; a new run sees it.
    EXPECT_EQ(early.Check(path), std::nullopt);
    EXPECT_TRUE(Contains(CInUseChecker().Check(path), "is mapped into memory by process " + std::to_string(child.pid())));
}
