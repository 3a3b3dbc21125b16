// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CCheckMarkList.h"
#include "controls/CPictureStatic.h"
#include "framework/CPropertyPage.h"

#include <QtCore/QPointer>

#include <string>

class CProfile;
class QTreeWidget;

// First page of the scheduling wizard: the profiles the scheduled cleaning scans for, each
// with a check mark, all checked when the page is made. Next collects the checked names and
// goes to the drives page only when a checked profile scans whole drives.
class CSchedSetupPage : public CPropertyPage {
public:
    CSchedSetupPage();

    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;

    // Next alone while a row is checked; no wizard button at all (only Cancel) otherwise.
    void UpdateWizardButtons();
    // The row of the profile's name (letter case ignored, the first such row) shows the
    // check mark; false without such a row or while the page has no window.
    bool IsProfileChecked(const CProfile& profile) const;
    // Some profile checked here scans every folder of the chosen drives.
    bool AnyCheckedScansAllFolders() const;

    // The checked profiles' names, each followed by one blank, in store order; built by Next.
    std::string m_strProfiles;
    int m_nCheckedImage = CCheckMarkList::kCheckedImage;
    int m_nUncheckedImage = CCheckMarkList::kUncheckedImage;
    CCheckMarkList m_checks;
    QPointer<CPictureStatic> m_picture;
    QPointer<QTreeWidget> m_listProfiles;
};
