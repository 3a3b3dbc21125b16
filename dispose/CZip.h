// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// A file that was not archived, and why.
struct ZipFailure {
    std::string path;
    std::string reason;
};

// Why a file was not archived when the run was stopped: nothing of the run was stored.
extern const char* const kZipStopped;
// Why a file was not archived when another run kept writing the same archive for longer than
// this run would wait.
extern const char* const kZipBusy;

// Packs files into a zip archive.
//
// Every file is opened relative to its folder without following symbolic links and must be a
// regular file; links, FIFOs, devices, folders, vanished files, paths holding a backslash
// (a folder separator to many unpackers, so ..\x could climb out of the target folder) and
// paths longer than a zip entry name can be are reported, never archived. An entry name the
// archive already holds is reported and the old entry is kept. The archive path itself must be
// a regular file or absent: a symbolic link or anything else there is refused, never written
// through.
//
// The archive is written once per call, whatever the number of files. Each file is checked and
// closed when it is added, and opened again only while the archive is written, one at a time,
// so the open-file limit is never reached. A file that is gone, replaced or changed in size by
// then is reported and the archive is written without it.
//
// The new archive is written beside the old one, unnamed until complete, and renamed over it
// at the end, so a failed or stopped write leaves the old archive as it was and nothing beside
// it. A new archive is readable and writable by its owner only, whatever the umask; an existing
// one keeps its permissions, and its owner and group where allowed (a group that cannot be
// kept gets no more than everybody). Two runs writing one archive take turns: a run waits while
// another reads, writes and checks it, so neither loses the other's files. Once written, the
// archive's directory is read back, and a file reported as stored is in it under its name with
// its size.
class CZIP {
  public:
    // How long a run waits for another run writing the same archive before it gives up.
    static constexpr std::chrono::milliseconds kDefaultLockWait = std::chrono::minutes(30);

    CZIP() = default;
    // lockWait: how long to wait for another run instead (tests shorten it).
    explicit CZIP(std::chrono::milliseconds lockWait) : m_lockWait(lockWait) {}

    // The call the rest of the program was written against.
    //   archive        absolute path of the zip file.
    //   fileList       absolute paths, each whole (blanks included) and followed by "\n"; empty
    //                  lines are skipped, a last path without "\n" is taken too.
    //   progress       null, or called once after each file has been checked and queued or
    //                  refused; the files are read when the archive is written, after the last.
    //                  While another run writes the archive it is also called every 50 ms or
    //                  so, to keep a window responsive.
    //   cancel         null, or asked before each file; non-zero stops: the files queued so far
    //                  are written, the rest are left out.
    //   progressData, cancelData  unused: the callbacks take no arguments.
    //   storeFullPaths 1: each entry is named by its full path without the leading "/", so files
    //                  of one name from different folders are kept apart; 0: by the file name
    //                  only (a second file of the same name is left out).
    //   addToExisting  1: add to an existing archive; 0: replace it. An archive is only replaced
    //                  once at least one file was stored in the new one.
    //   level          0: stored uncompressed; 1-9: deflate at that level (callers pass 5).
    //   reserved1, reserved2, reserved3  must be 0.
    //   password, comment  must be null: neither is supported, and an archive silently written
    //                  without the password asked for would look protected when it is not.
    // Returns the number of files stored, or -1 for a call with invalid arguments or when the
    // archive could not be opened or written, or another run kept writing it for too long (then
    // nothing was stored).
    int Add(const char* archive, const char* fileList, int (*progress)(), void* progressData,
            int (*cancel)(), void* cancelData, int storeFullPaths, int addToExisting, int level,
            int reserved1, int reserved2, const char* password, int reserved3, const char* comment);

    // Adds the files (absolute paths) to the archive, creating it when absent and keeping the
    // entries it has, under their full paths without the leading "/", deflated at level (0 for
    // stored, 1-9). Returns the files that were not archived, in list order, each with a reason;
    // every other file is in the archive on disk when this returns. progress, when given, is
    // called as for Add.
    //
    // stop, when given, is asked before each file is queued, while waiting for another run and
    // every 20 ms or so while the archive is written (so a stop ends even a write of gigabytes
    // at once; it may also pump a window's events). Once it says yes nothing is stored: every
    // file not already refused for a reason of its own is reported with kZipStopped, and the
    // archive is left as it was.
    std::vector<ZipFailure> AddFiles(const std::string& archive,
                                     const std::vector<std::string>& paths, int level = 5,
                                     const std::function<void()>& progress = {},
                                     const std::function<bool()>& stop = {});

  private:
    std::chrono::milliseconds m_lockWait = kDefaultLockWait;
};
