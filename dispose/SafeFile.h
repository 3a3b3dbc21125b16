#pragma once

#include "platform/UniqueFd.h"

#include <string>

// A file named by its folder, opened without following any symbolic link on the way, and
// its last path component. Every disposal step acts relative to the folder, so a folder
// swapped for a link after the scan cannot redirect it elsewhere.
struct SafeParent {
    UniqueFd dir;     // the folder, O_PATH | O_DIRECTORY; invalid on failure
    std::string name; // the file's name inside it
    int error = 0;    // errno of the failure, 0 on success
};

// Opens the folder of path (absolute) refusing symbolic links in every component. A path
// ending in "/" or naming no file fails with EINVAL.
SafeParent OpenParentNoFollow(const std::string& path);

// Opens a folder refusing symbolic links in every component; -1 with errno on failure.
UniqueFd OpenFolderNoFollow(const std::string& folder);

// The system's description of an errno value, e.g. "No such file or directory".
std::string ErrorText(int error);
