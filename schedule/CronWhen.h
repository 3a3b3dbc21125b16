// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// When a scheduled cleaning runs: every day, once a week or once a month, at hour:minute.
struct CronWhen {
    enum Kind { Daily, Weekly, Monthly } kind = Daily;
    int weekday = 1;    // 0 = Sunday ... 6 = Saturday (Weekly)
    int dayOfMonth = 1; // 1..31 (Monthly)
    int hour = 0, minute = 0;
    // Not a cron field: whether a cleaning missed while the computer was off runs at the next
    // login ("fernwick --catch-up" started by the desktop).
    bool catchUpAtLogin = true;
};
