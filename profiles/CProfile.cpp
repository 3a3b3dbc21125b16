// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "profiles/CProfile.h"

bool LocalMidnight(int month, int day, int year, std::time_t& result) {
    // tm_year is an int counted from 1900; keep the arithmetic inside its range.
    if (year < -100000 || year > 100000 || month < -1000 || month > 1000 || day < -100000 ||
        day > 100000)
        return false;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1; // let the system decide daylight saving time
    std::time_t t = std::mktime(&tm);
    // Local midnight is never one second before 1970 UTC, so -1 can only mean failure.
    if (t == static_cast<std::time_t>(-1))
        return false;
    result = t;
    return true;
}

CProfile::CProfile() {
    // The pages' default date; every path that creates a profile sets its own.
    LocalMidnight(1, 1, 1980, m_timeOlderThan);
}

bool PassesLimits(const CProfile& p, std::uint64_t size, std::time_t mtime) {
    if (!p.m_bUseLimits)
        return true;
    return mtime < p.m_timeOlderThan || size < p.m_dwMinSize || size > p.m_dwMaxSize;
}
