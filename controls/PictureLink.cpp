// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/PictureLink.h"

#include "framework/ShellHelpers.h"
#include "res/resource.h"

#include <QtGui/QCursor>
#include <QtGui/QMouseEvent>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

namespace {

// The hot spot is the tip of the index finger.
constexpr int kHandHotX = 10;
constexpr int kHandHotY = 0;

class CPictureLinkFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            QWidget* owner = QApplication::activeWindow();
            if (!owner)
                owner = static_cast<QWidget*>(watched)->window();
            OpenWebSite(owner);
        }
        return false;
    }
};

} // namespace

void MakePictureLink(QWidget* picture) {
    if (!picture)
        return;
    const QPixmap hand(QStringLiteral(":/art/cursor%1.png").arg(IDC_HAND));
    picture->setCursor(hand.isNull() ? QCursor(Qt::PointingHandCursor)
                                     : QCursor(hand, kHandHotX, kHandHotY));
    picture->installEventFilter(new CPictureLinkFilter(picture));
}
