// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/BoldFont.h"

#include <QtGui/QFont>
#include <QtWidgets/QWidget>

void SetBoldFont(QWidget* control) {
    if (!control)
        return;
    QFont font = control->font();
    font.setWeight(QFont::Bold);
    control->setFont(font);
    control->update();
}
