// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/ProfileChecks.h"

#include <QtCore/QString>

bool IsProfileChecked(const CCheckMarkList& checks, const CProfile& profile) {
    return checks.IsCheckedByText(QString::fromStdString(profile.m_strName));
}

bool AnyCheckedScansAllFolders(const CCheckMarkList& checks, const CProfileList& profiles) {
    for (const CProfile& profile : profiles)
        if (profile.ScansAllFolders() && IsProfileChecked(checks, profile))
            return true;
    return false;
}
