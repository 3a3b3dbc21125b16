// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/ViewLog.h"

#include "dispose/CleaningLog.h"
#include "framework/UiSeam.h"
#include "framework/WinTypes.h"

#include <string>

void ViewLog(QWidget* owner) {
    const std::string path = LogFilePath();
    const int code = TheUi().ShellOpen(owner, path);
    if (code <= 32)
        MessageBox(owner,
                   "Unable to open log file '" + path + "'.  Error " + std::to_string(code),
                   "Error", MB_OK);
}
