// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/FileIo.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

FsError WriteAll(int fd, std::string_view data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FsError::System(errno);
        if (n == 0)
            return FsError::System(EIO);
        p += n;
        left -= static_cast<size_t>(n);
    }
    return {};
}

FsError ReadAll(int fd, std::string& out, std::uint64_t maxSize) {
    char chunk[64 * 1024];
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FsError::System(errno);
        if (n == 0)
            return {};
        total += static_cast<std::uint64_t>(n);
        if (total > maxSize) {
            out.append(chunk, static_cast<size_t>(n) - static_cast<size_t>(total - maxSize));
            return FsError::System(EFBIG);
        }
        out.append(chunk, static_cast<size_t>(n));
    }
}

FsError ReplaceFileAtomically(const std::string& path, std::string_view data) {
    std::string tmpl = path + ".XXXXXX";
    UniqueFd fd(::mkstemp(tmpl.data()));
    if (!fd)
        return FsError::System(errno);
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    FsError error;
    if (::fchmod(fd.get(), mode) != 0)
        error = FsError::System(errno);
    if (!error)
        error = WriteAll(fd.get(), data);
    if (!error && ::fsync(fd.get()) != 0)
        error = FsError::System(errno);
    // A late write error may only show when the file is closed.
    if (::close(fd.release()) != 0 && !error)
        error = FsError::System(errno);
    if (!error && ::rename(tmpl.c_str(), path.c_str()) != 0)
        error = FsError::System(errno);
    if (error) {
        ::unlink(tmpl.c_str());
        return error;
    }
    // Make the rename itself durable; a failure here does not undo it.
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (UniqueFd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); d)
        ::fsync(d.get());
    return {};
}
