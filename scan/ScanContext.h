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

// What all the searches of one scan share, looked up once when the scan starts: Fernwick's
// own files, which are never taken, the user's trash, which is never entered, and where the
// searches report folders they could not scan.
struct CScanContext {
    using LogFn = std::function<void(const std::string&)>;

    // Fernwick's files and the trash as they are now; reports go to log (none when empty).
    static CScanContext AtScanStart(LogFn log = {});

    COwnFiles ownFiles;
    std::optional<FolderId> homeTrash;
    LogFn log;

    void Report(const std::string& text) const {
        if (log)
            log(text);
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
