#include "framework/Pump.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QFont>
#include <QtWidgets/QApplication>

void PumpPendingMessages() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ApplyDialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(8);
    QApplication::setFont(font);
}
