// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/CInUseChecker.h"

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>

namespace {

struct DirCloser {
    void operator()(DIR* d) const noexcept { ::closedir(d); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// Takes over fd; null (and fd closed) on failure.
UniqueDir OpenDirFd(UniqueFd fd) {
    DIR* d = fd ? ::fdopendir(fd.get()) : nullptr;
    if (d)
        fd.release();
    return UniqueDir(d);
}

bool ParsePid(const char* text, pid_t& pid) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value <= 0)
        return false;
    pid = static_cast<pid_t>(value);
    return true;
}

// The process's short name; "" when it has gone or cannot be read.
std::string ReadCommand(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string command;
    std::getline(in, command);
    return command;
}

std::string ProcessText(pid_t pid) {
    const std::string command = ReadCommand(pid);
    std::string text = "process " + std::to_string(pid);
    if (!command.empty())
        text += " (" + command + ")";
    return text;
}

// A process other than us holding a lock on the file, from /proc/locks; 0 when none is
// listed. Lines look like "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; lines with
// "->" are waiters, not holders.
pid_t LockHolderFromProcLocks(dev_t dev, ino_t ino) {
    std::ifstream in("/proc/locks");
    const pid_t self = ::getpid();
    for (std::string line; std::getline(in, line);) {
        if (line.find("->") != std::string::npos)
            continue;
        std::istringstream fields(line);
        std::string number, kind, mode, access, pidText, file;
        if (!(fields >> number >> kind >> mode >> access >> pidText >> file))
            continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3)
            continue;
        pid_t pid = 0;
        if (inode == ino && makedev(major, minor) == dev && ParsePid(pidText.c_str(), pid) &&
            pid != self)
            return pid;
    }
    return 0;
}

// A record (fcntl) lock that would stop us writing: 0 for none, the holder's pid, or -1
// when the holder is not told (open-file-description locks have no owning process).
pid_t RecordLockHolder(int fd) {
    struct flock lk {};
    lk.l_type = F_WRLCK;
    lk.l_whence = SEEK_SET;
    // F_OFD_GETLK also sees locks of our own process, so fall back to F_GETLK for those.
    if (::fcntl(fd, F_OFD_GETLK, &lk) == 0 && (lk.l_type == F_UNLCK || lk.l_pid != ::getpid()))
        return lk.l_type == F_UNLCK ? 0 : (lk.l_pid > 0 ? lk.l_pid : -1);
    lk = {};
    lk.l_type = F_WRLCK;
    lk.l_whence = SEEK_SET;
    if (::fcntl(fd, F_GETLK, &lk) != 0 || lk.l_type == F_UNLCK)
        return 0;
    return lk.l_pid > 0 ? lk.l_pid : -1;
}

// True when another open file holds a flock() lock. Any lock we get is dropped at once, so
// the check never keeps another process from locking the file.
bool HasFlockHolder(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::flock(fd, LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

// "The file ... is locked by ..." when another process holds a lock on the open file.
std::optional<std::string> LockedText(const std::string& path, int fd, const struct stat& st) {
    pid_t locker = RecordLockHolder(fd);
    if (locker == 0 && HasFlockHolder(fd))
        locker = -1;
    if (locker == 0)
        return std::nullopt;
    if (locker < 0)
        locker = LockHolderFromProcLocks(st.st_dev, st.st_ino);
    return "The file " + path + " is locked by " + (locker > 0 ? ProcessText(locker) : "another process") + ".";
}

// The whole of a /proc file into buf; false when it cannot be opened or read.
bool ReadProcFile(int dirFd, const std::string& name, std::string& buf) {
    buf.clear();
    const UniqueFd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return false;
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        buf.append(chunk, static_cast<size_t>(n));
    }
}

// One line of /proc/PID/maps: "start-end perms offset major:minor inode   path", the device
// numbers in hex. False for lines that name no file (inode 0: anonymous memory, the stack).
bool ParseMapsLine(std::string_view line, dev_t& dev, ino_t& ino, std::string_view& path) {
    size_t pos = 0;
    for (int field = 0; field < 3; ++field) { // address range, permissions, offset
        pos = line.find(' ', pos);
        if (pos == std::string_view::npos)
            return false;
        ++pos;
    }
    const char* p = line.data() + pos;
    const char* const end = line.data() + line.size();
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    auto r = std::from_chars(p, end, major, 16);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != ':')
        return false;
    r = std::from_chars(r.ptr + 1, end, minor, 16);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != ' ')
        return false;
    r = std::from_chars(r.ptr + 1, end, inode, 10);
    if (r.ec != std::errc() || inode == 0)
        return false;
    p = r.ptr;
    while (p != end && *p == ' ')
        ++p;
    dev = makedev(major, minor);
    ino = static_cast<ino_t>(inode);
    path = std::string_view(p, static_cast<size_t>(end - p));
    return true;
}

// A mapping line names the file st. Its device number is the file system's, which on btrfs
// subvolumes is not the one stat gives: then the mapped path must lead to the same inode.
bool MapsTheFile(dev_t dev, ino_t ino, std::string_view path, const struct stat& st) {
    if (ino != st.st_ino)
        return false;
    if (dev == st.st_dev)
        return true;
    if (path.empty() || path[0] != '/')
        return false;
    struct statx named {};
    return ::statx(AT_FDCWD, std::string(path).c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                   STATX_INO, &named) == 0 &&
           named.stx_ino == st.st_ino && makedev(named.stx_dev_major, named.stx_dev_minor) == st.st_dev;
}

// Has the process whose /proc folder is pidDir the file open, leaving out its descriptor skipFd?
bool HasOpen(int pidDir, const struct stat& st, int skipFd) {
    const UniqueDir fds = OpenDirFd(UniqueFd(::openat(pidDir, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    while (const dirent* link = fds ? ::readdir(fds.get()) : nullptr) {
        int number = -1;
        const std::string_view name(link->d_name);
        if (std::from_chars(name.data(), name.data() + name.size(), number).ec != std::errc() ||
            number == skipFd)
            continue;
        // DONT_SYNC: a file on a server that stopped answering must not hang the run.
        struct statx target {};
        if (::statx(::dirfd(fds.get()), link->d_name, AT_STATX_DONT_SYNC, STATX_TYPE | STATX_INO, &target) == 0 &&
            S_ISREG(target.stx_mode) && target.stx_ino == st.st_ino &&
            makedev(target.stx_dev_major, target.stx_dev_minor) == st.st_dev)
            return true;
    }
    return false;
}

// Has the process whose /proc folder is pidDir the file mapped into its memory?
bool HasMapped(int pidDir, const struct stat& st) {
    std::string maps;
    if (!ReadProcFile(pidDir, "maps", maps))
        return false; // gone, or not ours to read
    const std::string_view text(maps);
    for (size_t pos = 0; pos < text.size();) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos)
            eol = text.size();
        dev_t dev;
        ino_t ino;
        std::string_view path;
        if (ParseMapsLine(text.substr(pos, eol - pos), dev, ino, path) && MapsTheFile(dev, ino, path, st))
            return true;
        pos = eol + 1;
    }
    return false;
}

// Who, as far as /proc lets us see, has the file open or mapped at this moment.
struct Holder {
    enum class Kind { Nobody, OnlyUs, Open, Mapped } kind = Kind::Nobody;
    pid_t pid = 0;
};

// Read afresh for every file: a table kept from an earlier file would miss what was opened
// since. Our own claim's descriptor ownFd does not count; our other holdings count as OnlyUs.
Holder FindHolder(const struct stat& st, int ownFd) {
    Holder found;
    const UniqueDir proc = OpenDirFd(UniqueFd(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!proc)
        return found;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(proc.get())) {
        pid_t pid = 0;
        if (!ParsePid(entry->d_name, pid))
            continue;
        // What of a process is gone or not ours to read is skipped.
        const UniqueFd pidDir(::openat(::dirfd(proc.get()), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!pidDir)
            continue;
        const bool us = pid == self;
        Holder::Kind kind = Holder::Kind::Nobody;
        if (HasOpen(pidDir.get(), st, us ? ownFd : -1))
            kind = Holder::Kind::Open;
        else if (HasMapped(pidDir.get(), st)) // a mapping outlives the descriptor it came from
            kind = Holder::Kind::Mapped;
        if (kind == Holder::Kind::Nobody)
            continue;
        if (!us)
            return {kind, pid};
        found.kind = Holder::Kind::OnlyUs;
    }
    return found;
}

std::string OpenText(const std::string& path, const std::string& who) {
    return "A sharing violation occurred while accessing " + path + ": it is open in " + who + ".";
}

// The sentence for a holder in another process; nullopt for nobody or only us.
std::optional<std::string> HolderText(const std::string& path, const Holder& holder) {
    switch (holder.kind) {
    case Holder::Kind::Open:
        return OpenText(path, ProcessText(holder.pid));
    case Holder::Kind::Mapped:
        // Writing to or zeroing a mapped file changes what the process sees in its memory.
        return "The file " + path + " is mapped into memory by " + ProcessText(holder.pid) + ".";
    default:
        return std::nullopt;
    }
}

enum class LeaseAnswer {
    Granted,
    Refused,     // another open file refers to the file
    Unavailable, // not ours to lease, or no leases on this file system
};

LeaseAnswer TakeLease(int fd) {
    // A break is signalled to the lease holder, by default with SIGIO, whose default action
    // ends the process. SIGURG is discarded unless handled; once the lease is ours no signal
    // is sent at all (no owner): the break is read back with F_GETLEASE.
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0)
        return LeaseAnswer::Unavailable;
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) != 0)
        return errno == EAGAIN ? LeaseAnswer::Refused : LeaseAnswer::Unavailable;
    ::fcntl(fd, F_SETOWN, 0);
    return LeaseAnswer::Granted;
}

// A refused lease says that someone has the file open, but the one who had it may let go
// before we look; a few tries tell that from a holder we cannot see.
constexpr int kLeaseTries = 3;

// What the test found: a free file, claimed, or why it is not.
struct InUseVerdict {
    FsError busy;
    CInUseClaim claim; // empty when busy
};

InUseVerdict Free(UniqueFd fd, bool leased, bool writable) {
    return InUseVerdict{{}, CInUseClaim(std::move(fd), leased, writable)};
}

InUseVerdict Busy(std::string why, int code = EBUSY) {
    return InUseVerdict{FsError::Told(code, std::move(why)), {}};
}

// nullopt where no lease can be taken; fd is then left to the caller.
std::optional<InUseVerdict> ClaimByLease(const std::string& path, const struct stat& st, UniqueFd& fd,
                                         bool writable) {
    for (int attempt = 0; attempt < kLeaseTries; ++attempt) {
        switch (TakeLease(fd.get())) {
        case LeaseAnswer::Granted:
            // No other open file refers to it, so no other process can hold a lock on it
            // either: the lock checks are left to the files that are open elsewhere.
            return Free(std::move(fd), true, writable);
        case LeaseAnswer::Unavailable:
            return std::nullopt;
        case LeaseAnswer::Refused:
            break;
        }
        if (attempt == 0)
            if (auto locked = LockedText(path, fd.get(), st))
                return Busy(std::move(*locked));
        const Holder holder = FindHolder(st, fd.get());
        if (auto text = HolderText(path, holder))
            return Busy(std::move(*text));
        if (holder.kind == Holder::Kind::OnlyUs) // our own descriptors do not count
            return Free(std::move(fd), false, writable);
    }
    // Another user's process (out of our sight), a descriptor in flight over a socket, the
    // kernel itself: the file is open, we cannot say where.
    return Busy(OpenText(path, "another process"));
}

InUseVerdict ClaimByLook(const std::string& path, const struct stat& st, UniqueFd fd, bool writable) {
    if (auto text = HolderText(path, FindHolder(st, fd.get())))
        return Busy(std::move(*text));
    return Free(std::move(fd), false, writable);
}

std::string Unable(const std::string& path, const std::string& why) {
    return "Unable to open " + path + ": " + why + ".";
}

} // namespace

CInUseClaim::CInUseClaim(UniqueFd fd, bool leased, bool writable) noexcept
    : m_fd(std::move(fd)), m_leased(leased && m_fd), m_writable(writable && m_fd) {}

CInUseClaim::CInUseClaim(CInUseClaim&& other) noexcept
    : m_fd(std::move(other.m_fd)), m_leased(std::exchange(other.m_leased, false)),
      m_writable(std::exchange(other.m_writable, false)) {}

CInUseClaim& CInUseClaim::operator=(CInUseClaim&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = std::move(other.m_fd);
        m_leased = std::exchange(other.m_leased, false);
        m_writable = std::exchange(other.m_writable, false);
    }
    return *this;
}

CInUseClaim::~CInUseClaim() { Release(); }

bool CInUseClaim::Broken() const {
    // Once a break has begun the lease reads as what the opener needs (F_RDLCK or F_UNLCK),
    // and as F_UNLCK after the kernel took it away at the end of lease-break-time.
    return m_leased && ::fcntl(m_fd.get(), F_GETLEASE) != F_WRLCK;
}

void CInUseClaim::Release() {
    if (m_leased)
        ::fcntl(m_fd.get(), F_SETLEASE, F_UNLCK);
    m_leased = false;
    m_writable = false;
    m_fd.reset();
}

namespace {

InUseVerdict Test(const std::string& path, const HeldFile& held, CInUseChecker::Access access,
                  CInUseChecker::Probe probe) {
    UniqueFd fd;
    FsError refused;
    bool writable = false;
    // Left non-blocking, which reads and writes of a regular file ignore: making it blocking
    // again would cost two more calls for every file.
    if (access == CInUseChecker::Access::ReadWrite)
        writable = !OpenHeld(held, O_RDWR | O_NONBLOCK, fd);
    if (!fd) // not writable by us, or running: the step will say so; the test goes on
        refused = OpenHeld(held, O_RDONLY | O_NONBLOCK, fd);
    const struct stat& st = held.st; // the file opened, as OpenHeld checked
    if (refused) {
        // Another process's lease holds up our open: it has the file open.
        if (refused.Code() == EWOULDBLOCK)
            return Busy(HolderText(path, FindHolder(st, -1)).value_or(OpenText(path, "another process")));
        return Busy(Unable(path, refused.Text()), refused.Code());
    }
    if (probe == CInUseChecker::Probe::LeaseFirst)
        if (auto verdict = ClaimByLease(path, st, fd, writable))
            return std::move(*verdict);
    if (auto locked = LockedText(path, fd.get(), st))
        return Busy(std::move(*locked));
    return ClaimByLook(path, st, std::move(fd), writable);
}

} // namespace

FsError CInUseChecker::Check(const std::string& path) const {
    // Only a regular file is opened: opening a device or FIFO can block or act on it.
    HeldFile held;
    if (FsError e = HoldFile(path, held))
        return FsError::Told(e.Code(), Unable(path, e.Text()));
    return Check(path, held);
}

FsError CInUseChecker::Check(const std::string& path, const HeldFile& held) const {
    CInUseClaim claim;
    return Claim(path, held, claim);
}

FsError CInUseChecker::Claim(const std::string& path, const HeldFile& held, CInUseClaim& claim,
                             Access access) const {
    claim.Release();
    InUseVerdict verdict = Test(path, held, access, m_probe);
    claim = std::move(verdict.claim);
    return verdict.busy;
}
