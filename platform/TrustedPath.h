// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"
#include "platform/UniqueFd.h"

#include <sys/types.h>

#include <string>

// Finding a folder the way a careful program should when its path may pass through symbolic
// links (a home under /home -> /var/home, a Downloads folder linked to another disk). The path
// is followed component by component; a link is followed only when it is owned by root or by
// the follower, and, when it lies in a sticky folder anyone may write to (such as /tmp), only
// when its owner is the follower or that folder's owner, as the kernel's protected_symlinks
// rule has it. Anyone else's link could send the program to a folder of their choosing.

// More links than this on one path fail with ELOOP, as the kernel's own limit does.
inline constexpr int kMaxFollowedLinks = 40;

struct TrustedFolder {
    UniqueFd fd;      // the folder, O_PATH | O_DIRECTORY
    std::string path; // its real path: absolute, no link, "." or ".." in it; "/" for the root
};

// Resolves folder (absolute, or relative to the current folder) for the user running the
// program, or for follower. A failure is told in words for the log, naming the step of the
// path that failed, with the errno kept (ENOENT, ENOTDIR, ELOOP, EPERM for a link not trusted).
FsError OpenTrustedFolder(const std::string& folder, TrustedFolder& out);
FsError OpenTrustedFolder(const std::string& folder, uid_t follower, TrustedFolder& out);

// The rule itself: may follower follow a link owned by linkOwner that lies in a folder with
// the given owner and mode?
bool MayFollowLink(uid_t linkOwner, uid_t folderOwner, mode_t folderMode, uid_t follower);
