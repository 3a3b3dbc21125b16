// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/RunRecord.h"
#include "schedule/ScheduledEntries.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// Which scheduled cleanings a login catches up on.

// The command of a crontab line: what follows its five time fields; empty for a line with
// fewer. The record of runs is keyed by it.
std::string CronCommandOf(std::string_view line);

struct CatchUp {
    std::size_t entry = 0; // index into the entries given
    std::time_t due = 0;   // the due time that was missed
};

// The entries to run now, in table order: each readable one whose last due time is not later
// than now and later than its last recorded run. One without a record is run when it was due
// at all (a damaged record counts as never run); the forms cron has and the when-dialog does
// not write are not read, so they are left to cron.
std::vector<CatchUp> EntriesToCatchUp(const std::vector<ScheduledEntry>& entries,
                                      const CRunRecord& record, std::time_t now);
