// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/OwnFiles.h"

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// A folder's identity on the system.
struct FolderId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FolderId&) const = default;
};

// Where the run a scan is made for puts what it takes (a scheduled run's /m): files lying
// directly in its Move destination folder, and its Zip archive, are never taken, or every
// later run would find them there again and fail on each.
struct RunDestination {
    std::string moveFolder; // absolute, or empty
    std::string archive;    // absolute, or empty
};

// What all the searches of one scan share, looked up once when the scan starts: Fernwick's
// own files, which are never taken, the user's trash, which is never entered, and where the
// searches report folders they could not scan.
struct CScanContext {
    using LogFn = std::function<void(const std::string&)>;

    // Fernwick's files and the trash as they are now; reports go to log (none when empty).
    static CScanContext AtScanStart(LogFn log = {}, const RunDestination& destination = {});

    COwnFiles ownFiles;
    std::optional<FolderId> homeTrash;
    std::string moveFolder;            // real path ending in "/": files directly in it are not taken
    std::optional<FolderId> archiveId; // the archive, when it exists
    std::string archivePath;           // its real path, for one made after the scan began
    LogFn log;

    void Report(const std::string& text) const {
        if (log)
            log(text);
    }
    // Is the file (its folder's real path with a trailing "/", its path, its identity when
    // known) where this run puts what it takes? The scan walks real paths.
    bool IsRunDestination(std::string_view folder, std::string_view path,
                          const std::optional<FolderId>& file) const {
        return (!moveFolder.empty() && folder == moveFolder) ||
               (!archivePath.empty() && path == archivePath) ||
               (archiveId && file && *file == *archiveId);
    }
    // Is fd (an open folder whose real path is realPath) a trash folder or inside one?
    bool IsInTrash(int fd, const std::string& realPath) const;
};

// The user's trash: $XDG_DATA_HOME/Trash when that is absolute, else
// $HOME/.local/share/Trash. Empty when neither is known.
std::string HomeTrashPath();

// Is a folder called name, lying in a folder called parentName, a trash folder that a file
// system keeps for a user (".Trash-1000" at its top, or "1000" inside its ".Trash")? Any
// user's: what someone threw away is not the cleaning's to take.
bool IsVolumeTrashName(std::string_view parentName, std::string_view name);

// Is a folder called "Trash" inside parentPath (with a trailing "/") a home's trash
// (".../.local/share/Trash")? Catches other users' trash when the scan runs as root.
bool IsHomeTrashName(std::string_view parentPath, std::string_view name);
