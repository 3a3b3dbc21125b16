// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"

#include <string>

// The desktop's way of running the catch-up at login: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/<kCatchUpEntryName>, running "fernwick --catch-up". Scheduling
// installs it; removing the last scheduled cleaning removes it; a user who does not want the
// catch-up removes it, or turns it off in the desktop's list of startup programs.
inline constexpr const char* kCatchUpEntryName = "fernwick-catch-up.desktop";

// The entry's text for the program at program (absolute). The program's path is quoted as
// desktop entries quote an Exec argument, so a folder with blanks or quotes in it starts the
// same program.
std::string CatchUpDesktopEntry(const std::string& program);

// Writes the entry into configHome's autostart folder (made when missing), replacing an
// older one of ours at once.
FsError InstallCatchUpAutostart(const std::string& configHome, const std::string& program);
// Removes the entry; none there is no failure. Only a regular file of that name is removed.
FsError RemoveCatchUpAutostart(const std::string& configHome);

// After an entry was taken out of the crontab: with no scheduled cleaning left in table, the
// entry is removed from this process's $XDG_CONFIG_HOME, as there is nothing to catch up on.
FsError RemoveCatchUpIfNoneLeft(const std::string& table);
