// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/VolumeTable.h"
#include "scan/ScanPlan.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The drives a "/d" value names (a scheduled run, a preview), in the order given. Only the
// mount table and the stored letters are read (CVolumeTable::LoadLetters): nothing is asked of
// any mount. A letter with no drive is handed to onMissing and left out.
std::vector<ScanDrive> DrivesForLetters(std::string_view letters, IDriveLetterStore& store,
                                        const std::function<void(char letter)>& onMissing,
                                        const std::string& mountInfoPath = kMountInfoPath);
