// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/VolumeTable.h"
#include "profiles/CProfileList.h"
#include "scan/ScanPlan.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// The switches of a scheduled cleaning, read once from the command line and handed on as a
// value: the run's worker thread never reads the program's arguments itself.
struct ScheduledSwitches {
    std::string profiles;    // /p: profile names, each followed by a blank
    std::string drives;      // /d: drive letters
    std::string method;      // /x: the disposal method as decimal text
    std::string destination; // /m: folder or archive, or empty
};

// The switches of args (args[0] is the program path); a leading '-' counts as '/'.
ScheduledSwitches ReadScheduledSwitches(std::vector<std::string> args);

// The parameter string of a scheduled run: /r /p"profiles" /ddrives /xmethod /m"destination".
// Quotes and backslashes in the quoted values are escaped so that SplitWindowsArguments gives
// back exactly the values passed in.
std::string BuildScheduledParameters(const std::string& profiles, const std::string& drives,
                                     int method, const std::string& destination);

// What a scheduled cleaning scans: the profiles /p names and the drives /d names.
struct ScheduledScan {
    ScanRequest request;        // selection and drives; log, report and stop are the caller's
    std::size_t profileCount = 0; // how many profiles of the store /p selects
};

// The one builder of a scheduled scan, for the unattended run and for its preview. Drive
// letters are looked up in letters (mount table and stored letters only); a letter with no
// drive goes to onMissingDrive and is left out.
ScheduledScan BuildScheduledScan(const CProfileList& store, const ScheduledSwitches& switches,
                                 IDriveLetterStore& letters,
                                 const std::function<void(char letter)>& onMissingDrive,
                                 const std::string& mountInfoPath = kMountInfoPath);
