#include "dispose/CleaningLog.h"

#include "platform/ProgramDir.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kLogFileName = "fwlog.txt";

bool IsRegularFile(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

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
    entry += message;
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
    if (!fd || !IsRegularFile(fd.get()))
        return;
    // One write on an O_APPEND descriptor: entries from both threads never interleave.
    const char* data = entry.data();
    size_t left = entry.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // disk full or the like: the entry is lost, the program goes on
        data += n;
        left -= static_cast<size_t>(n);
    }
}

bool LogExists() {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    UniqueFd fd(::open(LogFilePath().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return fd && IsRegularFile(fd.get());
}

void DeleteLog() {
    ::unlink(LogFilePath().c_str());
}
