// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"

#include <ctime>
#include <map>
#include <optional>
#include <string>

// When each scheduled cleaning last ran to its end, keyed by its crontab entry's command (the
// line without its time fields), so an entry edited by hand or removed simply has no record.
// Kept in the data folder as "scheduled-runs.dat": one line per entry, the time in seconds
// since 1970, a tab and the command (a crontab line holds no line break).
class CRunRecord {
public:
    static constexpr const char* kFileName = "scheduled-runs.dat";

    // Reads the record at path. A missing record is empty. One that is damaged (a line that
    // is not a time, a tab and a command; larger than a data file may be) is kept aside as
    // settings.dat is, reported, and counts as empty: every entry then "never ran".
    FsError Load(const std::string& path);
    // Writes the record at path at once: a reader sees the old record or the new, never part.
    FsError Save(const std::string& path) const;

    std::optional<std::time_t> LastRun(const std::string& command) const;
    void Note(const std::string& command, std::time_t at);

private:
    std::map<std::string, std::time_t> m_runs;
};
