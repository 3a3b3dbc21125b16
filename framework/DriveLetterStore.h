// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/VolumeTable.h"

#include <QtCore/QString>

// The group of the per-user settings store that holds the drive letters.
inline constexpr const char* kRegDriveLetters = "Drive Letters";

// The drive letters remembered in the per-user settings store (see RegOpenAppKey), one value
// per mount point in the group "Drive Letters".
class CDriveLetterStore : public IDriveLetterStore {
public:
    // ReadOnly hands out the stored letters but keeps new ones to itself: a preview names the
    // drives of this machine for its own listing and leaves the settings as they were.
    enum class Mode { Remember, ReadOnly };

    explicit CDriveLetterStore(Mode mode = Mode::Remember) : m_mode(mode) {}

    // Values that are not one letter D..Z, and letters given twice, are left out.
    std::map<std::string, char> Load() override;
    // Replaces the whole group; does nothing when read-only.
    void Save(const std::map<std::string, char>& letters) override;

private:
    Mode m_mode;
};

// The settings key of a mount point. Its bytes are percent-encoded: the settings store would
// otherwise read the slashes as groups and fold "//" and a trailing "/".
QString DriveLetterKey(const std::string& mountPoint);
