// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

class QWidget;

// Shows the control's text in the bold weight (700) of the font it has, every other attribute
// kept. The font belongs to the control and lives as long as it.
void SetBoldFont(QWidget* control);
