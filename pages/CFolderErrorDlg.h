// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CDialog.h"

#include <string>

// Lists the scan folders of the profiles that are not there. "Fix Now" (IDOK) means the user
// wants to stay and edit the profiles; "Fix Later", Escape and the close box (IDCANCEL) go on.
class CFolderErrorDlg : public CDialog {
  public:
    explicit CFolderErrorDlg(QWidget* parent = nullptr);

    void DoDataExchange(CDataExchange* pDX) override;
    void OnCancel() override;

    // The report, lines ended by "\r\n"; shown with plain line ends.
    std::string m_strMissing;
    // "Don't show me this error again.", read whichever button closed the dialog.
    bool m_bDontShow = false;
};
