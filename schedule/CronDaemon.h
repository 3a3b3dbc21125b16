// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Whether a cron daemon is there to start a scheduled cleaning. crontab writes the table
// without one, so a schedule would otherwise look fine and never run.

// Whether the output of `systemctl is-active` names a unit that runs: a line reading
// "active", "reloading" or "activating".
bool SystemdReportsRunning(std::string_view isActiveOutput);
// What `systemctl is-active cron crond` prints; empty when systemctl is missing or cannot
// reach systemd (a container, another init).
std::string SystemctlIsActiveCron();
// Whether procRoot (normally /proc) lists a process named cron or crond, by its <pid>/comm.
bool CronProcessListed(const std::string& procRoot);
// systemd runs cron.service or crond.service, or a cron process is listed under procRoot.
// The process list is looked at even when systemd says both units are inactive: a cron
// started outside systemd, or under another unit name (cronie), runs all the same.
bool CronDaemonRunning(const std::string& procRoot = "/proc");

// What the Schedule command asks after a cleaning was scheduled: CronDaemonRunning, unless a
// test has put its stand-in here.
extern std::function<bool()> g_cronDaemonRunning;
