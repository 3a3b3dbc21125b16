// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/CronLine.h"
#include "schedule/CronWhen.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading our entries back out of a crontab: the line after each "# eventName" comment.

// One entry as the table holds it. An entry edited by hand into something this reader cannot
// follow (other time fields, shell syntax of its own) is still listed, with readable false,
// so that it can be shown as it stands and removed.
struct ScheduledEntry {
    std::size_t commentLine = 0; // index (from 0) of the comment line; the entry is the next
    std::string line;            // the entry line as it stands, without its newline
    bool readable = false;
    CronWhen when;
    CronEnvironment env;            // the variables the command sets, in order
    std::vector<std::string> words; // the program, then its arguments, as /bin/sh gets them
};

// Every entry of the table marked with "# eventName", top to bottom. A comment line with no
// command line after it (the end of the table, an empty line or another comment) marks none.
std::vector<ScheduledEntry> ReadScheduledEntries(std::string_view table,
                                                 std::string_view eventName);

// The table without entry's comment line and entry line; every other byte stays as it was.
// nullopt when the table no longer holds that entry at that place (changed meanwhile).
std::optional<std::string> RemoveScheduledEntry(std::string_view table,
                                                const ScheduledEntry& entry,
                                                std::string_view eventName);

// The pieces, exposed for tests.

// "M H * * *", "M H * * W" (7 is Sunday too) or "M H D * *" with plain numbers in range;
// nullopt for anything else cron would also accept (lists, ranges, steps, names, @daily).
std::optional<CronWhen> ReadCronTimeFields(const std::vector<std::string_view>& fields);
// The command as cron hands it to /bin/sh: "\%" and "\\" give '%' and '\'. nullopt when a bare
// '%' would cut the command, as no entry of ours does.
std::optional<std::string> UnescapeForCron(std::string_view command);

struct ShellCommand {
    CronEnvironment env;
    std::vector<std::string> words;
};
// The words /bin/sh makes of a simple command: quotes and backslashes taken off, leading
// NAME=value words as the environment. nullopt where the shell would do more than split and
// unquote (expansions, redirections, several commands, patterns) or a quote is not closed.
std::optional<ShellCommand> SplitShellCommand(std::string_view command);
