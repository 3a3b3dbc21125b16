// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/DisposalSteps.h"

#include "dispose/DisposalMethod.h"
#include "platform/RenameNoReplace.h"
#include "platform/StopSignal.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <vector>

namespace {

constexpr size_t kChunk = size_t{1} << 20;

// Wordings of the steps' own failures.
constexpr char kNoDestination[] = "no destination folder was given";
constexpr char kDestinationFolder[] = "the destination folder cannot be used";
constexpr char kCopyCreate[] = "the copy could not be created";
constexpr char kCopyRead[] = "reading it failed";
constexpr char kCopyWrite[] = "writing the copy failed";
constexpr char kCopyMode[] = "the copy's permissions could not be set";
constexpr char kCopyTimes[] = "the copy's times could not be set";
constexpr char kCopyPlace[] = "the copy could not be put in place";
constexpr char kChangedDuringCopy[] = "it changed while being copied; the original was kept";
constexpr char kOriginalChanged[] =
    "it was copied to the destination, but the original changed meanwhile and was left alone";
constexpr char kOriginalStays[] =
    "it was copied to the destination, but the original could not be removed";
constexpr char kOverwrite[] = "overwriting it failed";
constexpr char kOverwrittenNotDeleted[] = "its content was overwritten, but it could not be deleted";
constexpr char kOverwrittenNameTaken[] =
    "its content was overwritten, but its name now belongs to another file, which was left alone";

StepResult Failed(FsError error) { return {error, {}}; }
StepResult Done(std::string note = {}) { return {{}, std::move(note)}; }

// Zeros over [from, to), chunk by chunk; short writes continue where they stopped.
bool ZeroRange(int fd, off_t from, off_t to) {
    static const std::vector<char> zeros(kChunk, 0);
    while (from < to) {
        const size_t want = static_cast<size_t>(std::min<off_t>(to - from, static_cast<off_t>(kChunk)));
        const ssize_t n = ::pwrite(fd, zeros.data(), want, from);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        from += n;
    }
    return true;
}

// The data regions of a file, one after the other: a file system that does not track holes
// shows all of the file as one region.
class DataRegions {
public:
    DataRegions(int fd, off_t size) : m_fd(fd), m_size(size) {}
    // The next region [from, to); false at the end, or with errno set on a failure.
    bool Next(off_t& from, off_t& to) {
        errno = 0;
        if (m_pos >= m_size)
            return false;
        off_t data = ::lseek(m_fd, m_pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) { // only a hole is left
                errno = 0;
                return false;
            }
            if (errno != EINVAL)
                return false;
            data = m_pos; // no hole tracking here: everything is data
            m_pos = m_size;
            from = data;
            to = m_size;
            errno = 0;
            return true;
        }
        off_t hole = ::lseek(m_fd, data, SEEK_HOLE);
        if (hole < 0 || hole > m_size)
            hole = m_size;
        from = data;
        to = hole;
        m_pos = hole;
        if (from >= to)
            return Next(from, to);
        return true;
    }

private:
    int m_fd;
    off_t m_size;
    off_t m_pos = 0;
};

// Overwrites the data regions only: zeros written into the holes of a sparse file would not
// hide anything, they would just fill the disk.
bool ZeroContent(int fd, off_t size) {
    DataRegions regions(fd, size);
    off_t from = 0, to = 0;
    while (regions.Next(from, to))
        if (!ZeroRange(fd, from, to))
            return false;
    return errno == 0;
}

// Copies [from, to) of in to the same place in out.
FsError CopyRange(int in, int out, off_t from, off_t to, std::vector<char>& buf,
                  const StopTest& stop) {
    while (from < to) {
        if (stop())
            return FsError::Refused(ECANCELED, refusal::kStopped);
        const size_t want = static_cast<size_t>(std::min<off_t>(to - from, static_cast<off_t>(buf.size())));
        const ssize_t n = ::pread(in, buf.data(), want, from);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FsError::System(errno, kCopyRead);
        if (n == 0)
            return FsError::Refused(ESTALE, kChangedDuringCopy); // it shrank
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::pwrite(out, buf.data() + done, static_cast<size_t>(n - done), from + done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return FsError::System(w == 0 ? EIO : errno, kCopyWrite);
            done += w;
        }
        from += n;
    }
    return {};
}

// Extended attributes of in onto out. Attributes the destination cannot hold, or we may not
// set, are left out: the move goes on and the note says so.
std::string CopyExtendedAttributes(int in, int out) {
    std::vector<char> names;
    for (;;) {
        const ssize_t len = ::flistxattr(in, nullptr, 0);
        if (len <= 0)
            return {}; // none, or the source's file system has none
        names.resize(static_cast<size_t>(len));
        const ssize_t got = ::flistxattr(in, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<size_t>(got));
            break;
        }
        if (errno != ERANGE) // another attribute came meanwhile: ask again
            return "its extended attributes could not be read: " + ErrorText(errno);
    }
    int unsupported = 0, refused = 0, lastError = 0;
    std::vector<char> value;
    for (size_t pos = 0; pos < names.size();) {
        const char* name = names.data() + pos;
        pos += std::char_traits<char>::length(name) + 1;
        ssize_t len = ::fgetxattr(in, name, nullptr, 0);
        if (len < 0)
            continue; // gone since it was listed
        value.resize(static_cast<size_t>(len));
        len = ::fgetxattr(in, name, value.data(), value.size());
        if (len < 0)
            continue;
        if (::fsetxattr(out, name, value.data(), static_cast<size_t>(len), 0) == 0)
            continue;
        if (errno == ENOTSUP)
            ++unsupported;
        else {
            ++refused;
            lastError = errno;
        }
    }
    if (unsupported > 0)
        return "the destination cannot hold extended attributes; " + std::to_string(unsupported) +
               (unsupported == 1 ? " was" : " were") + " not kept";
    if (refused > 0)
        return std::to_string(refused) + " of its extended attributes could not be kept: " +
               ErrorText(lastError);
    return {};
}

// The copy being made in the destination folder. Where the file system allows it, it has no
// name until it is complete (O_TMPFILE), so nothing partial can ever be seen or left behind,
// even by a crash; elsewhere it is a hidden file, removed unless it was put in place.
class TempCopy {
public:
    explicit TempCopy(int dir) : m_dir(dir) {
        m_fd.reset(::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (m_fd)
            return;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return;
        static std::atomic<unsigned> s_counter{0};
        for (int attempt = 0; attempt < 100 && !m_fd; ++attempt) {
            timespec now{};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            m_name = ".fernwick-move-" + std::to_string(::getpid()) + "-" +
                     std::to_string(s_counter.fetch_add(1)) + "-" + std::to_string(now.tv_nsec);
            m_fd.reset(::openat(dir, m_name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!m_fd && errno != EEXIST)
                break;
        }
        if (!m_fd)
            m_name.clear();
    }
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;
    ~TempCopy() {
        m_fd.reset();
        if (!m_name.empty())
            ::unlinkat(m_dir, m_name.c_str(), 0);
    }
    int fd() const { return m_fd.get(); }

    // Gives the finished copy the name; an existing name is never replaced (EEXIST).
    FsError Place(const std::string& name) {
        if (m_name.empty()) {
            // A link never replaces. AT_EMPTY_PATH needs a capability; /proc works for anyone.
            if (::linkat(m_fd.get(), "", m_dir, name.c_str(), AT_EMPTY_PATH) != 0) {
                if (errno == EEXIST)
                    return FsError::Refused(EEXIST, refusal::kNameTaken);
                const std::string self = "/proc/self/fd/" + std::to_string(m_fd.get());
                if (::linkat(AT_FDCWD, self.c_str(), m_dir, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
                    return errno == EEXIST ? FsError::Refused(EEXIST, refusal::kNameTaken)
                                           : FsError::System(errno, kCopyPlace);
            }
            m_fd.reset();
            return {};
        }
        // Closed with the error checked: a late write error may only show here.
        if (::close(m_fd.release()) != 0)
            return FsError::System(errno, kCopyWrite);
        const FsError placed = RenameNoReplace(m_dir, m_name, m_dir, name);
        if (placed.Code() == EEXIST)
            return FsError::Refused(EEXIST, refusal::kNameTaken);
        if (placed)
            return FsError::System(placed.Code(), kCopyPlace);
        m_name.clear();
        return {};
    }

private:
    int m_dir;
    std::string m_name; // empty for a copy without a name
    UniqueFd m_fd;
};

StepResult CopyAcross(const HeldFile& file, int dstDir, const StopTest& stop, int sourceFd) {
    UniqueFd own;
    if (sourceFd < 0) {
        if (FsError e = OpenHeld(file, O_RDONLY, own))
            return Failed(e);
        sourceFd = own.get();
    }
    const int in = sourceFd; // read with pread and lseek only: it may be the caller's
    struct stat st {};
    if (::fstat(in, &st) != 0)
        return Failed(FsError::System(errno));

    // Early only to spare a long copy; the placing below is what never replaces.
    struct stat existing {};
    if (::fstatat(dstDir, file.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return Failed(FsError::Refused(EEXIST, refusal::kNameTaken));

    TempCopy tmp(dstDir);
    if (tmp.fd() < 0)
        return Failed(FsError::System(errno, kCopyCreate));
    std::vector<char> buf(kChunk);
    DataRegions regions(in, st.st_size);
    off_t from = 0, to = 0;
    while (regions.Next(from, to))
        if (FsError e = CopyRange(in, tmp.fd(), from, to, buf, stop))
            return Failed(e);
    if (errno != 0)
        return Failed(FsError::System(errno, kCopyRead));
    // The size itself: a hole at the end has no data region to write.
    if (::ftruncate(tmp.fd(), st.st_size) != 0)
        return Failed(FsError::System(errno, kCopyWrite));
    struct stat after {};
    if (::fstat(in, &after) != 0)
        return Failed(FsError::System(errno));
    // A file written to while we copied would arrive torn.
    if (after.st_size != st.st_size || after.st_mtim.tv_sec != st.st_mtim.tv_sec ||
        after.st_mtim.tv_nsec != st.st_mtim.tv_nsec)
        return Failed(FsError::Refused(ESTALE, kChangedDuringCopy));

    std::string note = CopyExtendedAttributes(in, tmp.fd());
    // Owner first: changing it afterwards would clear set-user-ID bits. Only root may give a
    // file away, so a refusal here is not a failure of the move.
    (void)!::fchown(tmp.fd(), st.st_uid, st.st_gid);
    if (::fchmod(tmp.fd(), st.st_mode & 07777) != 0)
        return Failed(FsError::System(errno, kCopyMode));
    // Times last: every write before this would move the modification time.
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(tmp.fd(), times) != 0)
        return Failed(FsError::System(errno, kCopyTimes));
    if (::fsync(tmp.fd()) != 0)
        return Failed(FsError::System(errno, kCopyWrite));
    if (stop())
        return Failed(FsError::Refused(ECANCELED, refusal::kStopped));
    if (FsError e = tmp.Place(file.name))
        return Failed(e);
    // The new name must survive a crash before the original goes.
    if (UniqueFd folder{::openat(dstDir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)})
        ::fsync(folder.get());

    // Only the file we copied may go, not one that took its name meanwhile.
    if (CheckStillSame(file))
        return Failed(FsError::Refused(ESTALE, kOriginalChanged));
    if (::unlinkat(file.dir.get(), file.name.c_str(), 0) != 0)
        return Failed(FsError::System(errno, kOriginalStays));
    return Done(std::move(note));
}

StepResult ForPath(const std::string& path, StepResult (*step)(const HeldFile&)) {
    HeldFile file;
    if (FsError e = HoldFile(path, file))
        return Failed(e);
    return step(file);
}

} // namespace

StepResult DeleteFileStep(const HeldFile& file) {
    if (FsError e = CheckStillSame(file))
        return Failed(e);
    if (::unlinkat(file.dir.get(), file.name.c_str(), 0) != 0)
        return Failed(FsError::System(errno));
    return Done();
}

std::string MoveTarget(const std::string& path, const std::string& destFolder) {
    std::string target = destFolder;
    while (!target.empty() && target.back() == '/')
        target.pop_back();
    return target + "/" + GetFileNameWithExt(path);
}

StepResult MoveFileStep(const HeldFile& file, int destDir, const StopTest& stop, int sourceFd) {
    if (FsError e = CheckStillSame(file))
        return Failed(e);
    const FsError moved = RenameNoReplace(file.dir.get(), file.name, destDir, file.name);
    if (!moved)
        return Done();
    if (moved.Code() == EEXIST)
        return Failed(FsError::Refused(EEXIST, refusal::kNameTaken));
    if (moved.Code() != EXDEV)
        return Failed(moved);
    return CopyAcross(file, destDir, stop ? stop : StopTest(StopSignalReceived), sourceFd);
}

StepResult PermanentDeleteStep(const HeldFile& file, int writableFd) {
    const int dir = file.dir.get();
    const char* name = file.name.c_str();
    // Looked at before opening: opening a device or FIFO for writing can block or act on it.
    if (FsError e = CheckStillSame(file))
        return Failed(e);
    UniqueFd own;
    int fd = writableFd;
    if (fd < 0) {
        if (FsError e = OpenHeld(file, O_WRONLY, own))
            return Failed(e);
        fd = own.get();
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return Failed(FsError::System(errno));

    if (st.st_nlink > 1) {
        // Overwriting would wipe the data the other names still show.
        own.reset();
        if (::unlinkat(dir, name, 0) != 0)
            return Failed(FsError::System(errno));
        return Done("it has other names, so it was deleted without being overwritten");
    }

    // Our own descriptor is closed with the error checked: a late write error may only show
    // there. The caller's is synced, which reports the same.
    if (!ZeroContent(fd, st.st_size) || ::fsync(fd) != 0 || (own && ::close(own.release()) != 0))
        return Failed(FsError::System(errno, kOverwrite));

    struct stat now {};
    if (FsError e = CheckStillSame(file, &now)) {
        if (e.Wording() == refusal::kReplaced)
            return Failed(FsError::Refused(ESTALE, kOverwrittenNameTaken));
        return Failed(FsError::System(e.Code(), kOverwrittenNotDeleted));
    }
    if (::unlinkat(dir, name, 0) != 0)
        return Failed(FsError::System(errno, kOverwrittenNotDeleted));

    // From here the file is gone and its data overwritten: the step has succeeded. An empty
    // stand-in under the same name keeps the old directory entry from pointing at the data.
    UniqueFd standIn(::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!standIn) {
        if (errno == EEXIST)
            return Done("a new file of the same name appeared meanwhile and was left alone");
        return Done("the empty stand-in file could not be created: " + ErrorText(errno));
    }
    standIn.reset();
    if (::unlinkat(dir, name, 0) != 0)
        return Done("an empty file of the same name was left behind: " + ErrorText(errno));
    return Done();
}

StepResult DeleteFileStep(const std::string& path) { return ForPath(path, DeleteFileStep); }

StepResult PermanentDeleteStep(const std::string& path) {
    return ForPath(path, [](const HeldFile& file) { return PermanentDeleteStep(file); });
}

StepResult MoveFileStep(const std::string& path, const std::string& destFolder,
                        const StopTest& stop) {
    HeldFile file;
    if (FsError e = HoldFile(path, file))
        return Failed(e);
    if (destFolder.empty()) // not the root folder by accident
        return Failed(FsError::Refused(EINVAL, kNoDestination));
    const std::string target = MoveTarget(path, destFolder);
    const std::string folder = target.substr(0, target.size() - file.name.size() - 1);
    UniqueFd dest;
    if (FsError e = OpenFolder(folder.empty() ? std::string("/") : folder, dest))
        return Failed(FsError::System(e.Code(), kDestinationFolder));
    return MoveFileStep(file, dest.get(), stop);
}
