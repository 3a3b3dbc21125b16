// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "support/TempDir.h"

#include <QtCore/QSettings>
#include <QtCore/QString>

// Points Qt's options files at a temporary folder for as long as the object lives, never at
// the user's own. Qt settles on its folder once per program, from XDG_CONFIG_HOME unless told
// otherwise: a test that leaves it to a per-test home would have later tests write their
// options into that home's folder after it was removed, and leave it behind in /tmp.
class CTestOptionsFolder {
public:
    CTestOptionsFolder() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(m_dir.path().string()));
    }
    const std::filesystem::path& path() const { return m_dir.path(); }

private:
    TempDir m_dir;
};
