// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <functional>

class StopPoll;

// Keeps two runs from writing one archive at the same time: each would read the archive as it
// was, add its files and rename its own version over the other's.
//
// The lock is an flock on the archive's folder. The archive itself cannot carry it: it is
// replaced by a rename, so a second run would lock the old file while the name already points
// at the new one; and a lock file beside the archive would be left behind by a run that is
// killed. The price: runs writing different archives in one folder also take turns.
class ArchiveLock {
  public:
    enum class Outcome {
        Locked,     // held until this object goes
        Unlockable, // the folder cannot be locked (no read access, a network file system that
                    // refuses flock on folders): the write goes ahead unlocked, as before
        Stopped,    // the stop function said yes while waiting
        TimedOut,   // another run still held it when the wait ran out
    };

    // How often a waiting run tries again, asks stop and calls progress.
    static constexpr std::chrono::milliseconds kRetry{50};

    ArchiveLock() = default;
    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    // Locks the folder (a descriptor, O_PATH will do), waiting up to limit for another holder.
    // While it waits it asks stop and calls progress (when given) every kRetry.
    Outcome Acquire(int folder, std::chrono::milliseconds limit, StopPoll& stop,
                    const std::function<void()>& progress);

    bool Held() const { return static_cast<bool>(m_fd); }

  private:
    UniqueFd m_fd; // the folder opened for reading; closing it releases the lock
};
