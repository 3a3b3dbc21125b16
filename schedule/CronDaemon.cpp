// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CronDaemon.h"

#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

struct PipeCloser {
    void operator()(std::FILE* f) const { ::pclose(f); }
};
using UniquePipe = std::unique_ptr<std::FILE, PipeCloser>;

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

bool IsProcessId(const char* name) {
    if (!*name)
        return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

// The first line of a small file below dir, without its newline; empty when it cannot be read
// (the process may have ended meanwhile).
std::string FirstLineAt(int dir, const std::string& relative) {
    const UniqueFd fd(::openat(dir, relative.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd)
        return {};
    char buffer[64];
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n <= 0)
        return {};
    std::string line(buffer, static_cast<size_t>(n));
    return line.substr(0, line.find('\n'));
}

} // namespace

bool SystemdReportsRunning(std::string_view isActiveOutput) {
    size_t pos = 0;
    while (pos < isActiveOutput.size()) {
        size_t end = isActiveOutput.find('\n', pos);
        if (end == std::string_view::npos)
            end = isActiveOutput.size();
        std::string_view line = isActiveOutput.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line == "active" || line == "reloading" || line == "activating")
            return true;
        pos = end + 1;
    }
    return false;
}

std::string SystemctlIsActiveCron() {
    // Through the shell for its PATH search; a missing systemctl then simply prints nothing.
    UniquePipe pipe(::popen("systemctl is-active cron crond 2>/dev/null", "re"));
    if (!pipe)
        return {};
    std::string output;
    char buffer[256];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        output.append(buffer, n);
    return output;
}

bool CronProcessListed(const std::string& procRoot) {
    UniqueDir dir(::opendir(procRoot.c_str()));
    if (!dir)
        return false;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsProcessId(entry->d_name))
            continue;
        const std::string comm = FirstLineAt(dirFd, std::string(entry->d_name) + "/comm");
        if (comm == "cron" || comm == "crond")
            return true;
    }
    return false;
}

bool CronDaemonRunning(const std::string& procRoot) {
    return SystemdReportsRunning(SystemctlIsActiveCron()) || CronProcessListed(procRoot);
}

std::function<bool()> g_cronDaemonRunning = [] { return CronDaemonRunning(); };
