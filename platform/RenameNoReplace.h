// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"

#include <string>

// Renames from (in folder fromDir) to to (in folder toDir) without ever replacing an existing
// name, also on file systems without RENAME_NOREPLACE. A name that is taken fails with EEXIST.
FsError RenameNoReplace(int fromDir, const std::string& from, int toDir, const std::string& to);
