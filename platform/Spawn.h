// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <spawn.h>
#include <sys/types.h>

// What posix_spawn does in the child before it runs the program, freed when this goes.
class CSpawnActions {
public:
    CSpawnActions() { m_ok = ::posix_spawn_file_actions_init(&m_actions) == 0; }
    ~CSpawnActions() {
        if (m_ok)
            ::posix_spawn_file_actions_destroy(&m_actions);
    }
    CSpawnActions(const CSpawnActions&) = delete;
    CSpawnActions& operator=(const CSpawnActions&) = delete;
    // False when the actions could not be made (no memory): nothing may be spawned with them.
    bool ok() const { return m_ok; }
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions{};
    bool m_ok = false;
};

// Waits for the child pid to end, through interruptions; its exit status, or -1 when a signal
// ended it or it could not be waited for.
int WaitForExit(pid_t pid);
