// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/CPictureStatic.h"

#include <QtGui/QPainter>
#include <utility>

CPictureStatic::CPictureStatic(QWidget* parent) : QFrame(parent) {}

bool CPictureStatic::LoadBitmap(int resourceId) {
    const bool loaded = m_dib.Load(resourceId);
    PictureChanged();
    return loaded;
}

bool CPictureStatic::LoadBitmapData(QByteArray data) {
    const bool loaded = m_dib.LoadFromData(std::move(data));
    PictureChanged();
    return loaded;
}

void CPictureStatic::PictureChanged() {
    updateGeometry();
    update();
}

QSize CPictureStatic::sizeHint() const {
    if (m_dib.IsEmpty())
        return QFrame::sizeHint();
    // Whatever the frame and margins take, around the picture's own size.
    const QSize border = rect().size() - contentsRect().size();
    return m_dib.GetImage().size() + border;
}

void CPictureStatic::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (m_dib.IsEmpty())
        return;
    QPainter painter(this);
    const QRect inside = contentsRect();
    painter.setClipRect(inside);
    painter.drawImage(inside.topLeft(), m_dib.GetImage());
}
