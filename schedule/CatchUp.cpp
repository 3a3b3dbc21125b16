// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CatchUp.h"

#include "schedule/DueTime.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

std::string CronCommandOf(std::string_view line) {
    std::size_t pos = 0;
    for (int field = 0; field < 5; ++field) {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos == line.size())
            return {};
        while (pos < line.size() && !IsBlank(line[pos]))
            ++pos;
    }
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    return std::string(line.substr(pos));
}

std::vector<CatchUp> EntriesToCatchUp(const std::vector<ScheduledEntry>& entries,
                                      const CRunRecord& record, std::time_t now) {
    std::vector<CatchUp> runs;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ScheduledEntry& e = entries[i];
        if (!e.readable)
            continue;
        const std::optional<std::time_t> due = LastDueTime(e.when, now);
        if (!due)
            continue;
        const std::optional<std::time_t> ran = record.LastRun(CronCommandOf(e.line));
        if (ran && *ran >= *due)
            continue;
        runs.push_back({i, *due});
    }
    return runs;
}
