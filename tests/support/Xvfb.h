// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "support/TempDir.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// An X server of the test's own (Xvfb), on a display number it picks itself and reports once
// it accepts connections. Display() is empty when Xvfb is not installed or did not start.
class ScopedXvfb {
public:
    ScopedXvfb() {
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(ready[1], 9); // the copy is inherited; the pipe's own ends are not
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            // -noreset: by default the server resets when its last client leaves, and a probe
            // made during the reset is refused.
            ::execlp("Xvfb", "Xvfb", "-displayfd", "9", "-noreset", "-nolisten", "tcp",
                     "-screen", "0", "640x480x24", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        std::string number;
        char c;
        while (m_pid > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(ready[0]);
        if (!number.empty())
            m_display = ":" + number;
    }
    ~ScopedXvfb() { Stop(); }
    ScopedXvfb(const ScopedXvfb&) = delete;
    ScopedXvfb& operator=(const ScopedXvfb&) = delete;

    const std::string& Display() const { return m_display; }

    void Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// A display nothing listens on: no socket, abstract or in /tmp/.X11-unix, and no lock file.
inline std::string DeadXDisplay() {
    const std::string sockets = ReadTextFile("/proc/net/unix");
    for (int n = 150; n < 1000; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (!std::filesystem::exists(socket) &&
            !std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock") &&
            sockets.find(socket + "\n") == std::string::npos)
            return ":" + std::to_string(n);
    }
    return {};
}
