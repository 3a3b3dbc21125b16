// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "profiles/CProfileList.h"

#include <string>
#include <string_view>
#include <unordered_set>

// The names a scheduled run's profile list selects. The list is a sequence of names, each
// followed by a blank or by the end of the list ("Temp Files Backups " or "Temp Files"). Names
// may hold blanks themselves, so at each position the longest whole profile name is taken: a
// profile named Temp is not selected by "Temp Files". Text that names no profile is passed
// over up to its next blank. Names are compared case-sensitively.
std::unordered_set<std::string> SelectProfilesByNameList(const CProfileList& store,
                                                         std::string_view list);
