// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/ArchiveFile.h"

#include "platform/RenameNoReplace.h"
#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace {

// libzip writes headers of a few dozen bytes and data in 8 KiB blocks; gathered, they reach
// the file in large writes.
constexpr std::size_t kBufferSize = std::size_t{256} << 10;

constexpr char kCreating[] = "creating the new archive failed";
constexpr char kWriting[] = "writing the archive failed";
constexpr char kFlushing[] = "flushing the archive to disk failed";
constexpr char kNaming[] = "naming the new archive failed";
constexpr char kPermissions[] = "setting the archive's permissions failed";

std::string RandomTempName() {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned char bytes[12];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy yet at early boot: unique enough with O_EXCL and a retry.
        auto seed = static_cast<std::uint64_t>(
                        std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (static_cast<std::uint64_t>(::getpid()) << 40);
        for (unsigned char& b : bytes) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            b = static_cast<unsigned char>(seed >> 56);
        }
    }
    std::string name = ".fernwick-";
    for (unsigned char b : bytes)
        name += kDigits[b % (sizeof kDigits - 1)];
    return name + ".zip.tmp";
}

// Permissions for a new archive whose group could not be kept: the new group gets no more
// than everybody had, as its members were nobody special to the old archive.
mode_t GroupNoMoreThanOthers(mode_t mode) {
    const mode_t others = mode & 07;
    return (mode & ~mode_t{070}) | (mode & (others << 3));
}

FsError PWriteAll(int fd, const char* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        const ssize_t n =
            ::pwrite(fd, data, std::min<std::size_t>(size, SSIZE_MAX), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FsError::System(errno, kWriting);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return {};
}

} // namespace

FsError ArchiveFile::OpenFolder(const std::string& archive) {
    Discard();
    m_read.reset();
    std::string folder;
    if (FsError e = SplitPath(archive, folder, m_name))
        return e;
    return ::OpenFolder(folder, m_folder);
}

FsError ArchiveFile::Look() const {
    struct stat st {};
    if (::fstatat(m_folder.get(), m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? FsError() : FsError::System(errno);
    if (S_ISLNK(st.st_mode))
        return FsError::Refused(ELOOP, refusal::kArchiveIsLink);
    if (!S_ISREG(st.st_mode))
        return FsError::Refused(EINVAL, refusal::kArchiveNotRegular);
    return {};
}

FsError ArchiveFile::OpenExisting() {
    m_read.reset();
    m_existing = {};
    // Looked at first: opening a device or a FIFO can have effects of its own.
    if (FsError e = Look())
        return e;
    UniqueFd fd(
        ::openat(m_folder.get(), m_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        if (errno == ENOENT)
            return {}; // gone since the look: a new archive
        return errno == ELOOP ? FsError::Refused(ELOOP, refusal::kArchiveIsLink)
                              : FsError::System(errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return FsError::System(errno);
    if (!S_ISREG(st.st_mode))
        return FsError::Refused(EINVAL, refusal::kArchiveNotRegular);
    m_read = std::move(fd);
    m_existing = st;
    return {};
}

bool ArchiveFile::CanLinkUnnamed() const {
    // An unnamed file is named through /proc (linkat with AT_EMPTY_PATH wants a capability).
    const std::string self = "/proc/self/fd/" + std::to_string(m_temp.get());
    return ::access(self.c_str(), F_OK) == 0;
}

FsError ArchiveFile::CreateTemp() {
    if (m_unnamedAllowed) {
        m_temp.reset(::openat(m_folder.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (m_temp && CanLinkUnnamed())
            return {};
        const int error = errno;
        if (!m_temp && error != EOPNOTSUPP && error != EISDIR && error != EINVAL)
            return FsError::System(error, kCreating);
        m_temp.reset();
    }
    // 0600 before the umask: never readable by others, not even before its mode is set.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = RandomTempName();
        m_temp.reset(::openat(m_folder.get(), name.c_str(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (m_temp) {
            m_tempName = name;
            return {};
        }
        if (errno != EEXIST)
            return FsError::System(errno, kCreating);
    }
    return FsError::System(EEXIST, kCreating);
}

FsError ArchiveFile::GiveOwnerAndMode() {
    mode_t mode = 0600;
    if (Exists()) {
        // Special bits are dropped: an archive has no use for them.
        mode = m_existing.st_mode & 0777;
        // Another owner needs root; a group we belong to may be kept without.
        if (::fchown(m_temp.get(), m_existing.st_uid, m_existing.st_gid) != 0 &&
            ::fchown(m_temp.get(), static_cast<uid_t>(-1), m_existing.st_gid) != 0) {
            // Neither took: what the archive ended up with is checked next.
        }
        struct stat now {};
        if (::fstat(m_temp.get(), &now) != 0)
            return FsError::System(errno, kPermissions);
        if (now.st_gid != m_existing.st_gid)
            mode = GroupNoMoreThanOthers(mode);
    }
    if (::fchmod(m_temp.get(), mode) != 0)
        return FsError::System(errno, kPermissions);
    return {};
}

FsError ArchiveFile::BeginWrite() {
    Discard();
    if (FsError e = CreateTemp())
        return e;
    if (FsError e = GiveOwnerAndMode()) {
        Discard();
        return e;
    }
    m_buffer.reserve(kBufferSize);
    return {};
}

FsError ArchiveFile::Flush() {
    if (m_buffer.empty())
        return {};
    FsError e = PWriteAll(m_temp.get(), m_buffer.data(), m_buffer.size(), m_bufferStart);
    m_buffer.clear();
    return e;
}

FsError ArchiveFile::Write(const void* data, std::size_t size) {
    if (!m_temp)
        return FsError::System(EBADF, kWriting);
    const auto* bytes = static_cast<const char*>(data);
    if (m_buffer.empty())
        m_bufferStart = m_pos;
    if (m_buffer.size() + size > kBufferSize) {
        if (FsError e = Flush())
            return e;
        m_bufferStart = m_pos;
    }
    if (size >= kBufferSize) {
        if (FsError e = PWriteAll(m_temp.get(), bytes, size, m_pos))
            return e;
    } else {
        m_buffer.insert(m_buffer.end(), bytes, bytes + size);
    }
    m_pos += size;
    m_end = std::max(m_end, m_pos);
    return {};
}

FsError ArchiveFile::SeekWrite(std::uint64_t offset) {
    if (FsError e = Flush())
        return e;
    m_pos = offset;
    return {};
}

FsError ArchiveFile::LinkUnnamedAs(const std::string& name, bool retryOnTaken,
                                   std::string& linked) {
    const std::string self = "/proc/self/fd/" + std::to_string(m_temp.get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string target = retryOnTaken ? RandomTempName() : name;
        if (::linkat(AT_FDCWD, self.c_str(), m_folder.get(), target.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            linked = target;
            return {};
        }
        if (errno == EEXIST && !retryOnTaken)
            return FsError::Refused(EEXIST, refusal::kArchiveNameTaken);
        if (errno != EEXIST)
            return FsError::System(errno, kNaming);
    }
    return FsError::System(EEXIST, kNaming);
}

FsError ArchiveFile::PutInPlace() {
    if (!Exists()) {
        // Nothing to replace: a name that turned up meanwhile is left alone.
        if (m_tempName.empty()) {
            std::string linked;
            return LinkUnnamedAs(m_name, false, linked);
        }
        const FsError renamed = RenameNoReplace(m_folder.get(), m_tempName, m_folder.get(), m_name);
        if (renamed.Code() == EEXIST)
            return FsError::Refused(EEXIST, refusal::kArchiveNameTaken);
        if (renamed)
            return FsError::System(renamed.Code(), kNaming);
        m_tempName.clear();
        return {};
    }
    struct stat now {};
    if (::fstatat(m_folder.get(), m_name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        now.st_dev != m_existing.st_dev || now.st_ino != m_existing.st_ino)
        return FsError::Refused(ESTALE, refusal::kArchiveReplaced);
    // A rename is the one way to replace a name at once; an unnamed file needs a name first.
    if (m_tempName.empty()) {
        if (FsError e = LinkUnnamedAs(m_name, true, m_tempName))
            return e;
    }
    if (::renameat(m_folder.get(), m_tempName.c_str(), m_folder.get(), m_name.c_str()) != 0)
        return FsError::System(errno, kNaming);
    m_tempName.clear();
    return {};
}

FsError ArchiveFile::Commit() {
    if (!m_temp)
        return FsError::System(EBADF, kWriting);
    if (FsError e = Flush())
        return e;
    // The files packed are usually deleted next: the archive must not be an empty name after
    // a crash. One flush per archive, not per file.
    if (::fsync(m_temp.get()) != 0)
        return FsError::System(errno, kFlushing);
    if (FsError e = PutInPlace())
        return e;
    m_temp.reset();
    UniqueFd folder(::openat(m_folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder)
        (void)::fsync(folder.get()); // the new name, on disk before the originals go
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return {};
}

void ArchiveFile::Discard() {
    m_temp.reset();
    if (!m_tempName.empty()) {
        ::unlinkat(m_folder.get(), m_tempName.c_str(), 0);
        m_tempName.clear();
    }
    m_buffer.clear();
    m_bufferStart = m_pos = m_end = 0;
}

FsError ArchiveFile::OpenForReading(UniqueFd& out) const {
    out.reset(
        ::openat(m_folder.get(), m_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!out)
        return errno == ELOOP ? FsError::Refused(ELOOP, refusal::kArchiveIsLink)
                              : FsError::System(errno);
    struct stat st {};
    if (::fstat(out.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        out.reset();
        return FsError::Refused(EINVAL, refusal::kArchiveNotRegular);
    }
    return {};
}
