// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/DueTime.h"

namespace {

// How far back a due time is looked for: a year and a month, so a monthly day 31 is found.
constexpr int kDaysBack = 400;

// The local calendar day daysBack days before now's: its year, month, day and weekday, with
// no time of day (taken at noon, which every day has once).
bool DayBefore(std::time_t now, int daysBack, std::tm& day) {
    std::tm tm{};
    if (!localtime_r(&now, &tm))
        return false;
    tm.tm_mday -= daysBack;
    tm.tm_hour = 12;
    tm.tm_min = 0;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return std::mktime(&tm) != static_cast<std::time_t>(-1) && (day = tm, true);
}

// hour:minute of day as a time: the first of two where the clocks pass it twice; where they
// skip it, moved on by the length of the skip.
std::optional<std::time_t> TimeOn(const std::tm& day, int hour, int minute) {
    std::optional<std::time_t> first;
    for (int dst : {1, 0}) {
        std::tm at = day;
        at.tm_hour = hour;
        at.tm_min = minute;
        at.tm_sec = 0;
        at.tm_isdst = dst;
        const std::time_t t = std::mktime(&at);
        std::tm back{};
        if (t == static_cast<std::time_t>(-1) || !localtime_r(&t, &back))
            continue;
        // Only a reading that is that very hour and minute of that day, in its own offset.
        if (back.tm_mday != day.tm_mday || back.tm_hour != hour || back.tm_min != minute ||
            back.tm_isdst != dst)
            continue;
        if (!first || t < *first)
            first = t;
    }
    if (first)
        return first;
    std::tm at = day;
    at.tm_hour = hour;
    at.tm_min = minute;
    at.tm_sec = 0;
    at.tm_isdst = -1;
    const std::time_t t = std::mktime(&at);
    return t == static_cast<std::time_t>(-1) ? std::nullopt : std::optional<std::time_t>(t);
}

bool IsDueOn(const CronWhen& when, const std::tm& day) {
    switch (when.kind) {
    case CronWhen::Daily:
        return true;
    case CronWhen::Weekly:
        return day.tm_wday == when.weekday % 7;
    case CronWhen::Monthly:
        return day.tm_mday == when.dayOfMonth;
    }
    return false;
}

} // namespace

std::optional<std::time_t> LastDueTime(const CronWhen& when, std::time_t now) {
    for (int back = 0; back <= kDaysBack; ++back) {
        std::tm day{};
        if (!DayBefore(now, back, day))
            return std::nullopt;
        if (!IsDueOn(when, day))
            continue;
        const std::optional<std::time_t> due = TimeOn(day, when.hour, when.minute);
        if (due && *due <= now)
            return due;
    }
    return std::nullopt;
}
