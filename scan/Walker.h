// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/FolderRead.h"
#include "scan/ScanEngine.h"

#include <cstdint>
#include <string>
#include <vector>

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
    // The walk runs on a window's thread (its sink pumps a window): the readers run at idle
    // priority, below it, as on a machine with few cores runnable readers would keep the
    // window's events waiting; and a folder read ahead is handed over with a pump per file.
    bool forWindow = false;
    // When given, what the walks did is added to it.
    WalkStats* stats = nullptr;
    SearchRunOptions();
};

// Where a walk puts what it finds, search by search (indices into its targets). Called on the
// walking thread.
class CWalkOutput : public CWalkProgress {
public:
    virtual void File(std::uint16_t search, const FoundFile& file) = 0;
    virtual void Report(std::uint16_t search, const std::string& text) = 0;
    // The folder being read.
    virtual void Folder(const std::string& path) = 0;
};

// Walks the folder at realPath (its real path with a trailing "/"; it must still be the
// folder id) once for the searches roots of targets, each as SearchFolder walks its folder,
// and for every nested search of targets from where the walk reaches its folder, when that is
// still the folder nestedIds[search] names. reached[search] is set for each nested search the
// walk served. Folders are read ahead as options say.
void WalkTogether(const std::string& realPath, FolderId id, const SearchSet& roots,
                  const WalkTargets& targets, const std::vector<FolderId>& nestedIds,
                  const CStopEvent& stop, CWalkOutput& out, const CScanContext& context,
                  const SearchRunOptions& options, std::vector<bool>& reached);
