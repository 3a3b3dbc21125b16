// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>

// What reading the user's crontab gave: the table (empty when the user has none), or why it
// could not be read.
struct CrontabRead {
    bool ok = false;
    std::string text;
    std::string error;
};

// The user's crontab: read it whole, write it back whole. Writing replaces the table at once,
// so it is never left half-written.
class CCrontab {
public:
    virtual ~CCrontab() = default;
    // A missing table reads as ok and empty.
    virtual CrontabRead Read() = 0;
    // "" on success, else what went wrong.
    virtual std::string Write(const std::string& table) = 0;
};

// The table through the crontab program found on PATH: "crontab -l" and "crontab -". Its error
// output is captured and handed back as the error text.
class CSystemCrontab : public CCrontab {
public:
    CrontabRead Read() override;
    std::string Write(const std::string& table) override;
};

// The crontab program on PATH: its absolute path, or empty. Only absolute folders of PATH are
// searched: a relative entry would name a different program depending on the current folder.
std::string FindCrontabProgram();
// Whether a crontab program is on PATH.
bool CrontabAvailable();
