// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"

#include <string>

// The user's crontab: read it whole, write it back whole. Writing replaces the table at once,
// so it is never left half-written.
class CCrontab {
public:
    virtual ~CCrontab() = default;
    // The table; a user who has none reads as an empty one. A failure is told in words the
    // user can be shown.
    virtual FsError Read(std::string& table) = 0;
    virtual FsError Write(const std::string& table) = 0;
};

// The table through the crontab program found on PATH: "crontab -l" and "crontab -". Its error
// output is captured and handed back as the failure's text.
class CSystemCrontab : public CCrontab {
public:
    FsError Read(std::string& table) override;
    FsError Write(const std::string& table) override;
};

// The crontab program on PATH: its absolute path, or empty. Only absolute folders of PATH are
// searched: a relative entry would name a different program depending on the current folder.
std::string FindCrontabProgram();
// Whether a crontab program is on PATH.
bool CrontabAvailable();
