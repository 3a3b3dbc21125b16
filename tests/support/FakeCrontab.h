// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/CCrontab.h"

#include <cerrno>
#include <string>

// A crontab held in memory, for tests and the screenshot tool: exists = false reads as "no
// crontab for user"; a readError or writeError makes that call fail with its text.
class CFakeCrontab : public CCrontab {
public:
    std::string table;
    bool exists = true;
    std::string readError, writeError;
    int reads = 0;  // reads attempted, failed ones included
    int writes = 0; // writes attempted, failed ones included

    FsError Read(std::string& text) override {
        ++reads;
        text.clear();
        if (!readError.empty())
            return FsError::Told(EIO, readError);
        if (exists)
            text = table;
        return {};
    }
    FsError Write(const std::string& newTable) override {
        ++writes;
        if (!writeError.empty())
            return FsError::Told(EIO, writeError);
        table = newTable;
        exists = true;
        return {};
    }
};
