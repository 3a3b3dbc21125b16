// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "support/TempDir.h"

#include <sys/mount.h>
#include <unistd.h>

#include <string>

// A tmpfs of a given size mounted on a temporary folder for a test's lifetime, to make a
// disk that fills up or a file system that is read-only. Mounting needs root (CI runs
// tests as root); Mounted() is false where it cannot be done and the test skips.
class SmallTmpfs {
public:
    explicit SmallTmpfs(std::size_t bytes) {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        m_mounted = ::geteuid() == 0 &&
                    ::mount("tmpfs", m_dir.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;
    ~SmallTmpfs() {
        if (m_mounted)
            ::umount2(m_dir.path().c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    // Makes the mounted file system read-only; false when it could not be done.
    bool MakeReadOnly() {
        return m_mounted && ::mount(nullptr, m_dir.path().c_str(), nullptr,
                                    MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    const std::filesystem::path& path() const { return m_dir.path(); }

private:
    TempDir m_dir;
    bool m_mounted = false;
};
