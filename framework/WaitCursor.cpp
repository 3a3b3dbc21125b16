#include "framework/WaitCursor.h"

#include <QtGui/QCursor>
#include <QtWidgets/QApplication>

CWaitCursor::CWaitCursor() {
    // Core code may run without an application object (command-line preview, tests).
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        m_bShown = true;
    }
}

CWaitCursor::~CWaitCursor() {
    if (m_bShown)
        QApplication::restoreOverrideCursor();
}
