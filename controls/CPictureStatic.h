// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CDib.h"

#include <QtWidgets/QFrame>

// A static picture: shows one bitmap at its natural size in the top-left corner. Its frame
// may be set sunken like any QFrame. Designer forms create it as a promoted widget.
class CPictureStatic : public QFrame {
    Q_OBJECT

  public:
    explicit CPictureStatic(QWidget* parent = nullptr);

    // Shows bitmap <resourceId>; a missing one leaves the control blank.
    bool LoadBitmap(int resourceId);
    // Shows a bitmap body held in memory (see CDib::LoadFromData).
    bool LoadBitmapData(QByteArray data);
    const CDib& GetDib() const { return m_dib; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void PictureChanged();

    CDib m_dib;
};
