// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

// Another process holding an exclusive lock on a file until destroyed.
class LockingChild {
public:
    explicit LockingChild(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            ::flock(fd, LOCK_EX);
            (void)!::write(ready[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        char c;
        (void)!::read(ready[0], &c, 1);
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~LockingChild() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    LockingChild(const LockingChild&) = delete;
    LockingChild& operator=(const LockingChild&) = delete;

private:
    pid_t m_pid = -1;
};

struct CommandResult {
    int exitCode = -1;
    std::string out; // standard output and error
};

// Runs a shell command line; a program that waits for a user is ended after two minutes
// rather than hanging the test run.
inline CommandResult RunCommand(const std::string& env, const std::string& program,
                                const std::string& args) {
    CommandResult r;
    const std::string cmd = env + " timeout 120 " + program + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}
