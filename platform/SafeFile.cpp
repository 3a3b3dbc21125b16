// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/SafeFile.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>

namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// ELOOP when the name in dir is a link, else the error given: O_NOFOLLOW with O_DIRECTORY
// says ENOTDIR for a link on some kernels.
int ClassifyStep(int dir, const char* name, int error) {
    struct stat st {};
    if ((error == ENOTDIR || error == ELOOP) && ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
    return error;
}

// Component by component with O_NOFOLLOW, for kernels without openat2. Every step holds the
// folder reached so far, so nothing between two components can be swapped.
UniqueFd WalkNoFollow(int dir, const char* path, int flags, bool sameFileSystem) {
    const std::string_view all(path);
    UniqueFd held;
    int cur = dir;
    size_t pos = 0;
    if (!all.empty() && all[0] == '/') {
        held.reset(::open("/", kFolderFlags));
        if (!held)
            return held;
        cur = held.get();
    }
    dev_t dev = 0;
    if (sameFileSystem) {
        struct stat st {};
        if (::fstatat(cur, ".", &st, 0) != 0)
            return UniqueFd();
        dev = st.st_dev;
    }
    for (;;) {
        while (pos < all.size() && all[pos] == '/')
            ++pos;
        size_t end = all.find('/', pos);
        if (end == std::string_view::npos)
            end = all.size();
        const std::string part(all.substr(pos, end - pos));
        size_t next = end;
        while (next < all.size() && all[next] == '/')
            ++next;
        const bool last = next >= all.size();
        if (part == "..") {
            errno = EINVAL;
            return UniqueFd();
        }
        if (part.empty() || part == ".") {
            if (last) // "/" or "a/.": the folder reached so far
                return UniqueFd(::openat(cur, ".", flags | O_CLOEXEC));
            pos = next;
            continue;
        }
        UniqueFd fd(::openat(cur, part.c_str(),
                             (last ? flags : kFolderFlags) | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) {
            errno = ClassifyStep(cur, part.c_str(), errno);
            return fd;
        }
        if (sameFileSystem) {
            struct stat st {};
            if (::fstat(fd.get(), &st) != 0)
                return UniqueFd();
            if (st.st_dev != dev) {
                errno = EXDEV;
                return UniqueFd();
            }
        }
        if (last)
            return fd;
        held = std::move(fd);
        cur = held.get();
        pos = next;
    }
}

bool Climbs(std::string_view path) {
    for (size_t pos = 0; pos < path.size();) {
        size_t end = path.find('/', pos);
        if (end == std::string_view::npos)
            end = path.size();
        if (path.substr(pos, end - pos) == "..")
            return true;
        pos = end + 1;
    }
    return false;
}

FsError FolderFailure(int error) {
    switch (error) {
    case ELOOP:
        return FsError::Refused(ELOOP, refusal::kLinkOnPath);
    case ENOTDIR:
        return FsError::Refused(ENOTDIR, refusal::kNotFolderOnPath);
    case ENOENT:
        return FsError::Refused(ENOENT, refusal::kGone);
    default:
        return FsError::System(error);
    }
}

// openat2 where the kernel has it, else the walk; -1 with errno on failure.
UniqueFd OpenNoFollow(int dir, const char* path, int flags, bool sameFileSystem) {
    static std::atomic<bool> s_noOpenat2{false};
    if (!s_noOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        if (sameFileSystem)
            how.resolve |= RESOLVE_NO_XDEV;
        const long fd = ::syscall(SYS_openat2, dir, path, &how, sizeof how);
        if (fd >= 0 || errno != ENOSYS)
            return UniqueFd(static_cast<int>(fd));
        s_noOpenat2.store(true, std::memory_order_relaxed);
    }
    return WalkNoFollow(dir, path, flags, sameFileSystem);
}

} // namespace

FsError OpenAtNoFollow(int dir, const char* path, int flags, UniqueFd& out, bool sameFileSystem) {
    out = OpenNoFollow(dir, path, flags, sameFileSystem);
    return out ? FsError() : FsError::System(errno);
}

FsError OpenFolder(const std::string& folder, UniqueFd& out) {
    out.reset();
    if (folder.empty() || folder[0] != '/')
        return FsError::Refused(EINVAL, refusal::kNotAbsolute);
    if (Climbs(folder))
        return FsError::Refused(EINVAL, refusal::kClimbs);
    if (folder.size() < PATH_MAX) {
        const FsError e = OpenAtNoFollow(AT_FDCWD, folder.c_str(), kFolderFlags, out);
        return e ? FolderFailure(e.Code()) : FsError();
    }
    // Too long for one call: in pieces that each fit, every piece from the folder the last
    // one reached, so the whole walk still holds what it has reached.
    UniqueFd cur(::open("/", kFolderFlags));
    if (!cur)
        return FsError::System(errno);
    size_t pos = 1;
    while (pos < folder.size()) {
        size_t end = folder.size();
        if (end - pos >= PATH_MAX) {
            end = folder.rfind('/', pos + PATH_MAX - 1);
            if (end == std::string::npos || end <= pos)
                return FsError::System(ENAMETOOLONG); // one name longer than any may be
        }
        const std::string piece = folder.substr(pos, end - pos);
        UniqueFd next;
        if (const FsError e = OpenAtNoFollow(cur.get(), piece.c_str(), kFolderFlags, next))
            return FolderFailure(e.Code());
        cur = std::move(next);
        pos = end + 1;
    }
    out = std::move(cur);
    return {};
}

FileSeen FileSeen::Of(const struct stat& st) {
    FileSeen seen;
    seen.dev = st.st_dev;
    seen.ino = st.st_ino;
    seen.size = static_cast<std::uint64_t>(st.st_size);
    seen.mtime = st.st_mtim.tv_sec;
    seen.mtimeNsec = st.st_mtim.tv_nsec;
    return seen;
}

FsError SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const FsError notAPath = FsError::Refused(EINVAL, refusal::kNotAbsolute);
    const size_t slash = path.rfind('/');
    if (path.empty() || path[0] != '/' || slash == std::string::npos || slash + 1 == path.size())
        return notAPath;
    name = path.substr(slash + 1);
    if (name == "." || name == "..")
        return notAPath;
    folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    return {};
}

FsError HoldFile(const std::string& path, HeldFile& out) {
    std::string folder;
    out.dir.reset();
    if (FsError e = SplitPath(path, folder, out.name))
        return e;
    if (FsError e = OpenFolder(folder, out.dir))
        return e;
    if (::fstatat(out.dir.get(), out.name.c_str(), &out.st, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        out.dir.reset();
        return error == ENOENT ? FsError::Refused(ENOENT, refusal::kGone) : FsError::System(error);
    }
    if (FsError e = NotRegularFile(out.st.st_mode)) {
        out.dir.reset();
        return e;
    }
    return {};
}

FsError CheckSeen(const HeldFile& file, const FileSeen& seen) {
    // Nothing to compare with: what it is now cannot be told from what it was.
    if (seen.ino == 0)
        return FsError::Refused(ESTALE, refusal::kNotSeen);
    struct stat folder {};
    if (::fstat(file.dir.get(), &folder) != 0)
        return FsError::System(errno);
    // A file system mounted over the folder since: whatever is there now is not what was seen.
    if (folder.st_dev != seen.dev)
        return FsError::Refused(EXDEV, refusal::kOtherFileSystem);
    if (file.st.st_dev != seen.dev || file.st.st_ino != seen.ino)
        return FsError::Refused(ESTALE, refusal::kReplaced);
    if (static_cast<std::uint64_t>(file.st.st_size) != seen.size ||
        file.st.st_mtim.tv_sec != seen.mtime || file.st.st_mtim.tv_nsec != seen.mtimeNsec)
        return FsError::Refused(ESTALE, refusal::kRewritten);
    return {};
}

FsError CheckStillSame(const HeldFile& file, struct stat* now) {
    struct stat st {};
    if (::fstatat(file.dir.get(), file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? FsError::Refused(ENOENT, refusal::kGone) : FsError::System(errno);
    if (FsError e = NotRegularFile(st.st_mode))
        return e;
    if (!SameFile(st, file.st))
        return FsError::Refused(ESTALE, refusal::kReplaced);
    if (now)
        *now = st;
    return {};
}

FsError OpenHeld(const HeldFile& file, int flags, UniqueFd& out) {
    out.reset(::openat(file.dir.get(), file.name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!out) {
        const int error = errno;
        if (error == ELOOP)
            return FsError::Refused(ELOOP, refusal::kLink);
        return error == ENOENT ? FsError::Refused(ENOENT, refusal::kGone) : FsError::System(error);
    }
    struct stat st {};
    if (::fstat(out.get(), &st) != 0) {
        const int error = errno;
        out.reset();
        return FsError::System(error);
    }
    if (!S_ISREG(st.st_mode) || !SameFile(st, file.st)) {
        out.reset();
        return FsError::Refused(ESTALE, refusal::kReplaced);
    }
    // Blocking again for the reads and writes to come.
    if ((flags & O_NONBLOCK) == 0) {
        const int fl = ::fcntl(out.get(), F_GETFL);
        if (fl != -1)
            ::fcntl(out.get(), F_SETFL, fl & ~O_NONBLOCK);
    }
    return {};
}

