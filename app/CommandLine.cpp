// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "app/CommandLine.h"

#include <array>
#include <utility>

int LookupSwitch(std::string& arg) {
    if (arg.empty())
        return 0;
    if (arg[0] == '-')
        arg[0] = '/';
    static constexpr std::array<std::pair<std::string_view, int>, 4> kSwitches{{
        {"/r", CMDF_RUN},
        {"/d", CMDF_DRIVES},
        {"/x", CMDF_METHOD},
        {"/p", CMDF_PROFILES},
    }};
    for (const auto& [text, flag] : kSwitches)
        if (arg == text)
            return flag;
    return 0;
}

int ParseCommandLine(std::vector<std::string>& args) {
    int flags = 0;
    for (size_t i = 1; i < args.size(); ++i)
        flags |= LookupSwitch(args[i]);
    return flags;
}

std::string GetSwitchValue(const std::vector<std::string>& args, std::string_view sw) {
    const std::string_view prefix = sw.substr(0, 2);
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.compare(0, 2, prefix) == 0)
            return arg.size() > sw.size() ? arg.substr(sw.size()) : std::string();
    }
    return {};
}

namespace {

// value inside double quotes, escaped for the standard argument splitting.
std::string Quoted(const std::string& value) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : value) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            out.append(2 * backslashes + 1, '\\');
        else
            out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    // Backslashes right before the closing quote must be doubled, or they would escape it.
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

} // namespace

std::string BuildScheduledParameters(const std::string& profiles, const std::string& drives,
                                     int method, const std::string& destination) {
    return "/r /p" + Quoted(profiles) + " /d" + drives + " /x" + std::to_string(method) + " /m" +
           Quoted(destination);
}

std::string UsageText() {
    return "Usage: fernwick [switches]\n"
           "Finds files you no longer need and gets rid of the ones you choose.\n"
           "Without switches Fernwick opens its cleaning wizard, which needs a display.\n"
           "\n"
           "Switches of a scheduled cleaning (a leading '-' may stand for '/'):\n"
           "  /r              run unattended: scan, dispose of everything found, log, exit\n"
           "  /p\"NAME NAME\"   the profiles to scan, the names separated by blanks\n"
           "  /dLETTERS       drives scanned by whole-drive profiles, e.g. /dCD\n"
           "  /xMETHOD        1022 delete, 1023 zip, 1024 move, 1025 move to the trash,\n"
           "                  1026 permanently delete\n"
           "  /m\"PATH\"        destination folder (move) or zip archive (zip)\n"
           "\n"
           "  --preview SWITCHES  list, without touching anything, every file a scheduled\n"
           "                  run with the /p and /d switches given would dispose of:\n"
           "                  one line per file, size TAB time TAB path\n"
           "  --schedules     list the cleanings scheduled in your crontab, one per line,\n"
           "                  numbered from 1: when, profiles, method, destination\n"
           "  --unschedule N  remove scheduled cleaning N (as --schedules numbers it) and\n"
           "                  its comment line; the crontab's other lines stay as they are\n"
           "  --help          show this text and exit\n"
           "  --version       show the version and exit\n"
           "\n"
           "A control character in a file name (line break, carriage return, tab, escape,\n"
           "DEL) is written as \\xHH in the log and in the preview, so that every line\n"
           "stands for one entry or one file; the preview also writes a backslash as \\\\.\n"
           "\n"
           "SIGTERM, SIGINT (Ctrl-C) or SIGHUP stops a scheduled run between two files\n"
           "(a file being copied is abandoned and stays where it was); the log says so.\n"
           "When the log cannot be written its lines go to standard error instead.\n"
           "With a desktop session (a session bus at $XDG_RUNTIME_DIR/bus, or\n"
           "/run/user/UID/bus under cron) a scheduled run that found files, or was\n"
           "refused, shows a desktop notification of what it did and where the log is.\n"
           "\n"
           "Exit status of a scheduled run (/r):\n"
           "  0  every file found was disposed of and logged\n"
           "  1  some were not: in use, failed, stopped by a signal or Cancel, or a line\n"
           "     could not be written to the log\n"
           "  2  a command line it cannot use: no /x method or an unknown one, a move or\n"
           "     zip without /m (nothing is scanned); the wizard without a display;\n"
           "     a --preview whose /p names no profile\n"
           "\n"
           "--schedules and --unschedule exit 0 when done, 1 when the crontab cannot be\n"
           "read or written, 2 for a number that names no scheduled cleaning.\n"
           "\n"
           "Settings, the log (fwlog.txt) and the update file live in the program's data\n"
           "folder (FERNWICK_HOME when set).\n";
}
