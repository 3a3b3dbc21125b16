// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/CAboutDlg.h"

#include "controls/PictureLink.h"
#include "framework/CDataExchange.h"
#include "res/ResourceInit.h"
#include "res/resource.h"
#include "ui_dlg100_about.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : CDialog(IDD_ABOUTBOX, FromForm<Ui::Dlg100About>(), parent) {
    InitFernwickResources();
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_PICTURE_LINK, m_picture);
}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_picture) {
        m_picture->LoadBitmap(IDB_ABOUT);
        MakePictureLink(m_picture);
    }
    return true;
}
