// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CPropertyPage.h"
#include "profiles/ScanScope.h"

#include <QtCore/QPointer>
#include <string>

class QLineEdit;

// First page of the "Profile" sheet: the profile's name and where it looks. Next goes to the
// folders-to-scan page for a profile that scans listed folders, else straight to the patterns
// page. An edited profile keeps its scope.
class CNewProfilePage : public CPropertyPage {
  public:
    CNewProfilePage();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnScopeAllFolders();
    void OnScopeSpecificFolders();

    int m_nScanScope = SCOPE_ALL_FOLDERS;
    QPointer<QLineEdit> m_editName;
    std::string m_strName;

  private:
    // The sheet's page that is index steps after this one, for a page the application object
    // does not know.
    CPropertyPage* PageAfter(int steps) const;
};
