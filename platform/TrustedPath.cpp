// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/TrustedPath.h"

#include "platform/FsError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// Every step holds the folder reached so far: nothing between two components can be swapped.
// O_PATH: passing through a folder needs only search permission, as with any path.
constexpr int kStepFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string Join(const std::vector<std::string>& parts) {
    if (parts.empty())
        return "/";
    std::string path;
    for (const std::string& p : parts)
        path += "/" + p;
    return path;
}

std::string JoinWith(const std::vector<std::string>& parts, const std::string& last) {
    return parts.empty() ? "/" + last : Join(parts) + "/" + last;
}

// Pushes the components of path so that the first is on top.
void PushComponents(const std::string& path, std::vector<std::string>& todo) {
    size_t end = path.size();
    while (end > 0) {
        const size_t slash = path.rfind('/', end - 1);
        const size_t begin = slash == std::string::npos ? 0 : slash + 1;
        if (end > begin)
            todo.push_back(path.substr(begin, end - begin));
        if (slash == std::string::npos)
            break;
        end = slash;
    }
}

// The target of the link name in dirfd, whatever its length; empty with errno on failure.
std::string ReadLinkAt(int dirfd, const std::string& name, size_t sizeHint) {
    std::string buf(sizeHint + 1 > 256 ? sizeHint + 1 : 256, '\0');
    for (;;) {
        const ssize_t n = ::readlinkat(dirfd, name.c_str(), buf.data(), buf.size());
        if (n < 0)
            return {};
        if (n == 0) {
            errno = ENOENT; // a link to nothing at all
            return {};
        }
        if (static_cast<size_t>(n) < buf.size()) {
            buf.resize(static_cast<size_t>(n));
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

std::string WhoIs(uid_t uid) { return uid == 0 ? "root" : "user " + std::to_string(uid); }

FsError Fail(int error, std::string reason) { return FsError::Told(error, std::move(reason)); }

// The failure of the call just made: what comes first, then the system's words for errno.
FsError FailErrno(const std::string& what) {
    const int error = errno;
    return Fail(error, what + ErrorText(error));
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

bool MayFollowLink(uid_t linkOwner, uid_t folderOwner, mode_t folderMode, uid_t follower) {
    if (linkOwner != 0 && linkOwner != follower)
        return false;
    const bool stickyOpen = (folderMode & S_ISVTX) && (folderMode & S_IWOTH);
    return !stickyOpen || linkOwner == follower || linkOwner == folderOwner;
}

FsError OpenTrustedFolder(const std::string& folder, TrustedFolder& out) {
    return OpenTrustedFolder(folder, ::geteuid(), out);
}

FsError OpenTrustedFolder(const std::string& folder, uid_t follower, TrustedFolder& out) {
    out = {};
    if (folder.empty())
        return Fail(ENOENT, "no folder was named");
    std::string start = folder;
    if (start[0] != '/') {
        const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
        if (!cwd)
            return FailErrno("the current folder cannot be found: ");
        start = std::string(cwd.get()) + "/" + folder;
    }

    std::vector<std::string> todo; // components still to resolve, the next one last
    PushComponents(start, todo);
    std::vector<std::string> real; // the real path so far
    UniqueFd cur(::open("/", kStepFlags));
    if (!cur)
        return FailErrno("the root folder cannot be opened: ");
    int links = 0;

    while (!todo.empty()) {
        const std::string part = std::move(todo.back());
        todo.pop_back();
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            // The parent of a real folder is its real parent: a link is never climbed back.
            if (real.empty())
                continue;
            UniqueFd up(::openat(cur.get(), "..", kStepFlags));
            if (!up)
                return FailErrno(Join(real) + "/.. cannot be opened: ");
            cur = std::move(up);
            real.pop_back();
            continue;
        }

        struct stat st {};
        if (::fstatat(cur.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            const int e = errno;
            return Fail(e, JoinWith(real, part) + ": " + ErrorText(e));
        }
        if (S_ISLNK(st.st_mode)) {
            const std::string at = JoinWith(real, part);
            if (++links > kMaxFollowedLinks)
                return Fail(ELOOP, "more than " + std::to_string(kMaxFollowedLinks) +
                                       " symbolic links on the way (the last " + at + ")");
            struct stat dir {};
            if (::fstat(cur.get(), &dir) != 0)
                return FailErrno(Join(real) + ": ");
            if (!MayFollowLink(st.st_uid, dir.st_uid, dir.st_mode, follower)) {
                if (st.st_uid != 0 && st.st_uid != follower)
                    return Fail(EPERM, "the symbolic link " + at + " belongs to " +
                                           WhoIs(st.st_uid) +
                                           ", neither root nor the user running the program");
                return Fail(EPERM, "the symbolic link " + at + " belongs to " + WhoIs(st.st_uid) +
                                       " but lies in " + Join(real) +
                                       ", a sticky folder anyone may write to, which belongs to " +
                                       WhoIs(dir.st_uid));
            }
            const std::string target = ReadLinkAt(cur.get(), part, static_cast<size_t>(st.st_size));
            if (target.empty())
                return FailErrno("the symbolic link " + at + " cannot be read: ");
            if (target[0] == '/') {
                UniqueFd root(::open("/", kStepFlags));
                if (!root)
                    return FailErrno("the root folder cannot be opened: ");
                cur = std::move(root);
                real.clear();
            }
            PushComponents(target, todo);
            continue;
        }
        if (!S_ISDIR(st.st_mode))
            return Fail(ENOTDIR, JoinWith(real, part) + " is not a folder");

        UniqueFd next(::openat(cur.get(), part.c_str(), kStepFlags));
        struct stat opened {};
        if (!next || ::fstat(next.get(), &opened) != 0) {
            const int e = errno;
            return Fail(e, JoinWith(real, part) + " cannot be opened: " + ErrorText(e));
        }
        if (!SameFile(st, opened)) // replaced between the look and the open
            return Fail(EAGAIN, JoinWith(real, part) + " changed while it was being looked up");
        cur = std::move(next);
        real.push_back(part);
    }

    out.fd = std::move(cur);
    out.path = Join(real);
    return {};
}
