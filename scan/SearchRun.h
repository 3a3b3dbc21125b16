// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/FolderRead.h"
#include "scan/ScanEngine.h"
#include "scan/Walker.h"

#include <memory>
#include <string>
#include <vector>

// One search of a scan: a profile over one folder.
struct SearchStep {
    const CProfile* profile = nullptr;
    std::string folder; // as given
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
