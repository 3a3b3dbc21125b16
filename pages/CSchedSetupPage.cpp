// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CSchedSetupPage.h"
#include "pages/ProfileChecks.h"

#include "pages/CWizardApp.h"
#include "controls/ListViewHelpers.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/WinTypes.h"
#include "pages/CSchedDeletePage.h"
#include "profiles/CProfileList.h"
#include "res/ResourceInit.h"
#include "res/resource.h"
#include "ui_dlg158_schedsetup.h"

#include <QtWidgets/QHeaderView>
#include <QtWidgets/QTreeWidget>

CSchedSetupPage::CSchedSetupPage()
    : CPropertyPage(IDD_SCHEDSETUP, FromForm<Ui::Dlg158SchedSetup>()) {
    InitFernwickResources();
}

void CSchedSetupPage::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_PICTURE, m_picture);
    DDX_Control(pDX, IDC_SCHEDSETUP_PROFILES, m_listProfiles);
}

bool CSchedSetupPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    // A fresh list with its own images each time the window is made: nothing outlives it.
    m_checks.Attach(m_listProfiles, true, [this] { UpdateWizardButtons(); });
    if (QTreeWidget* list = m_listProfiles) {
        AddColumn(list, 0, QStringLiteral("Files to Clean"));
        // Every profile starts checked: the user takes away what the schedule need not clean.
        int row = 0;
        for (const CProfile& profile : g_profiles)
            m_checks.InsertRow(row++, {QString::fromStdString(profile.m_strName)}, true);
        FitColumns(list, true);
        list->header()->setStretchLastSection(true);
    }
    if (m_picture)
        m_picture->LoadBitmap(IDB_START);
    return true;
}

bool CSchedSetupPage::OnSetActive() {
    UpdateWizardButtons();
    return CPropertyPage::OnSetActive();
}

void CSchedSetupPage::UpdateWizardButtons() {
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(m_checks.AnyChecked() ? PSWIZB_NEXT : 0);
}

bool CSchedSetupPage::IsProfileChecked(const CProfile& profile) const {
    return GetSafeHwnd() && ::IsProfileChecked(m_checks, profile);
}

bool CSchedSetupPage::AnyCheckedScansAllFolders() const {
    return GetSafeHwnd() && ::AnyCheckedScansAllFolders(m_checks, g_profiles);
}

int CSchedSetupPage::OnWizardNext() {
    m_strProfiles.clear();
    for (const CProfile& profile : g_profiles)
        if (IsProfileChecked(profile))
            m_strProfiles += profile.m_strName + " ";
    if (AnyCheckedScansAllFolders())
        return 0;
    // No checked profile needs drives: the drives page is skipped and keeps its last answer.
    CPropertySheet* sheet = GetSheet();
    CPropertyPage* target = WizardApp().m_pSchedDeletePage;
    if (!target || sheet->GetPageIndex(target) < 0)
        target = sheet->GetPage(sheet->GetPageIndex(this) + 2);
    if (!target)
        return 0;
    sheet->SetActivePage(target);
    return -1;
}
