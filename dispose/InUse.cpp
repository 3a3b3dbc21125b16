#include "dispose/InUse.h"

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
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
#include <sstream>
#include <string_view>

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

std::string ProcessText(pid_t pid, const std::string& command) {
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

std::string Unable(const std::string& path, const std::string& why) {
    return "Unable to open " + path + ": " + why + ".";
}

} // namespace

std::optional<std::string> CInUseChecker::Check(const std::string& path) {
    // Only a regular file is opened: opening a device or FIFO can block or act on it.
    HeldFile held;
    if (FsError e = HoldFile(path, held))
        return Unable(path, e.Text());
    return Check(path, held);
}

std::optional<std::string> CInUseChecker::Check(const std::string& path, const HeldFile& held) {
    UniqueFd fd;
    if (FsError e = OpenHeld(held, O_RDONLY | O_NONBLOCK, fd))
        return Unable(path, e.Text());
    const struct stat& st = held.st; // the file opened, as OpenHeld checked

    pid_t locker = RecordLockHolder(fd.get());
    if (locker == 0 && HasFlockHolder(fd.get()))
        locker = -1;
    if (locker != 0) {
        if (locker < 0)
            locker = LockHolderFromProcLocks(st.st_dev, st.st_ino);
        const std::string who = locker > 0 ? ProcessText(locker, ReadCommand(locker)) : "another process";
        return "The file " + path + " is locked by " + who + ".";
    }

    if (!m_indexed)
        BuildIndex();
    const auto it = m_openFiles.find(FileKey{st.st_dev, st.st_ino});
    if (it != m_openFiles.end())
        return "A sharing violation occurred while accessing " + path + ": it is open in " +
               ProcessText(it->second.pid, it->second.command) + ".";
    // Writing to or zeroing a mapped file changes what the process sees in its memory.
    if (const Holder* mapper = MappedBy(st))
        return "The file " + path + " is mapped into memory by " +
               ProcessText(mapper->pid, mapper->command) + ".";
    return std::nullopt;
}

const CInUseChecker::Holder* CInUseChecker::MappedBy(const struct stat& st) const {
    const auto [first, last] = m_mappings.equal_range(st.st_ino);
    for (auto it = first; it != last; ++it)
        if (it->second.dev == st.st_dev)
            return &it->second.holder;
    // Same inode, other device number: the same file only if the mapped path leads to it.
    for (auto it = first; it != last; ++it) {
        struct statx named {};
        if (!it->second.path.empty() && it->second.path[0] == '/' &&
            ::statx(AT_FDCWD, it->second.path.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                    STATX_INO, &named) == 0 &&
            named.stx_ino == st.st_ino && makedev(named.stx_dev_major, named.stx_dev_minor) == st.st_dev)
            return &it->second.holder;
    }
    return nullptr;
}

void CInUseChecker::IndexMappings(int procFd, const char* pidText, pid_t pid,
                                  std::optional<std::string>& command) {
    std::string maps;
    if (!ReadProcFile(procFd, std::string(pidText) + "/maps", maps))
        return; // gone, or not ours to read
    dev_t lastDev = 0;
    ino_t lastIno = 0;
    size_t pos = 0;
    while (pos < maps.size()) {
        size_t eol = maps.find('\n', pos);
        if (eol == std::string::npos)
            eol = maps.size();
        const std::string_view line(maps.data() + pos, eol - pos);
        pos = eol + 1;
        dev_t dev;
        ino_t ino;
        std::string_view path;
        // A file mapped in several parts comes in consecutive lines.
        if (!ParseMapsLine(line, dev, ino, path) || (dev == lastDev && ino == lastIno))
            continue;
        lastDev = dev;
        lastIno = ino;
        const auto [first, last] = m_mappings.equal_range(ino);
        bool known = false;
        for (auto it = first; it != last && !known; ++it)
            known = it->second.dev == dev;
        if (known)
            continue; // the first process found is the one named
        if (!command)
            command = ReadCommand(pid);
        m_mappings.emplace(ino, Mapping{dev, std::string(path), Holder{pid, *command}});
    }
}

void CInUseChecker::BuildIndex() {
    m_indexed = true;
    const UniqueDir proc = OpenDirFd(UniqueFd(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!proc)
        return;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(proc.get())) {
        pid_t pid = 0;
        if (!ParsePid(entry->d_name, pid) || pid == self)
            continue;
        // What of a process is gone or not ours to read is skipped.
        const UniqueDir fds = OpenDirFd(UniqueFd(::openat(
            ::dirfd(proc.get()), (std::string(entry->d_name) + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
        std::optional<std::string> command;
        while (const dirent* link = fds ? ::readdir(fds.get()) : nullptr) {
            if (link->d_name[0] == '.')
                continue;
            // DONT_SYNC: a file on a server that stopped answering must not hang the run.
            struct statx target {};
            if (::statx(::dirfd(fds.get()), link->d_name, AT_STATX_DONT_SYNC, STATX_TYPE | STATX_INO,
                        &target) != 0 ||
                !S_ISREG(target.stx_mode))
                continue;
            if (!command) // read once, and only for processes holding files
                command = ReadCommand(pid);
            m_openFiles.try_emplace(FileKey{makedev(target.stx_dev_major, target.stx_dev_minor), target.stx_ino},
                                    Holder{pid, *command});
        }
        IndexMappings(::dirfd(proc.get()), entry->d_name, pid, command);
    }
}
