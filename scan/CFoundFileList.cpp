// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/CFoundFileList.h"

#include "platform/TextEscape.h"

#include <cstdio>
#include <ctime>

void CFoundFileList::OnFileTaken(const FoundFile& file) { Take(file); }

std::vector<std::string> CFoundFileList::Paths() const {
    std::vector<std::string> paths;
    paths.reserve(Count());
    for (std::size_t i = 0; i < Count(); ++i)
        paths.emplace_back(m_store.Path(i));
    return paths;
}

std::vector<std::uint64_t> CFoundFileList::Sizes() const {
    std::vector<std::uint64_t> sizes;
    for (std::size_t i = 0; i < Count(); ++i)
        sizes.push_back(m_store.Size(i));
    return sizes;
}

std::vector<dev_t> CFoundFileList::Devices() const {
    std::vector<dev_t> devs;
    for (std::size_t i = 0; i < Count(); ++i)
        devs.push_back(m_store.Seen(i).dev);
    return devs;
}

std::vector<ino_t> CFoundFileList::Inodes() const {
    std::vector<ino_t> inos;
    for (std::size_t i = 0; i < Count(); ++i)
        inos.push_back(m_store.Seen(i).ino);
    return inos;
}

void CListingFoundFileList::OnFileTaken(const FoundFile& f) {
    // A file reached twice is listed once.
    if (!Take(f))
        return;
    std::tm tm{};
    char when[32] = "";
    if (f.size && localtime_r(&f.mtime, &tm))
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
    // A line break, tab or backslash in a name must not make a line that reads as another
    // file: the path is escaped, and can be read back exactly.
    std::printf("%llu\t%s\t%s\n", static_cast<unsigned long long>(f.size.value_or(0)), when,
                EscapeListingField(f.path).c_str());
}
