#pragma once

#include "profiles/CProfileList.h"

#include <string>
#include <string_view>
#include <unordered_set>

// The names a scheduled run's profile list selects. The list is a sequence of names, each
// followed by one blank ("Temp Files Backups "); since names may hold blanks themselves, at
// each position the longest profile name that is followed by a blank is taken, so a profile
// named Temp is not selected by "Temp Files ". Text that names no profile is passed over up
// to its next blank.
std::unordered_set<std::string> SelectProfilesByNameList(const CProfileList& store,
                                                         std::string_view list);
