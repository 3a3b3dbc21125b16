// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"
#include "schedule/CronWhen.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Building a crontab entry for the program and its arguments.

// One word for /bin/sh, in single quotes: "it's" becomes 'it'\''s'.
std::string QuoteForShell(std::string_view word);
// The command as cron must store it. Cron turns a bare '%' into a newline (the rest becomes
// input) and reads a backslash before '%' or before another backslash as an escape: every '%'
// is written "\%", and where a backslash of the command would stand right before a backslash
// or a '%', an empty quote pair '' is put between them. Meant for commands whose backslashes
// all lie inside single quotes (words made by QuoteForShell), where '' is an empty string.
std::string EscapeForCron(std::string_view command);
// Whether the time is one cron can hold: hour 0..23, minute 0..59, weekday 0..6 (weekly),
// day 1..31 (monthly).
bool IsValidCronWhen(const CronWhen& when);
// The five time fields: "M H * * *" daily, "M H * * W" weekly, "M H D * *" monthly.
std::string CronTimeFields(const CronWhen& when);

using CronEnvironment = std::vector<std::pair<std::string, std::string>>;
// The variables a scheduled run must see as the scheduling program does, because cron starts
// programs with a bare environment (in the home folder): FERNWICK_HOME, XDG_CONFIG_HOME and
// XDG_DATA_HOME, those set (and not empty) in ours, in that order. A relative FERNWICK_HOME is
// made absolute against our current folder; relative XDG folders, which the program ignores,
// are left out.
CronEnvironment ScheduledRunEnvironment();

// The command field: the variables as assignments, the program and each argument, all quoted
// for /bin/sh, with '%' escaped for cron.
std::string BuildCronCommand(const std::string& program, const std::vector<std::string>& args,
                             const CronEnvironment& env);

// The longest command field cron runs (its own buffer holds 1000 bytes with the final NUL).
inline constexpr std::size_t kMaxCronCommand = 999;

// The crontab line (time fields and command, no newline) that runs program with the
// parameter string (split by the Windows rules) at when. Fails, in words for the user, for a
// time cron cannot hold, for text with a line break or NUL, which would end the line early or
// run something other than what was chosen, and for a command too long for cron.
FsError BuildCronEntry(const CronWhen& when, const std::string& program,
                       const std::string& parameters, const CronEnvironment& env,
                       std::string& line);

// The table with the comment line "# eventName" and line appended; the table's own bytes are
// kept, with a newline added first when its last line has none.
std::string AppendCronEntry(const std::string& table, const std::string& eventName,
                            const std::string& line);
