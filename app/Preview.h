// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/VolumeTable.h"

#include <string>
#include <vector>

// "fernwick --preview /p"NAMES " /dLETTERS": lists, without a window and without touching
// anything, every file a scheduled run with these switches would dispose of, one line each
// (size, last-write time, path, separated by tabs), then "# N files, B bytes". Drive letters
// are read from letters, which should keep new letters to itself. Returns the exit code: 0,
// or 2 when the switches name no profile.
int RunPreview(const std::vector<std::string>& args, IDriveLetterStore& letters);
