// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/FakeCrontab.h"

CrontabRead CFakeCrontab::Read() {
    ++reads;
    CrontabRead r;
    if (!readError.empty()) {
        r.error = readError;
        return r;
    }
    r.ok = true;
    if (exists)
        r.text = table;
    return r;
}

std::string CFakeCrontab::Write(const std::string& newTable) {
    ++writes;
    if (!writeError.empty())
        return writeError;
    table = newTable;
    exists = true;
    return {};
}
