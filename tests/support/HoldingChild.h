// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

// A child process that does something to a file, reports over a pipe, then waits. It is
// killed and reaped when the guard goes, also when an assertion ends the test early.
class HoldingChild {
public:
    // hold runs in the child and may only make system calls; it returns false on failure.
    explicit HoldingChild(const std::function<bool()>& hold) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive a crashed test
            const char status = hold() ? '1' : '0';
            (void)!::write(writeEnd.get(), &status, 1);
            for (;;)
                ::pause();
        }
        writeEnd.reset();
        char status = 0;
        while (::read(readEnd.get(), &status, 1) < 0 && errno == EINTR) {
        }
        m_ready = status == '1';
    }
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;
    ~HoldingChild() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_pid > 0 && m_ready; }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};
