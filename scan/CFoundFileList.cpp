// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/CFoundFileList.h"

#include "platform/TextEscape.h"

#include <cstdio>
#include <ctime>

void CFoundFileList::OnFileTaken(const FoundFile& file) {
    // A file reached twice (two patterns, two profiles, a folder listed twice) counts once.
    if (!m_seen.insert(file.path).second)
        return;
    m_lstFoundFiles.push_back(file.path);
    m_sizes.push_back(file.size.value_or(0));
    m_times.push_back(file.mtime);
    m_nsecs.push_back(file.mtimeNsec);
    m_devs.push_back(file.dev);
    m_inos.push_back(file.ino);
    m_lTotalBytes += file.size.value_or(0);
}

void CListingFoundFileList::OnFileTaken(const FoundFile& f) {
    const size_t before = Paths().size();
    CFoundFileList::OnFileTaken(f);
    if (Paths().size() == before)
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
