// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/CFoundStore.h"
#include "scan/CScanSink.h"

#include <cstdint>
#include <string>
#include <vector>

// The unattended run's sink: the files found, each once, in the order found, and the sum of
// their sizes, held in a compact store.
class CFoundFileList : public CScanSink {
public:
    void OnFileTaken(const FoundFile& file) override;

    const CFoundStore& Store() const { return m_store; }
    std::size_t Count() const { return m_store.Count(); }
    std::uint64_t TotalBytes() const { return m_store.TotalBytes(); }
    // All the scan saw of the i-th file, for the disposal to check it against.
    FileSeen Seen(std::size_t i) const { return m_store.Seen(i); }

    // Copies, in the order found, for a short list: the paths, the sizes (0 where the size
    // could not be read) and each file's identity when it was taken (0 where unknown).
    std::vector<std::string> Paths() const;
    std::vector<std::uint64_t> Sizes() const;
    std::vector<dev_t> Devices() const;
    std::vector<ino_t> Inodes() const;

protected:
    // Adds the file; false when its path was taken before.
    bool Take(const FoundFile& file) { return m_store.Add(file); }

private:
    CFoundStore m_store;
};

// A found-file list that also prints each new file as it is found, one line each: size,
// last-write time (local, YYYY-MM-DD HH:MM:SS) and path, separated by tabs. The path's control
// characters are written as \xHH and its backslashes as \\ (EscapeListingField).
class CListingFoundFileList : public CFoundFileList {
public:
    void OnFileTaken(const FoundFile& file) override;
};
