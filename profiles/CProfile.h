// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "profiles/ScanScope.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Local midnight at the start of the given calendar day; out-of-range days roll over into
// the next month as the C library normalises them. Returns false when the date cannot be
// represented.
bool LocalMidnight(int month, int day, int year, std::time_t& result);

// A named set of cleaning criteria: what marks a file for cleaning, where to look, and the
// optional size and age limits.
class CProfile {
public:
    CProfile();

    std::string m_strName;
    int m_nScanScope = SCOPE_ALL_FOLDERS;
    std::vector<std::string> m_lstScanFolders; // full paths, used when scope is listed folders
    std::vector<std::string> m_lstPatterns;    // wildcard patterns such as "*.TMP"
    std::vector<std::string> m_lstFolders;     // names of folders whose files are taken
    bool m_bUseLimits = false;
    std::uint32_t m_dwMinSize = 0; // with limits: smaller files qualify
    std::uint32_t m_dwMaxSize = 0; // with limits: larger files qualify
    std::time_t m_timeOlderThan = 0; // with limits: files last written before this qualify

    bool ScansAllFolders() const { return m_nScanScope == SCOPE_ALL_FOLDERS; }
};

// The profile's limits: with them on, a file is taken when it was last written before the
// date, or is smaller than the minimum, or larger than the maximum (all strict).
bool PassesLimits(const CProfile& profile, std::uint64_t size, std::time_t mtime);
