// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "profiles/CProfileList.h"
#include "scan/ScanEngine.h"
#include "scan/SearchRun.h"

#include <functional>
#include <string>
#include <vector>

// A drive chosen for the whole-drive pass: its letter and the folder it starts at.
struct ScanDrive {
    char letter;
    std::string root;
    // How the log names the drive: "C: /".
    std::string Text() const { return std::string(1, letter) + ": " + root; }
};

struct ScanRequest {
    // Which profiles take part.
    std::function<bool(const CProfile&)> isSelected;
    // Whether the whole-drive pass runs at all, and on which drives.
    bool drivePass = false;
    std::vector<ScanDrive> drives;
    // The unattended run gives up between folders once a stop is requested; the interactive
    // scan lets the remaining calls return at once and still writes their log lines.
    bool stopEndsPlan = false;
    // The cleaning log.
    std::function<void(const std::string&)> log;
    // Told of every folder that could not be scanned, and why; the log when not set.
    std::function<void(const std::string&)> report;
    // How the searches are carried out; what the sink, the log and the reports get does not
    // depend on it.
    SearchRunOptions how;
    // Where the run scanned for puts what it takes; nothing there is taken.
    RunDestination destination;
};

// Runs a scan over the store in two passes: every selected profile's own scan folders, then,
// for every selected profile that scans whole drives, the root of every chosen drive. The sink,
// the log and the reports get what the searches give one after the other in that order, but a
// folder tree is walked once for every search of it and of the folders inside it.
// Returns false when the plan was given up because of a stop request (stopEndsPlan only).
bool RunScanPlan(const CProfileList& store, const ScanRequest& request, const CStopEvent& stop,
                 CScanSink& sink);
