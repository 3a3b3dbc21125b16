// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/FolderRead.h"
#include "scan/ScanEngine.h"

#include <memory>
#include <string>
#include <vector>

// One search of a scan: a profile over one folder.
struct SearchStep {
    const CProfile* profile = nullptr;
    std::string folder; // as given
};

// Threads that read folders ahead of a walk, unless told otherwise.
inline constexpr unsigned kReadAheadThreads = 8;

struct SearchRunOptions {
    // Every search of a folder tree served by one walk of it; false: each search walks its
    // folder on its own, in turn. What the sink and the reports get is the same either way.
    bool oneWalk = true;
    // Threads that read folders ahead of a walk once its reads wait for the disk; none when 0.
    unsigned readAheadThreads;
    // Read ahead from the first folder on, whether the folders come from the disk or not.
    bool readAheadAlways = false;
    // When given, what the walks did is added to it.
    WalkStats* stats = nullptr;
    SearchRunOptions();
};

// Carries out the searches of a scan as if each walked its folder alone, in turn: the sink
// gets the files of search 0, then those of search 1, and so on, and the reports come in the
// same order. Searches of one folder, or of folders one inside the other, share one walk: the
// files of the search at hand reach the sink as they are found, those of later ones are kept
// until their turn. A stop ends the search at hand and leaves every later one empty, as it
// would have.
class CSearchRun {
public:
    CSearchRun(std::vector<SearchStep> steps, const CStopEvent& stop, CScanSink& sink,
               const CScanContext& context, SearchRunOptions options = {});
    ~CSearchRun();
    CSearchRun(const CSearchRun&) = delete;
    CSearchRun& operator=(const CSearchRun&) = delete;

    // Search i: called for 0, 1, 2... in turn.
    void Run(size_t i);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};
