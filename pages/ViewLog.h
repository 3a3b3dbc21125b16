// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

class QWidget;

// Opens the cleaning log in the desktop's text editor; reports a failure.
void ViewLog(QWidget* owner);
