// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/ScheduledRun.h"
#include "support/BuiltCronEntry.h"

#include <gtest/gtest.h>

#include <string>

// Crontab entries as the scheduling wizard writes them, for the tests of listing and removing
// them.

// A time of the given form; weekdayOrDay is the weekday of a weekly one, the day of a monthly.
inline CronWhen When(CronWhen::Kind kind, int weekdayOrDay, int hour, int minute) {
    CronWhen w;
    w.kind = kind;
    w.weekday = weekdayOrDay;
    w.dayOfMonth = weekdayOrDay;
    w.hour = hour;
    w.minute = minute;
    return w;
}

// The entry line running /usr/bin/fernwick for profiles with method and destination.
inline std::string Entry(const CronWhen& when, const std::string& profiles, int method,
                         const std::string& destination) {
    const BuiltCronEntry e = BuildEntry(when, "/usr/bin/fernwick",
                                        BuildScheduledParameters(profiles, "", method, destination),
                                        {{"FERNWICK_HOME", "/h"}});
    EXPECT_EQ(e.error, "");
    return e.line;
}

// A user's own lines, which every change to the table keeps.
inline const std::string kUserLines =
    "MAILTO=\"\"\n# nightly backup\n15 3 * * 1 /usr/bin/backup\n";
