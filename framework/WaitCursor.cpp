// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/WaitCursor.h"

#include <QtGui/QCursor>
#include <QtWidgets/QApplication>

namespace {
// How many wait cursors of ours are on the application's cursor stack.
int g_nShown = 0;
} // namespace

CWaitCursor::CWaitCursor() {
    // Core code may run without an application object (command-line preview, tests).
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_bShown = true;
        ++g_nShown;
    }
}

CWaitCursor::~CWaitCursor() {
    if (m_bShown) {
        QApplication::restoreOverrideCursor();
        --g_nShown;
    }
}

CWaitCursorPause::CWaitCursorPause() : m_nLifted(g_nShown) {
    for (int i = 0; i < m_nLifted; ++i)
        QApplication::restoreOverrideCursor();
    g_nShown -= m_nLifted;
}

CWaitCursorPause::~CWaitCursorPause() {
    for (int i = 0; i < m_nLifted; ++i)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    g_nShown += m_nLifted;
}
