// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "dispose/UnattendedDisposal.h"
#include "platform/DesktopNotice.h"

#include <ctime>
#include <optional>
#include <string>

// What a scheduled cleaning tells the user's desktop when it ends. The run does not stay for
// a click, so the text holds the log's path rather than a button that opens it.

// After the disposal: how many files and bytes went where, how many could not, and the log.
// Nothing when the scan found nothing. missedAt, when not 0, is the due time a catch-up at
// login made up for.
std::optional<DesktopNotice> NoticeOfRun(const UnattendedOutcome& outcome, int method,
                                         const std::string& destination,
                                         const std::string& logPath, std::time_t missedAt = 0);

// A run refused before it scanned (the reason as logged): every later run will be refused
// the same way until the schedule is mended, so the user is told.
DesktopNotice NoticeOfRefusal(const std::string& reason, const std::string& logPath);
