// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Preloaded into a program under test: writes the path of every file-system query
// (statvfs, statfs) to the file named by FW_STATVFS_LOG, then answers as the C library does.
// A query of a network mount that is down would block, so a program that must not ask one
// is shown asking none.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

void Record(const char* path) {
    const char* log = std::getenv("FW_STATVFS_LOG");
    if (!log || !path)
        return;
    const int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    (void)!::write(fd, path, std::strlen(path));
    (void)!::write(fd, "\n", 1);
    ::close(fd);
}

template <typename Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

int statvfs(const char* path, struct statvfs* buf) {
    Record(path);
    static const auto next = Next<int (*)(const char*, struct statvfs*)>("statvfs");
    return next(path, buf);
}

int statvfs64(const char* path, struct statvfs64* buf) {
    Record(path);
    static const auto next = Next<int (*)(const char*, struct statvfs64*)>("statvfs64");
    return next(path, buf);
}

int statfs(const char* path, struct statfs* buf) {
    Record(path);
    static const auto next = Next<int (*)(const char*, struct statfs*)>("statfs");
    return next(path, buf);
}

int statfs64(const char* path, struct statfs64* buf) {
    Record(path);
    static const auto next = Next<int (*)(const char*, struct statfs64*)>("statfs64");
    return next(path, buf);
}
}
