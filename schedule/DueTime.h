// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/CronWhen.h"

#include <ctime>
#include <optional>

// When a cleaning of the forms the when-dialog writes was last due, as cron keeps time: local
// time, the day's hour and minute. A time the clocks skip (the hour lost when summer time
// starts) is due at the same distance after the change, when cron runs it; a time the clocks
// pass twice (the hour repeated when it ends) is due once, the first time.

// The last time at or before now when when was due; nullopt when it was not due in the
// 400 days before now (a monthly day 31 is due only in the months that have it).
std::optional<std::time_t> LastDueTime(const CronWhen& when, std::time_t now);
