// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "profiles/CProfile.h"
#include "scan/CScanSink.h"
#include "scan/CStopEvent.h"
#include "scan/ScanContext.h"

#include <ctime>
#include <string>

// Walks one folder tree for the profile's patterns and folder names and hands every file
// taken to the sink. The folder's own files come first (pattern by pattern, in pattern order),
// then its subfolders in the order the file system lists them, each walked the same way
// before the next. A subfolder named in the folder names has the files directly inside it
// taken and is not entered.
// The folder is first resolved to its real path (see OpenTrustedFolder): the paths handed to
// the sink are real paths. Inside the walk symbolic links are never followed or taken, only
// regular files are taken, and the walk stays on the file system it starts on. Trash folders
// are not entered and Fernwick's own files never taken (see CScanContext). A folder that
// cannot be resolved or opened is reported through the context and yields nothing. The walk
// reaches any depth with a few open descriptors and keeps of each folder only the files it
// takes and the subfolders it has still to visit.
void SearchFolder(const std::string& folder, const CProfile& profile, const CStopEvent& stop,
                  CScanSink& sink, const CScanContext& context);
// The same with a context of its own, made for this search, that reports nowhere.
void SearchFolder(const std::string& folder, const CProfile& profile, const CStopEvent& stop,
                  CScanSink& sink);

// The size of the file as decimal text, or empty when it cannot be read. Links are not
// followed.
std::string GetFileSizeText(const std::string& path);
// A last-write time as the results list shows it: "%H:%M:%S %A, %B %d, %Y", local time.
std::string FormatFileTime(std::time_t t);
