#include "framework/Pump.h"

#include <QtCore/QCoreApplication>

void PumpPendingMessages() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}
