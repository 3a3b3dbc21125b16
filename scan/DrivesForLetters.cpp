// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/DrivesForLetters.h"

std::vector<ScanDrive> DrivesForLetters(std::string_view letters, IDriveLetterStore& store,
                                        const std::function<void(char letter)>& onMissing,
                                        const std::string& mountInfoPath) {
    std::vector<ScanDrive> drives;
    if (letters.empty())
        return drives;
    const CVolumeTable volumes = CVolumeTable::LoadLetters(store, mountInfoPath);
    for (char letter : letters) {
        if (const Volume* v = volumes.Find(letter))
            drives.push_back({v->letter, v->mountPoint});
        else if (onMissing)
            onMissing(letter);
    }
    return drives;
}
