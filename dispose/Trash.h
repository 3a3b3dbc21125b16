#pragma once

#include <optional>
#include <string>

// Moves the regular file at path (absolute) to the user's trash, where the desktop's file
// manager can restore it. Nothing on the path may be a symbolic link: it is checked relative to
// the opened folder first, since the trash call itself works on the path. A file on another
// file system goes to that file system's own trash, as desktops do; it is never deleted instead.
// Returns nullopt once the file is in the trash, else the reason it is not.
std::optional<std::string> MoveToTrash(const std::string& path);
