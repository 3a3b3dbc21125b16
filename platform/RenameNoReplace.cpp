// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/RenameNoReplace.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h> // renameat2
#include <unistd.h>

FsError RenameNoReplace(int fromDir, const std::string& from, int toDir, const std::string& to) {
    if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL)
        return FsError::System(errno);
    // The file system cannot refuse to replace in a rename; a link never replaces.
    if (::linkat(fromDir, from.c_str(), toDir, to.c_str(), 0) != 0)
        return FsError::System(errno);
    if (::unlinkat(fromDir, from.c_str(), 0) != 0) {
        const int error = errno;
        ::unlinkat(toDir, to.c_str(), 0); // the same file: keep it under its old name only
        return FsError::System(error);
    }
    return {};
}
