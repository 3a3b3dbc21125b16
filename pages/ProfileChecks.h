// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CCheckMarkList.h"
#include "profiles/CProfileList.h"

// What a check-mark list of profile names (the start page's, the schedule setup page's) says
// of the profiles.

// Whether profile's row is checked; false while the list is not shown.
bool IsProfileChecked(const CCheckMarkList& checks, const CProfile& profile);
// Whether a checked profile scans whole drives, and so needs the drives page.
bool AnyCheckedScansAllFolders(const CCheckMarkList& checks, const CProfileList& profiles);
