// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/ScanEngine.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

// The unattended run's sink: the paths found, each once, in the order found, and the sum of
// their sizes.
class CFoundFileList : public CScanSink {
public:
    void OnFileTaken(const FoundFile& file) override;

    const std::vector<std::string>& Paths() const { return m_lstFoundFiles; }
    std::uint64_t TotalBytes() const { return m_lTotalBytes; }
    // Sizes in the order of Paths(); 0 where the size could not be read.
    const std::vector<std::uint64_t>& Sizes() const { return m_sizes; }
    const std::vector<std::time_t>& Times() const { return m_times; }
    // Each file's identity when it was taken, in the order of Paths(); 0 where unknown.
    const std::vector<dev_t>& Devices() const { return m_devs; }
    const std::vector<ino_t>& Inodes() const { return m_inos; }
    // All the scan saw of the i-th file, for the disposal to check it against.
    FileSeen Seen(size_t i) const {
        return {m_devs[i], m_inos[i], m_sizes[i], m_times[i], m_nsecs[i]};
    }

private:
    std::vector<std::string> m_lstFoundFiles;
    std::vector<std::uint64_t> m_sizes;
    std::vector<std::time_t> m_times;
    std::vector<long> m_nsecs;
    std::vector<dev_t> m_devs;
    std::vector<ino_t> m_inos;
    std::unordered_set<std::string> m_seen;
    std::uint64_t m_lTotalBytes = 0;
};

// A found-file list that also prints each new file as it is found, one line each: size,
// last-write time (local, YYYY-MM-DD HH:MM:SS) and path, separated by tabs. The path's control
// characters are written as \xHH and its backslashes as \\ (EscapeListingField).
class CListingFoundFileList : public CFoundFileList {
public:
    void OnFileTaken(const FoundFile& file) override;
};
