// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/ArchiveLock.h"

#include "dispose/StopPoll.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <thread>

ArchiveLock::Outcome ArchiveLock::Acquire(int folder, std::chrono::milliseconds limit,
                                          StopPoll& stop, const std::function<void()>& progress) {
    m_fd.reset();
    // flock needs a real open file; the folder may be held as O_PATH.
    UniqueFd fd(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return Outcome::Unlockable;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            m_fd = std::move(fd);
            return Outcome::Locked;
        }
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return Outcome::Unlockable;
        if (stop.Now())
            return Outcome::Stopped;
        if (std::chrono::steady_clock::now() >= deadline)
            return Outcome::TimedOut;
        if (progress)
            progress();
        std::this_thread::sleep_for(kRetry);
    }
}
