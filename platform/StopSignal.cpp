// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/StopSignal.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Only lock-free atomics may be touched from a signal handler.
static_assert(std::atomic<int>::is_always_lock_free);

std::atomic<int> g_signal{0};
// The pipe lives for the whole process: a handler may run at any moment, even during exit.
std::atomic<int> g_readFd{-1};
std::atomic<int> g_writeFd{-1};

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnStopSignal(int signalNumber) {
    const int savedErrno = errno; // the interrupted code may be about to read errno
    int none = 0;
    if (g_signal.compare_exchange_strong(none, signalNumber)) {
        const int fd = g_writeFd.load();
        if (fd >= 0)
            (void)!::write(fd, "s", 1); // non-blocking: never waits inside the handler
    }
    errno = savedErrno;
}

} // namespace

void InstallStopSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        int fds[2];
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            g_readFd.store(fds[0]);
            g_writeFd.store(fds[1]);
        }
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        // While one handler runs the others wait, so the flag and the pipe agree.
        for (const int s : kStopSignals)
            sigaddset(&action.sa_mask, s);
        for (const int s : kStopSignals)
            ::sigaction(s, &action, nullptr);
    });
    // A signal blocked by whoever started us would never arrive. Threads started from here on
    // inherit the mask.
    sigset_t set;
    sigemptyset(&set);
    for (const int s : kStopSignals)
        sigaddset(&set, s);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool StopSignalReceived() { return g_signal.load() != 0; }

int StopSignalNumber() { return g_signal.load(); }

int StopSignalFd() { return g_readFd.load(); }

const char* StopSignalName(int signalNumber) {
    switch (signalNumber) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        break;
    }
    static thread_local char text[24];
    // snprintf is fine here: this is never called from the handler.
    std::snprintf(text, sizeof text, "signal %d", signalNumber);
    return text;
}

void ResetStopSignalForTests() {
    char buf[64];
    if (const int fd = g_readFd.load(); fd >= 0)
        while (::read(fd, buf, sizeof buf) > 0) {
        }
    g_signal.store(0);
}
