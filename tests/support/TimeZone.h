// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

// The process's time zone (TZ) for as long as this lives, the old one put back afterwards.
class CScopedTimeZone {
public:
    // Keeps the zone as it is until Use is called.
    CScopedTimeZone() {
        if (const char* tz = std::getenv("TZ"))
            m_old = tz;
    }
    explicit CScopedTimeZone(const char* zone) : CScopedTimeZone() { Use(zone); }
    ~CScopedTimeZone() {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    CScopedTimeZone(const CScopedTimeZone&) = delete;
    CScopedTimeZone& operator=(const CScopedTimeZone&) = delete;

    // False (and nothing changed) where the system has no such zone; "UTC" is always there.
    bool Use(const char* zone) {
        if (std::string(zone) != "UTC" &&
            !std::filesystem::exists(std::string("/usr/share/zoneinfo/") + zone))
            return false;
        ::setenv("TZ", zone, 1);
        ::tzset();
        return true;
    }

private:
    std::optional<std::string> m_old;
};

inline std::tm TimeParts(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return tm;
}

// A UTC time from its parts.
inline std::time_t UtcTime(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm tm = TimeParts(year, month, day, hour, minute, second);
    return ::timegm(&tm);
}

// A local time from its parts, summer time as the zone has it on that day.
inline std::time_t LocalTime(int year, int month, int day, int hour, int minute,
                             int second = 0) {
    std::tm tm = TimeParts(year, month, day, hour, minute, second);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}
