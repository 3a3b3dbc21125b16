// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/DataFile.h"
#include "platform/TextEscape.h"

#include "platform/RenameNoReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

namespace {

constexpr int kMaxLinks = 40; // as the kernel's own limit for one path
constexpr int kMaxAsideNames = 1000;

FsError Classify(const struct stat& st, DataFile& file) {
    file.type = st.st_mode & S_IFMT;
    if (!S_ISREG(st.st_mode))
        return FsError::Refused(EINVAL, refusal::kNotRegular);
    file.size = static_cast<std::uint64_t>(st.st_size);
    return file.size > file.limit ? FsError::Refused(EFBIG, refusal::kTooLarge) : FsError();
}

std::atomic<DataFileReportLog> g_reportLog{nullptr};

} // namespace

bool IsMissing(const FsError& e) { return e.Code() == ENOENT && !e.IsRefusal(); }
bool IsNotAFile(const FsError& e) { return e.Wording() == refusal::kNotRegular; }
bool IsTooLarge(const FsError& e) { return e.Wording() == refusal::kTooLarge; }

FsError ExamineDataFile(const std::string& path, DataFile& out, std::uint64_t maxSize) {
    out = {};
    out.limit = maxSize;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return FsError::System(errno);
    return Classify(st, out);
}

FsError OpenDataFile(const std::string& path, DataFile& out, std::uint64_t maxSize) {
    // Looking first keeps devices from being opened at all.
    if (FsError e = ExamineDataFile(path, out, maxSize))
        return e;
    // There is an inherent race here: the name may be replaced after the look. O_NONBLOCK
    // keeps a FIFO that took its place from making the open wait; fstat then tells.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return FsError::System(errno);
    if (FsError e = Classify(st, out))
        return e;
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags != -1)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    out.fd = std::move(fd);
    return {};
}

std::string DescribeFileType(mode_t type) {
    switch (type & S_IFMT) {
    case S_IFREG:
        return "a regular file";
    case S_IFDIR:
        return "a folder";
    case S_IFIFO:
        return "a FIFO";
    case S_IFCHR:
        return "a character device";
    case S_IFBLK:
        return "a block device";
    case S_IFSOCK:
        return "a socket";
    case S_IFLNK:
        return "a symbolic link";
    default:
        return "not a file";
    }
}

std::string DataSizeText(std::uint64_t bytes) {
    constexpr std::uint64_t kMiB = std::uint64_t(1) << 20;
    if (bytes != 0 && bytes % kMiB == 0)
        return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string DescribeDataFileProblem(const std::string& path, const DataFile& file,
                                    const FsError& error) {
    if (!error || IsMissing(error))
        return {};
    if (IsNotAFile(error))
        return path + " is " + DescribeFileType(file.type) + ", not a regular file";
    if (IsTooLarge(error))
        return path + " is larger than " + DataSizeText(file.limit);
    return "cannot open " + path + ": " + error.Text();
}

void SetDataFileReportLog(DataFileReportLog log) { g_reportLog.store(log); }

void ReportDataFileProblem(const std::string& message, ReportTo to) {
    {
        static std::mutex mutex;
        static std::set<std::string> told;
        const std::lock_guard lock(mutex);
        if (!told.insert(message).second)
            return;
    }
    // Paths may hold line breaks: the report stays one line.
    const std::string line = "fernwick: " + EscapeControlChars(message) + "\n";
    // One write, so that reports from two threads never mix within a line.
    (void)!::write(STDERR_FILENO, line.data(), line.size());
    if (to == ReportTo::ErrorAndLog)
        if (const DataFileReportLog log = g_reportLog.load())
            log(message);
}

FsError FollowLinks(const std::string& path, std::string& target) {
    target.clear();
    std::string current = path;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return FsError::System(errno);
            target = current; // a save creates it
            return {};
        }
        if (!S_ISLNK(st.st_mode)) {
            target = current;
            return {};
        }
        if (links == kMaxLinks)
            return FsError::System(ELOOP);
        std::vector<char> buf(static_cast<size_t>(st.st_size) + 2);
        ssize_t n;
        while ((n = ::readlink(current.c_str(), buf.data(), buf.size())) >= 0 &&
               static_cast<size_t>(n) >= buf.size())
            buf.resize(buf.size() * 2); // the link grew since lstat
        if (n <= 0)
            return FsError::System(n == 0 ? ENOENT : errno);
        const std::string next(buf.data(), static_cast<size_t>(n));
        if (next[0] == '/') {
            current = next;
        } else {
            const size_t slash = current.rfind('/');
            current = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) +
                      next;
        }
    }
}

FsError KeepAside(const std::string& path, std::string& keptAs) {
    keptAs.clear();
    for (int n = 1; n <= kMaxAsideNames; ++n) {
        const std::string aside = path + ".damaged" + (n == 1 ? "" : "." + std::to_string(n));
        const FsError e = RenameNoReplace(AT_FDCWD, path, AT_FDCWD, aside);
        if (!e) {
            keptAs = aside;
            return {};
        }
        if (e.Code() != EEXIST)
            return e;
    }
    return FsError::System(EEXIST);
}
