// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// Where a profile looks. The values are the ids of the new-profile page's option buttons and
// are stored as such in settings.dat: do not change them.
inline constexpr int SCOPE_LISTED_FOLDERS = 1068; // only the profile's own scan folders
inline constexpr int SCOPE_ALL_FOLDERS = 1069;    // every folder of the checked drives
