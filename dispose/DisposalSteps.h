#pragma once

#include <string>

// One disposal step on one file. Each step opens the file's folder without following any
// symbolic link (OpenParentNoFollow) and acts on the name inside it, so a folder swapped for
// a link after the scan cannot send it elsewhere. A name that is now a symbolic link, or not
// a regular file, is never touched.

struct StepResult {
    bool ok = false;
    std::string reason; // why it failed: the system's text or our own; empty on success
    std::string note;   // an optional remark for the log on success

    static StepResult Done(std::string note = {}) { return {true, {}, std::move(note)}; }
    static StepResult Failed(std::string reason) { return {false, std::move(reason), {}}; }
};

// Removes the regular file at path (absolute).
StepResult DeleteFileStep(const std::string& path);

// Where MoveFileStep puts path: destFolder and the file's name joined by exactly one "/".
std::string MoveTarget(const std::string& path, const std::string& destFolder);

// Moves the regular file at path into destFolder under the same name. An existing file of
// that name is never replaced. Across file systems the file is copied (data, mode, owner
// where allowed, access and modification times) and the original removed only once the copy
// is safely in place; a failed copy leaves the original as it was and no partial file.
StepResult MoveFileStep(const std::string& path, const std::string& destFolder);

// Overwrites the file's content with zeros, then deletes it, so the data cannot be read back
// from the disk where the file system writes in place. A file with other names (hard links)
// is only deleted: overwriting it would destroy the data the other names still show.
// Once the name is gone the result is a success; trouble in the final clean-up (the empty
// stand-in file that keeps the old name from pointing at data) goes into the note.
StepResult PermanentDeleteStep(const std::string& path);
