// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/ScheduledRun.h"

#include "dispose/DisposalMethod.h"
#include "dispose/UnattendedDisposal.h"
#include "platform/CommandSwitches.h"
#include "scan/DrivesForLetters.h"
#include "scan/ProfileSelection.h"

#include <utility>

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

ScheduledSwitches ReadScheduledSwitches(std::vector<std::string> args) {
    ParseCommandLine(args); // rewrites a leading '-' to '/'
    ScheduledSwitches s;
    s.profiles = GetSwitchValue(args, "/p");
    s.drives = GetSwitchValue(args, "/d");
    s.method = GetSwitchValue(args, "/x");
    s.destination = GetSwitchValue(args, "/m");
    return s;
}

ScheduledScan BuildScheduledScan(const CProfileList& store, const ScheduledSwitches& switches,
                                 IDriveLetterStore& letters,
                                 const std::function<void(char letter)>& onMissingDrive,
                                 const std::string& mountInfoPath) {
    ScheduledScan scan;
    auto selected = SelectProfilesByNameList(store, switches.profiles);
    scan.profileCount = selected.size();
    // The request outlives this call (a worker thread runs it): it owns its selection.
    scan.request.isSelected = [selected = std::move(selected)](const CProfile& p) {
        return selected.count(p.m_strName) > 0;
    };
    // What the run puts in its destination is not found again by a later run.
    const int method = ParseMethodCode(switches.method);
    if (method == METHOD_MOVE)
        scan.request.destination.moveFolder = switches.destination;
    else if (method == METHOD_ZIP)
        scan.request.destination.archive = switches.destination;
    scan.request.drivePass = !switches.drives.empty();
    if (scan.request.drivePass)
        scan.request.drives =
            DrivesForLetters(switches.drives, letters, onMissingDrive, mountInfoPath);
    return scan;
}
