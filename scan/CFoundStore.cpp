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
constexpr std::size_t kFirstSlots = 1024;

std::size_t HashOf(std::string_view path) { return std::hash<std::string_view>{}(path); }

} // namespace

struct CFoundStore::Record {
    const char* path;
    std::uint64_t size;
    std::uint64_t dev;
    std::uint64_t ino;
    std::int64_t mtime;
    std::int32_t mtimeNsec;
    std::uint32_t pathLen;
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
    if (m_slots.empty())
        return -1;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t s = HashOf(path) & mask;; s = (s + 1) & mask) {
        const std::uint32_t slot = m_slots[s];
        if (slot == 0)
            return -1;
        if (Path(slot - 1) == path)
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

void CFoundStore::Grow() {
    // Kept at most half full, so a look-up ends after a few slots.
    std::vector<std::uint32_t> slots(m_slots.empty() ? kFirstSlots : m_slots.size() * 2, 0);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = 0; i < m_count; ++i) {
        std::size_t s = HashOf(Path(i)) & mask;
        while (slots[s] != 0)
            s = (s + 1) & mask;
        slots[s] = static_cast<std::uint32_t>(i + 1);
    }
    m_slots = std::move(slots);
}

bool CFoundStore::Add(const FoundFile& file, std::uint16_t profile) {
    if (file.path.size() > std::numeric_limits<std::uint32_t>::max() ||
        m_count >= std::numeric_limits<std::uint32_t>::max() - 1)
        throw std::length_error("too many found files");
    if ((m_count + 1) * 2 > m_slots.size())
        Grow();
    const std::size_t mask = m_slots.size() - 1;
    std::size_t s = HashOf(file.path) & mask;
    for (; m_slots[s] != 0; s = (s + 1) & mask)
        if (Path(m_slots[s] - 1) == file.path)
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
    m_slots[s] = static_cast<std::uint32_t>(++m_count);
    m_totalBytes += r.size;
    return true;
}

void CFoundStore::Clear() { *this = CFoundStore(); }
