// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"
#include "platform/UniqueFd.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>

// Reaching files and folders without following symbolic links. Whatever is to be acted on
// (a found file, a destination, a trash folder) is reached through these, so a folder swapped
// for a link at the wrong moment cannot send an operation elsewhere.

// Opens path relative to dir (a descriptor, or AT_FDCWD) with the given open flags, following
// no symbolic link anywhere on the way: openat2 with RESOLVE_NO_SYMLINKS, or, on kernels
// without it, component by component with O_NOFOLLOW. With sameFileSystem a mount crossing
// fails with EXDEV. O_CLOEXEC is added. A link on the way fails with ELOOP. With O_PATH and
// without O_DIRECTORY a link as the last component is opened itself.
FsError OpenAtNoFollow(int dir, const char* path, int flags, UniqueFd& out,
                       bool sameFileSystem = false);

// Opens a folder (absolute, of any length: beyond PATH_MAX it is opened in steps) as
// O_PATH | O_DIRECTORY, following no link and refusing ".." components.
FsError OpenFolder(const std::string& folder, UniqueFd& out);

// What a look at a file saw of it: which file it was and what it was like. A disposal acts on
// a found file only while it still is what the scan saw.
struct FileSeen {
    dev_t dev = 0;
    ino_t ino = 0;
    std::uint64_t size = 0;
    std::time_t mtime = 0; // last write, seconds
    long mtimeNsec = 0;    // and nanoseconds

    static FileSeen Of(const struct stat& st);
    bool operator==(const FileSeen&) const = default;
};

// A file reached through its folder: the folder held open and the file's name in it. Every
// step acts relative to the folder.
struct HeldFile {
    UniqueFd dir;      // the file's folder, O_PATH | O_DIRECTORY
    std::string name;  // the file's name in it
    struct stat st {}; // the name's status when it was reached, not followed
};

// Opens the folder of path (absolute, any length) without following links and looks at the
// name in it without following it. Only a regular file is held; a name that is gone, a link
// or anything else is refused with its fixed wording.
FsError HoldFile(const std::string& path, HeldFile& out);

// Is the held file still the one seen: the same file (device and inode) of the same size and
// last-write time, in a folder on the same file system? Refuses with kOtherFileSystem,
// kReplaced or kRewritten otherwise, and with kNotSeen when seen holds no file (inode 0).
FsError CheckSeen(const HeldFile& file, const FileSeen& seen);

// Looks at the name in the held folder again: still the regular file of file.st? Its status
// now goes to now when given.
FsError CheckStillSame(const HeldFile& file, struct stat* now = nullptr);

// Opens the held file itself with the given flags (O_NOFOLLOW, O_NONBLOCK and O_CLOEXEC are
// added) and checks that it is still the file of file.st.
FsError OpenHeld(const HeldFile& file, int flags, UniqueFd& out);

// The folder part and the name of an absolute path ("/a/b" -> "/a", "b"; "/b" -> "/", "b").
// Refused with kNotAbsolute when path is not absolute, ends in "/" or names "." or "..".
FsError SplitPath(const std::string& path, std::string& folder, std::string& name);
