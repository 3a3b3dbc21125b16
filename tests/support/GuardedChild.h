// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

struct ChildOutcome {
    int exitCode = -1; // the body's result; -1 when the child did not exit by itself
    int signal = 0;    // the signal that ended it: SIGALRM when it hung
    std::string err;   // what it wrote to standard error
    bool Exited(int code) const { return signal == 0 && exitCode == code; }
};

// Runs body in a forked child that is ended by SIGALRM after the given seconds, so that a
// call that would wait for ever fails the test instead of stopping the whole run. The
// body's result (0..255) is the child's exit code; its standard error is collected.
inline ChildOutcome RunGuarded(const std::function<int()>& body, unsigned seconds = 20) {
    ChildOutcome outcome;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return outcome;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return outcome;
    }
    if (pid == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::signal(SIGALRM, SIG_DFL);
        ::alarm(seconds);
        ::_exit(body());
    }
    ::close(pipeFds[1]);
    char buf[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) != 0;) {
        if (n > 0)
            outcome.err.append(buf, static_cast<size_t>(n));
        else if (errno != EINTR)
            break;
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        outcome.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        outcome.signal = WTERMSIG(status);
    return outcome;
}
