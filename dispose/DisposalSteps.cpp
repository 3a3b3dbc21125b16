#include "dispose/DisposalSteps.h"

#include "dispose/DisposalMethod.h"
#include "dispose/SafeFile.h"
#include "platform/RenameNoReplace.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <vector>

namespace {

constexpr size_t kChunk = size_t{1} << 20;
constexpr const char* kNameTaken = "the destination already has a file of that name";
constexpr const char* kIsLink = "it is a symbolic link, which is never followed";
constexpr const char* kReplaced = "it was replaced by another file meanwhile and was left alone";

std::string FolderFailure(int error) {
    switch (error) {
    case ELOOP:
    case ENOTDIR: // what the component-by-component walk reports for a link
        return "a folder on its path is a symbolic link or not a folder, which is never followed";
    case EINVAL:
        return "it is not an absolute path to a file";
    default:
        return ErrorText(error);
    }
}

std::string OpenFailure(int error) {
    return error == ELOOP ? std::string(kIsLink) : ErrorText(error);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What the name is now, without following it; only a regular file may be acted on.
bool StatRegular(int dir, const std::string& name, struct stat& st, std::string& reason) {
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        reason = ErrorText(errno);
        return false;
    }
    if (S_ISLNK(st.st_mode))
        reason = kIsLink;
    else if (!S_ISREG(st.st_mode))
        reason = "it is not a regular file";
    return reason.empty();
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

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

// Overwrites the data regions only: zeros written into the holes of a sparse file would not
// hide anything, they would just fill the disk.
bool ZeroContent(int fd, off_t size) {
    off_t pos = 0;
    while (pos < size) {
        off_t data = ::lseek(fd, pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO)
                return true; // only a hole is left
            if (errno != EINVAL)
                return false;
            return ZeroRange(fd, pos, size); // no hole tracking here: everything is data
        }
        off_t hole = ::lseek(fd, data, SEEK_HOLE);
        if (hole < 0)
            hole = size;
        if (!ZeroRange(fd, data, std::min(hole, size)))
            return false;
        pos = hole;
    }
    return true;
}

// A temporary file in the destination folder, removed unless it was put in place.
class TempCopy {
public:
    explicit TempCopy(int dir) : m_dir(dir) {
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
    const std::string& name() const { return m_name; }
    // Closes with the error checked: a late write error may only show here.
    bool Close() { return ::close(m_fd.release()) == 0; }
    void PutInPlace() { m_name.clear(); }

private:
    int m_dir;
    std::string m_name;
    UniqueFd m_fd;
};

StepResult CopyAcross(int srcDir, const std::string& name, const struct stat& seen, int dstDir,
                      const std::string& target) {
    UniqueFd in(::openat(srcDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in)
        return StepResult::Failed(OpenFailure(errno));
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return StepResult::Failed(ErrorText(errno));
    if (!S_ISREG(st.st_mode) || !SameFile(st, seen))
        return StepResult::Failed(kReplaced);

    // Early only to spare a long copy; the placing below is what never replaces.
    struct stat existing {};
    if (::fstatat(dstDir, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return StepResult::Failed(kNameTaken);

    TempCopy tmp(dstDir);
    if (!tmp.fd())
        return StepResult::Failed("the copy could not be created: " + ErrorText(errno));
    std::vector<char> buf(kChunk);
    for (;;) {
        const ssize_t n = ::read(in.get(), buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return StepResult::Failed("reading it failed: " + ErrorText(errno));
        if (n == 0)
            break;
        if (!WriteAll(tmp.fd(), buf.data(), static_cast<size_t>(n)))
            return StepResult::Failed("writing the copy failed: " + ErrorText(errno));
    }
    struct stat after {};
    if (::fstat(in.get(), &after) != 0)
        return StepResult::Failed(ErrorText(errno));
    // A file written to while we copied would arrive torn.
    if (after.st_size != st.st_size || after.st_mtim.tv_sec != st.st_mtim.tv_sec ||
        after.st_mtim.tv_nsec != st.st_mtim.tv_nsec)
        return StepResult::Failed("it changed while being copied; the original was kept");

    // Owner first: changing it afterwards would clear set-user-ID bits. Only root may give a
    // file away, so a refusal here is not a failure of the move.
    (void)!::fchown(tmp.fd(), st.st_uid, st.st_gid);
    if (::fchmod(tmp.fd(), st.st_mode & 07777) != 0)
        return StepResult::Failed("the copy's permissions could not be set: " + ErrorText(errno));
    // Times last: every write before this would move the modification time.
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(tmp.fd(), times) != 0)
        return StepResult::Failed("the copy's times could not be set: " + ErrorText(errno));
    if (::fsync(tmp.fd()) != 0 || !tmp.Close())
        return StepResult::Failed("writing the copy failed: " + ErrorText(errno));

    const int placed = RenameNoReplace(dstDir, tmp.name(), dstDir, name);
    if (placed == EEXIST)
        return StepResult::Failed(kNameTaken);
    if (placed != 0)
        return StepResult::Failed("the copy could not be put in place: " + ErrorText(placed));
    tmp.PutInPlace();
    // The new name must survive a crash before the original goes.
    if (UniqueFd folder{::openat(dstDir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)})
        ::fsync(folder.get());

    // Only the file we copied may go, not one that took its name meanwhile.
    struct stat now {};
    if (::fstatat(srcDir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(now, st))
        return StepResult::Failed("it was copied to " + target +
                                  ", but the original changed meanwhile and was left alone");
    if (::unlinkat(srcDir, name.c_str(), 0) != 0)
        return StepResult::Failed("it was copied to " + target +
                                  ", but the original could not be removed: " + ErrorText(errno));
    return StepResult::Done();
}

} // namespace

StepResult DeleteFileStep(const std::string& path) {
    const SafeParent parent = OpenParentNoFollow(path);
    if (!parent.dir)
        return StepResult::Failed(FolderFailure(parent.error));
    struct stat st {};
    std::string reason;
    if (!StatRegular(parent.dir.get(), parent.name, st, reason))
        return StepResult::Failed(reason);
    if (::unlinkat(parent.dir.get(), parent.name.c_str(), 0) != 0)
        return StepResult::Failed(ErrorText(errno));
    return StepResult::Done();
}

std::string MoveTarget(const std::string& path, const std::string& destFolder) {
    std::string target = destFolder;
    while (!target.empty() && target.back() == '/')
        target.pop_back();
    return target + "/" + GetFileNameWithExt(path);
}

StepResult MoveFileStep(const std::string& path, const std::string& destFolder) {
    const SafeParent parent = OpenParentNoFollow(path);
    if (!parent.dir)
        return StepResult::Failed(FolderFailure(parent.error));
    struct stat st {};
    std::string reason;
    if (!StatRegular(parent.dir.get(), parent.name, st, reason))
        return StepResult::Failed(reason);

    if (destFolder.empty()) // not the root folder by accident
        return StepResult::Failed("no destination folder was given");
    const std::string target = MoveTarget(path, destFolder);
    const std::string folder = target.substr(0, target.size() - parent.name.size() - 1);
    const UniqueFd dest = OpenFolderNoFollow(folder.empty() ? std::string("/") : folder);
    if (!dest)
        return StepResult::Failed("the destination folder cannot be opened: " + FolderFailure(errno));

    const int moved = RenameNoReplace(parent.dir.get(), parent.name, dest.get(), parent.name);
    if (moved == 0)
        return StepResult::Done();
    if (moved == EEXIST)
        return StepResult::Failed(kNameTaken);
    if (moved != EXDEV)
        return StepResult::Failed(ErrorText(moved));
    return CopyAcross(parent.dir.get(), parent.name, st, dest.get(), target);
}

StepResult PermanentDeleteStep(const std::string& path) {
    const SafeParent parent = OpenParentNoFollow(path);
    if (!parent.dir)
        return StepResult::Failed(FolderFailure(parent.error));
    const int dir = parent.dir.get();
    const char* name = parent.name.c_str();
    struct stat seen {};
    std::string reason;
    // Checked before opening: opening a device or FIFO for writing can block or act on it.
    if (!StatRegular(dir, parent.name, seen, reason))
        return StepResult::Failed(reason);
    UniqueFd fd(::openat(dir, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return StepResult::Failed(OpenFailure(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return StepResult::Failed(ErrorText(errno));
    if (!S_ISREG(st.st_mode) || !SameFile(st, seen))
        return StepResult::Failed(kReplaced);

    if (st.st_nlink > 1) {
        // Overwriting would wipe the data the other names still show.
        fd.reset();
        if (::unlinkat(dir, name, 0) != 0)
            return StepResult::Failed(ErrorText(errno));
        return StepResult::Done("it has other names, so it was deleted without being overwritten");
    }

    if (!ZeroContent(fd.get(), st.st_size) || ::fsync(fd.get()) != 0 || ::close(fd.release()) != 0)
        return StepResult::Failed("overwriting it failed: " + ErrorText(errno));

    struct stat now {};
    if (::fstatat(dir, name, &now, AT_SYMLINK_NOFOLLOW) != 0)
        return StepResult::Failed("its content was overwritten, but it could not be deleted: " +
                                  ErrorText(errno));
    if (!SameFile(now, st))
        return StepResult::Failed(
            "its content was overwritten, but its name now belongs to another file, which was left alone");
    if (::unlinkat(dir, name, 0) != 0)
        return StepResult::Failed("its content was overwritten, but it could not be deleted: " +
                                  ErrorText(errno));

    // From here the file is gone and its data overwritten: the step has succeeded. An empty
    // stand-in under the same name keeps the old directory entry from pointing at the data.
    UniqueFd standIn(::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!standIn) {
        if (errno == EEXIST)
            return StepResult::Done("a new file of the same name appeared meanwhile and was left alone");
        return StepResult::Done("the empty stand-in file could not be created: " + ErrorText(errno));
    }
    standIn.reset();
    if (::unlinkat(dir, name, 0) != 0)
        return StepResult::Done("an empty file of the same name was left behind: " + ErrorText(errno));
    return StepResult::Done();
}
