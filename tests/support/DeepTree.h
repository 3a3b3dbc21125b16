// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// Folder trees whose paths are longer than PATH_MAX: made and removed through descriptors,
// one level at a time, since no single path call can reach their bottom.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <stdexcept>
#include <string>

// Removes everything inside the folder dir (a descriptor it takes over), then nothing else.
inline void RemoveContentsAt(int dir) {
    DIR* d = ::fdopendir(dir);
    if (!d) {
        ::close(dir);
        return;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(::dirfd(d), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                RemoveContentsAt(sub);
            ::unlinkat(::dirfd(d), name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(::dirfd(d), name.c_str(), 0);
        }
    }
    ::closedir(d);
}

// Removes the tree at root, however deep.
inline void RemoveDeepTree(const std::string& root) {
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
        RemoveContentsAt(fd);
    ::rmdir(root.c_str());
}

// Makes folders below base (which must exist), each named segment, until the path is longer
// than minLength; returns the deepest folder's path.
inline std::string MakeDeepFolder(const std::string& base, size_t minLength,
                                  const std::string& segment = std::string(200, 'd')) {
    std::string path = base;
    int dir = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        throw std::runtime_error("cannot open " + base);
    while (path.size() <= minLength) {
        if (::mkdirat(dir, segment.c_str(), 0755) != 0 && errno != EEXIST)
            throw std::runtime_error("mkdirat failed");
        const int next = ::openat(dir, segment.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(dir);
        if (next < 0)
            throw std::runtime_error("openat failed");
        dir = next;
        path += "/" + segment;
    }
    ::close(dir);
    return path;
}

// Opens a folder of any depth below base by walking relative paths from base.
inline int OpenDeep(const std::string& base, const std::string& deep) {
    int dir = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string rest = deep.substr(base.size());
    size_t pos = 0;
    while (dir >= 0 && pos < rest.size()) {
        while (pos < rest.size() && rest[pos] == '/')
            ++pos;
        size_t end = rest.find('/', pos);
        if (end == std::string::npos)
            end = rest.size();
        if (end == pos)
            break;
        const int next = ::openat(dir, rest.substr(pos, end - pos).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(dir);
        dir = next;
        pos = end;
    }
    return dir;
}

// Writes a file at folder/name where folder may be deeper than PATH_MAX below base.
inline void WriteDeepFile(const std::string& base, const std::string& folder, const std::string& name,
                          const std::string& text) {
    const int dir = OpenDeep(base, folder);
    if (dir < 0)
        throw std::runtime_error("cannot open the deep folder");
    const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ::close(dir);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write the deep file");
    ::close(fd);
}

// Whether folder/name exists, for folders of any depth below base.
inline bool DeepFileExists(const std::string& base, const std::string& folder, const std::string& name) {
    const int dir = OpenDeep(base, folder);
    if (dir < 0)
        return false;
    struct stat st {};
    const bool there = ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    ::close(dir);
    return there;
}
