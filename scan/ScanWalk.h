// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/FolderRead.h"
#include "scan/ScanEngine.h"
#include "scan/SearchRun.h"

#include <cstdint>
#include <string>
#include <vector>

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
