// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/CleaningLog.h"

#include "platform/DataFile.h"
#include "platform/ProgramDir.h"
#include "platform/TextEscape.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kLogFileName = "fwlog.txt";

std::atomic<std::uint64_t> g_entriesLost{0};

bool IsRegularFile(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Problems with the log go to standard error only: the log cannot carry news of itself.
void ReportLogLeftAlone(const std::string& path, mode_t type) {
    ReportDataFileProblem(path + " is " + DescribeFileType(type) +
                              ", not a regular file; it was left alone and the log's entries go to "
                              "standard error instead.",
                          ReportTo::ErrorOnly);
}

void ReportUnwritableLog(const std::string& path, int error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        ReportLogLeftAlone(path, st.st_mode);
    else
        ReportDataFileProblem("cannot write the cleaning log " + path + ": " +
                                  std::generic_category().message(error) +
                                  "; its entries go to standard error instead.",
                              ReportTo::ErrorOnly);
}

// An entry the log could not take: on standard error (cron mails it), counted as lost.
void DivertEntry(const std::string& entry) {
    g_entriesLost.fetch_add(1);
    // One write, so that entries from two threads never mix within a line.
    (void)!::write(STDERR_FILENO, entry.data(), entry.size());
}

// Problems with the program's other files, found by the core below this log, are entries of
// it as well as lines on standard error.
[[maybe_unused]] const bool g_logsDataFileProblems = (SetDataFileReportLog(&WriteLog), true);

} // namespace

std::string LogFilePath() {
    return GetProgramDir() + kLogFileName;
}

std::string FormatLogEntry(std::time_t when, const std::string& message) {
    std::tm local{};
    char stamp[32] = "00/00/00 00:00:00";
    // localtime_r: the worker thread logs too, and localtime's buffer is shared.
    if (::localtime_r(&when, &local))
        std::strftime(stamp, sizeof stamp, "%m/%d/%y %H:%M:%S", &local);
    std::string entry;
    entry.reserve(sizeof stamp + 6 + message.size());
    entry += stamp;
    entry += "     ";
    entry += EscapeControlChars(message);
    entry += '\n';
    return entry;
}

void WriteLog(const std::string& message) {
    const std::string entry = FormatLogEntry(std::time(nullptr), message);
    const std::string path = LogFilePath();
    // O_NONBLOCK: a FIFO planted under the log's name must not hang the cleaner.
    // O_NOFOLLOW: never append through a symbolic link to some other file.
    UniqueFd fd(::open(path.c_str(),
                       O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd) {
        ReportUnwritableLog(path, errno);
        DivertEntry(entry);
        return;
    }
    if (struct stat st {}; ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        ReportLogLeftAlone(path, st.st_mode);
        DivertEntry(entry);
        return;
    }
    // One write on an O_APPEND descriptor: entries from both threads never interleave.
    const char* data = entry.data();
    size_t left = entry.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            // Disk full or the like. The part written is taken back, so that the next entry
            // does not run on from it - unless someone appended after it meanwhile.
            if (const auto written = static_cast<off_t>(entry.size() - left); written > 0) {
                struct stat st {};
                const off_t end = ::lseek(fd.get(), 0, SEEK_CUR);
                if (end >= written && ::fstat(fd.get(), &st) == 0 && st.st_size == end)
                    (void)!::ftruncate(fd.get(), end - written);
            }
            // The whole entry goes where it can still be read.
            ReportUnwritableLog(path, error);
            DivertEntry(entry);
            return;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
}

std::uint64_t LogEntriesLost() { return g_entriesLost.load(); }

bool LogExists() {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    UniqueFd fd(::open(LogFilePath().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return fd && IsRegularFile(fd.get());
}

void DeleteLog() {
    const std::string path = LogFilePath();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return;
    // A link is removed, never what it points to; whatever else has the name is not the log.
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        ReportLogLeftAlone(path, st.st_mode);
        return;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        const int error = errno;
        ReportDataFileProblem("cannot remove the cleaning log " + path + ": " +
                                  std::generic_category().message(error) + ".",
                              ReportTo::ErrorOnly);
    }
}
