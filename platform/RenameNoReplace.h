// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>

// Renames from (in folder fromDir) to to (in folder toDir) without ever replacing an existing
// name, also on file systems without RENAME_NOREPLACE. 0, or the errno of the failure.
int RenameNoReplace(int fromDir, const std::string& from, int toDir, const std::string& to);
