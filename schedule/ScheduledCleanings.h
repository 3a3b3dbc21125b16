// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/CronWhen.h"
#include "schedule/CCrontab.h"
#include "schedule/ScheduledEntries.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The scheduled cleanings of the user's crontab as the user sees them, for the Scheduled
// Cleanings dialog and for "fernwick --schedules" / "--unschedule N".

// The comment line that marks each of our entries is "# " followed by this name.
inline constexpr const char* kScheduleEventName = "Fernwick scan";

// "Every day at 07:14", "Every Friday at 12:30", "Every month on day 1 at 08:00".
std::string DescribeWhen(const CronWhen& when);
// The name of a /x method code: "Delete", "Zip", "Move", "Move to Trash", "Permanently
// Delete"; other text is shown as "Method <code>", none as "No method".
std::string MethodName(const std::string& code);
// The names in a /p list, in order. The list holds names each followed by a blank, and names
// may hold blanks: at each place the longest of knownNames that stands there whole is taken,
// else the text up to the next blank (a profile deleted since).
std::vector<std::string> SplitProfileNames(std::string_view list,
                                           const std::vector<std::string>& knownNames);

// One entry in words. An entry that could not be read has readable false and its line as it
// stands in when; the other fields are then empty.
struct ScheduleDescription {
    bool readable = false;
    std::string when;
    std::vector<std::string> profiles;
    std::string method;
    std::string destination;
};
ScheduleDescription DescribeScheduledEntry(const ScheduledEntry& entry,
                                           const std::vector<std::string>& knownNames);
// "Temp Files, Backups"; "(none)" for no profile.
std::string JoinProfileNames(const std::vector<std::string>& names);
// "1  Every day at 07:14  Temp Files, Backups  Delete", then two blanks and the destination
// when there is one; control characters written as \xHH. An entry that could not be read:
// "2  As written: <line>".
std::string ScheduleListLine(std::size_t number, const ScheduleDescription& description);

// "fernwick --schedules": one line per entry on out, numbered from 1, or a line saying there
// is none. Returns 0, or 1 when the table cannot be read (said on err).
int ListSchedules(CCrontab& crontab, const std::vector<std::string>& knownNames,
                  std::FILE* out, std::FILE* err);
// "fernwick --unschedule N": removes entry N (as ListSchedules numbers them) with its comment
// line, keeping every other line as it is, and says which on out. Returns 0; 2 for a number
// that names no entry; 1 when the table cannot be read or written.
int Unschedule(CCrontab& crontab, std::string_view number,
               const std::vector<std::string>& knownNames, std::FILE* out, std::FILE* err);

// The names of the profiles in the user's settings, read without writing anything.
std::vector<std::string> StoredProfileNames();
