// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"
#include "platform/SafeFile.h"

#include <functional>
#include <string>

// One disposal step on one file. A step acts on a held file (HoldFile): relative to its
// folder, opened without following any symbolic link, so a folder swapped for a link after
// the file was reached cannot send it elsewhere. Right before it acts, a step looks at the
// name again: only the same regular file is touched, never a link or another file that took
// the name.

struct StepResult {
    FsError error;    // why it failed; no error when the step was done
    std::string note; // an optional remark for the log on success

    bool ok() const { return !error; }
};

// Asked between the chunks of a long copy: true stops it.
using StopTest = std::function<bool()>;

// Removes the held file.
StepResult DeleteFileStep(const HeldFile& file);

// Moves the held file into the folder destDir (a descriptor) under the same name. An existing
// file of that name is never replaced. Across file systems the file is copied as mv copies it
// (data without filling the holes of a sparse file, extended attributes, mode, owner where
// allowed, access and modification times) and the original removed only once the copy is
// safely in place. A copy that fails or is stopped (stop, by default StopSignalReceived)
// leaves the original as it was and nothing in the destination: the copy has no name until it
// is complete. A destination that cannot hold extended attributes is noted; the move goes on.
// sourceFd, when given, is the held file already open for reading; the copy reads through it
// (opening the file again would break the in-use claim's lease).
StepResult MoveFileStep(const HeldFile& file, int destDir, const StopTest& stop = {},
                        int sourceFd = -1);

// Overwrites the file's content with zeros, then deletes it, so the data cannot be read back
// from the disk where the file system writes in place. A file with other names (hard links)
// is only deleted: overwriting it would destroy the data the other names still show.
// Once the name is gone the result is a success; trouble in the final clean-up (the empty
// stand-in file that keeps the old name from pointing at data) goes into the note.
// writableFd, when given, is the held file already open for writing, used for the overwrite.
StepResult PermanentDeleteStep(const HeldFile& file, int writableFd = -1);

// The same steps for a file named by its absolute path, held first.
StepResult DeleteFileStep(const std::string& path);
StepResult MoveFileStep(const std::string& path, const std::string& destFolder,
                        const StopTest& stop = {});
StepResult PermanentDeleteStep(const std::string& path);

// Where MoveFileStep puts path: destFolder and the file's name joined by exactly one "/".
std::string MoveTarget(const std::string& path, const std::string& destFolder);
