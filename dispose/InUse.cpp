#include "dispose/InUse.h"

#include "dispose/SafeFile.h"
#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

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

std::string FolderFailure(int error) {
    if (error == ELOOP || error == ENOTDIR)
        return "a folder on its path is a symbolic link or not a folder";
    return ErrorText(error);
}

std::string Unable(const std::string& path, const std::string& why) {
    return "Unable to open " + path + ": " + why + ".";
}

} // namespace

std::optional<std::string> CInUseChecker::Check(const std::string& path) {
    const SafeParent parent = OpenParentNoFollow(path);
    if (!parent.dir)
        return Unable(path, FolderFailure(parent.error));
    struct stat st {};
    if (::fstatat(parent.dir.get(), parent.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Unable(path, ErrorText(errno));
    // Decided before opening: opening a device or FIFO can block or act on it.
    if (S_ISLNK(st.st_mode))
        return Unable(path, "it is a symbolic link");
    if (!S_ISREG(st.st_mode))
        return Unable(path, "it is not a regular file");
    const UniqueFd fd(
        ::openat(parent.dir.get(), parent.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return Unable(path, ErrorText(errno));
    if (::fstat(fd.get(), &st) != 0)
        return Unable(path, ErrorText(errno));

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
    return std::nullopt;
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
        // A process that is gone or not ours to read is skipped.
        const UniqueDir fds = OpenDirFd(UniqueFd(::openat(
            ::dirfd(proc.get()), (std::string(entry->d_name) + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
        if (!fds)
            continue;
        std::optional<std::string> command;
        while (const dirent* link = ::readdir(fds.get())) {
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
    }
}
