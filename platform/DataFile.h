// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"
#include "platform/UniqueFd.h"

#include <sys/types.h>

#include <cstdint>
#include <string>

// The program's own stored files (settings and update files, the per-user options, the
// cleaning log) are used only when they are regular files of a sane size. Whatever else has
// taken a name (a FIFO, a device, a folder, a socket) is never opened in a way that could
// wait or read without end: it is reported and left alone.

// A settings file larger than this is damaged.
inline constexpr std::uint64_t kMaxDataFileSize = std::uint64_t(64) << 20;

namespace refusal {
inline constexpr char kTooLarge[] = "it is larger than its size limit";
} // namespace refusal

// What a look at a data file saw.
struct DataFile {
    UniqueFd fd;        // open for reading, from OpenDataFile when usable
    mode_t type = 0;    // the S_IFMT bits of what was found
    std::uint64_t size = 0;
    std::uint64_t limit = 0; // the size limit it was judged by
};

// The ways a data file is not usable, besides a failure of the system.
// Nothing of that name (a dangling link included).
bool IsMissing(const FsError& e);
// A FIFO, device, socket or folder took the name: the file's type says which.
bool IsNotAFile(const FsError& e);
// A regular file over the size limit.
bool IsTooLarge(const FsError& e);

// Looks at path, following symbolic links, without opening it: for files another library
// opens itself.
FsError ExamineDataFile(const std::string& path, DataFile& out,
                        std::uint64_t maxSize = kMaxDataFileSize);

// Opens path for reading, following symbolic links, and only when it is a usable regular
// file. The open itself never waits, even when a FIFO takes the name in the meantime.
FsError OpenDataFile(const std::string& path, DataFile& out,
                     std::uint64_t maxSize = kMaxDataFileSize);

// What a file type is called in reports: "a FIFO", "a folder", "a device" ...
std::string DescribeFileType(mode_t type);

// "<path> is a FIFO, not a regular file" and the like for a file that is not usable for
// error; empty for none and for a missing file.
std::string DescribeDataFileProblem(const std::string& path, const DataFile& file,
                                    const FsError& error);

// "64 MiB", "1 MiB", or a byte count when the size is no whole number of MiB.
std::string DataSizeText(std::uint64_t bytes);

// Where a report on one of the program's own files goes.
enum class ReportTo {
    ErrorAndLog, // standard error and the cleaning log
    ErrorOnly,   // standard error: a preview writes nothing, and the log cannot log itself
};

// Tells the user about a problem with one of the program's own files: "fernwick: message"
// on standard error and, with ErrorAndLog, an entry of the cleaning log once the log has
// registered itself. A message is told once per process, however often it comes up.
void ReportDataFileProblem(const std::string& message, ReportTo to = ReportTo::ErrorAndLog);

// The cleaning log's entry writer, called by ReportDataFileProblem; null for none.
using DataFileReportLog = void (*)(const std::string&);
void SetDataFileReportLog(DataFileReportLog log);

// The file a write to path lands in: path itself, or, when path is a symbolic link, the
// file at the end of its chain of links (relative targets read from the link's folder),
// whether that exists or not. ELOOP after 40 links.
FsError FollowLinks(const std::string& path, std::string& target);

// Puts a damaged file aside as path + ".damaged", or, when that name is taken,
// ".damaged.2", ".damaged.3" ...: an existing file is never replaced. keptAs gets the new name.
FsError KeepAside(const std::string& path, std::string& keptAs);
