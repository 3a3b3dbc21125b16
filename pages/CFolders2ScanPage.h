// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CPropertyPage.h"

#include <QtCore/QPointer>
#include <string>
#include <vector>

class QListWidget;

// Second page of the "Profile" sheet, shown only for a profile that scans listed folders:
// the folders to scan, chosen in the folder browser and kept sorted.
class CFolders2ScanPage : public CPropertyPage {
  public:
    CFolders2ScanPage();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnAddScanFolder();
    void OnDeleteScanFolder();

    // Rewritten from the list box when the page is left with Next.
    std::vector<std::string> m_lstScanFolders;
    QPointer<QListWidget> m_lbScanFolders;
};
