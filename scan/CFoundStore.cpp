// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/CFoundStore.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>

namespace {

constexpr std::size_t kRecordsPerBlock = std::size_t(1) << 14;
constexpr std::size_t kPathBlockBytes = std::size_t(1) << 20;
constexpr std::size_t kFirstSlots = 16;
constexpr std::size_t kTables = 256;

// The table of a hash: its top byte. A table's slot is found from the rest.
std::size_t TableOf(std::uint32_t hash) { return hash >> 24; }

// 32 bits of the path's hash: enough to place it in any table the store makes, and kept in
// its record, so the table grows and a look-up compares without reading a path.
std::uint32_t HashOf(std::string_view path) {
    const std::uint64_t h = std::hash<std::string_view>{}(path);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

} // namespace

struct CFoundStore::Record {
    const char* path;
    std::uint64_t size;
    std::uint64_t dev;
    std::uint64_t ino;
    std::int64_t mtime;
    std::int32_t mtimeNsec;
    std::uint32_t pathLen;
    std::uint32_t hash;
    std::uint16_t profile;
    bool hasSize;
};

CFoundStore::CFoundStore() = default;
CFoundStore::~CFoundStore() = default;
CFoundStore::CFoundStore(CFoundStore&&) noexcept = default;
CFoundStore& CFoundStore::operator=(CFoundStore&&) noexcept = default;

const CFoundStore::Record& CFoundStore::At(std::size_t i) const {
    return m_records[i / kRecordsPerBlock][i % kRecordsPerBlock];
}

std::string_view CFoundStore::Path(std::size_t i) const {
    const Record& r = At(i);
    return {r.path, r.pathLen};
}

bool CFoundStore::HasSize(std::size_t i) const { return At(i).hasSize; }
std::uint64_t CFoundStore::Size(std::size_t i) const { return At(i).size; }
std::time_t CFoundStore::Time(std::size_t i) const { return static_cast<std::time_t>(At(i).mtime); }
std::uint16_t CFoundStore::Profile(std::size_t i) const { return At(i).profile; }

FileSeen CFoundStore::Seen(std::size_t i) const {
    const Record& r = At(i);
    return {static_cast<dev_t>(r.dev), static_cast<ino_t>(r.ino), r.size,
            static_cast<std::time_t>(r.mtime), r.mtimeNsec};
}

std::ptrdiff_t CFoundStore::Find(std::string_view path) const {
    if (m_tables.empty())
        return -1;
    const std::uint32_t hash = HashOf(path);
    const std::vector<std::uint32_t>& slots = m_tables[TableOf(hash)].cells;
    if (slots.empty())
        return -1;
    const std::size_t mask = slots.size() - 1;
    for (std::size_t s = hash & mask;; s = (s + 1) & mask) {
        const std::uint32_t slot = slots[s];
        if (slot == 0)
            return -1;
        if (At(slot - 1).hash == hash && Path(slot - 1) == path)
            return static_cast<std::ptrdiff_t>(slot - 1);
    }
}

const char* CFoundStore::KeepPath(std::string_view path) {
    if (path.size() > m_pathLeft) {
        // A path longer than a block gets a block of its own; the rest of the current block
        // is given up, at most one path's worth.
        const std::size_t bytes = std::max(kPathBlockBytes, path.size());
        m_pathBlocks.push_back(std::make_unique<char[]>(bytes));
        m_pathFree = m_pathBlocks.back().get();
        m_pathLeft = bytes;
    }
    char* kept = m_pathFree;
    if (!path.empty())
        std::memcpy(kept, path.data(), path.size());
    m_pathFree += path.size();
    m_pathLeft -= path.size();
    return kept;
}

void CFoundStore::Grow(std::size_t table) {
    // Kept at most half full, so a look-up ends after a few slots.
    std::vector<std::uint32_t>& old = m_tables[table].cells;
    std::vector<std::uint32_t> slots(old.empty() ? kFirstSlots : old.size() * 2, 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t slot : old) {
        if (slot == 0)
            continue;
        std::size_t s = At(slot - 1).hash & mask;
        while (slots[s] != 0)
            s = (s + 1) & mask;
        slots[s] = slot;
    }
    old = std::move(slots);
}

bool CFoundStore::Add(const FoundFile& file, std::uint16_t profile) {
    if (file.path.size() > std::numeric_limits<std::uint32_t>::max() ||
        m_count >= std::numeric_limits<std::uint32_t>::max() - 1)
        throw std::length_error("too many found files");
    if (m_tables.empty())
        m_tables.resize(kTables);
    const std::uint32_t hash = HashOf(file.path);
    const std::size_t t = TableOf(hash);
    if ((m_tables[t].used + 1) * 2 > m_tables[t].cells.size())
        Grow(t);
    std::vector<std::uint32_t>& slots = m_tables[t].cells;
    const std::size_t mask = slots.size() - 1;
    std::size_t s = hash & mask;
    for (; slots[s] != 0; s = (s + 1) & mask)
        if (At(slots[s] - 1).hash == hash && Path(slots[s] - 1) == file.path)
            return false;

    if (m_count % kRecordsPerBlock == 0)
        m_records.push_back(std::make_unique_for_overwrite<Record[]>(kRecordsPerBlock));
    Record& r = m_records.back()[m_count % kRecordsPerBlock];
    r.path = KeepPath(file.path);
    r.pathLen = static_cast<std::uint32_t>(file.path.size());
    r.hasSize = file.size.has_value();
    r.size = file.size.value_or(0);
    r.mtime = static_cast<std::int64_t>(file.mtime);
    r.mtimeNsec = static_cast<std::int32_t>(file.mtimeNsec);
    r.dev = static_cast<std::uint64_t>(file.dev);
    r.ino = static_cast<std::uint64_t>(file.ino);
    r.profile = profile;
    r.hash = hash;
    slots[s] = static_cast<std::uint32_t>(++m_count);
    ++m_tables[t].used;
    m_totalBytes += r.size;
    return true;
}

void CFoundStore::Clear() { *this = CFoundStore(); }
