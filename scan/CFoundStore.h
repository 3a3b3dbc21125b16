// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/SafeFile.h"
#include "scan/CScanSink.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string_view>
#include <vector>

// The files a scan found, each path once, in the order found, held compactly: a whole drive
// with a broad pattern finds millions. The paths' bytes lie in large blocks that never move,
// each file's facts in a packed record (56 bytes), and the look-up that keeps each path
// once is 256 open tables of record numbers (4 bytes a slot, at most half full), chosen by the
// path's hash. No allocation is made per file, no block is ever copied as the store grows,
// and a table that grows holds a 256th of the files: the scan's thread, which is also the
// window's, never stops for long to make room.
class CFoundStore {
public:
    CFoundStore();
    ~CFoundStore();
    CFoundStore(CFoundStore&&) noexcept;
    CFoundStore& operator=(CFoundStore&&) noexcept;
    CFoundStore(const CFoundStore&) = delete;
    CFoundStore& operator=(const CFoundStore&) = delete;

    // Adds the file, for the search of profile number profile, unless its path is held
    // already: a file reached twice (two patterns, two profiles, a folder listed twice)
    // counts once. True when it was added.
    bool Add(const FoundFile& file, std::uint16_t profile = 0);

    std::size_t Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    std::string_view Path(std::size_t i) const;
    // False when the file vanished before its size could be read; its size is then 0.
    bool HasSize(std::size_t i) const;
    std::uint64_t Size(std::size_t i) const;
    std::time_t Time(std::size_t i) const;
    // All the scan saw of the file, for the disposal to check it against.
    FileSeen Seen(std::size_t i) const;
    std::uint16_t Profile(std::size_t i) const;
    // The sum of the known sizes.
    std::uint64_t TotalBytes() const { return m_totalBytes; }
    // The record of path, or -1.
    std::ptrdiff_t Find(std::string_view path) const;

    void Clear();

private:
    struct Record;
    const Record& At(std::size_t i) const;
    const char* KeepPath(std::string_view path);
    void Grow(std::size_t table);

    std::vector<std::unique_ptr<Record[]>> m_records; // blocks of kRecordsPerBlock
    std::vector<std::unique_ptr<char[]>> m_pathBlocks;
    char* m_pathFree = nullptr;
    std::size_t m_pathLeft = 0;
    struct Table {
        std::vector<std::uint32_t> cells; // record number + 1; 0 for an empty slot
        std::size_t used = 0;
    };
    std::vector<Table> m_tables; // kTables of them, made with the first file
    std::size_t m_count = 0;
    std::uint64_t m_totalBytes = 0;
};
