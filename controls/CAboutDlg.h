// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CPictureStatic.h"
#include "framework/CDialog.h"

// The About box: version, notices and the product picture, which links to the web site.
class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    QPointer<CPictureStatic> m_picture;
};
