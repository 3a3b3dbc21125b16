// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CNewProfilePage.h"

#include "pages/CWizardApp.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/UiSeam.h"
#include "framework/WinTypes.h"
#include "pages/CFolders2ScanPage.h"
#include "pages/CPatternsPage.h"
#include "profiles/CProfileList.h"
#include "profiles/ProfileEntries.h"
#include "res/resource.h"
#include "ui_dlg148_newprofile.h"

#include <QtWidgets/QLineEdit>

namespace {

// Whether a profile other than the one being edited has this name, compared byte for byte as
// a scheduled run's profile list compares it: that list, Edit and the check marks know a
// profile only by its name. An edited profile may keep its own name, even one that a stored
// file already held twice.
bool NameTakenByAnotherProfile(const std::string& name) {
    const CProfile* own = g_nProfileMode == PROFILE_MODE_EDIT ? g_pEditProfile : nullptr;
    if (own && own->m_strName == name)
        return false;
    for (const CProfile& profile : g_profiles)
        if (&profile != own && profile.m_strName == name)
            return true;
    return false;
}

} // namespace

CNewProfilePage::CNewProfilePage()
    : CPropertyPage(IDD_NEWPROFILE, FromForm<Ui::Dlg148NewProfile>()) {}

void CNewProfilePage::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROFILE_NAME, m_editName);
    DDX_Text(pDX, IDC_PROFILE_NAME, m_strName);
}

bool CNewProfilePage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(PSWIZB_NEXT);
    // Any scope but whole drives acts as listed folders.
    CheckItem(m_nScanScope == SCOPE_ALL_FOLDERS ? IDC_SCOPE_ALL_FOLDERS : IDC_SCOPE_LISTED_FOLDERS,
              true);
    // The scan of an existing profile is what it is; its name may change.
    if (g_nProfileMode == PROFILE_MODE_EDIT) {
        EnableItem(IDC_SCOPE_LISTED_FOLDERS, false);
        EnableItem(IDC_SCOPE_ALL_FOLDERS, false);
    }
    OnClicked(IDC_SCOPE_ALL_FOLDERS, &CNewProfilePage::OnScopeAllFolders);
    OnClicked(IDC_SCOPE_LISTED_FOLDERS, &CNewProfilePage::OnScopeSpecificFolders);
    return true;
}

bool CNewProfilePage::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

void CNewProfilePage::OnScopeAllFolders() {
    UpdateData(true);
    m_nScanScope = SCOPE_ALL_FOLDERS;
    UpdateData(false);
}

void CNewProfilePage::OnScopeSpecificFolders() {
    UpdateData(true);
    m_nScanScope = SCOPE_LISTED_FOLDERS;
    UpdateData(false);
}

CPropertyPage* CNewProfilePage::PageAfter(int steps) const {
    CPropertySheet* sheet = GetSheet();
    return sheet ? sheet->GetPage(sheet->GetPageIndex(this) + steps) : nullptr;
}

int CNewProfilePage::OnWizardNext() {
    if (!UpdateData(true))
        return -1;
    const std::string typed = m_strName;
    m_strName = TrimWhiteSpace(typed);
    std::string refusal;
    unsigned icon = MB_ICONEXCLAMATION;
    if (m_strName.empty()) {
        refusal = "You must enter a name for this Profile.";
        icon = MB_ICONSTOP;
    } else {
        refusal = EntryProblem(EntryKind::ProfileName, m_strName).Text();
        if (refusal.empty() && NameTakenByAnotherProfile(m_strName)) {
            refusal = "A Profile named " + m_strName +
                      " already exists.  Please choose another name.";
            icon = MB_ICONSTOP;
        }
    }
    if (!refusal.empty()) {
        // What was typed stays in the edit to be corrected.
        m_strName = typed;
        MessageBox(GetSafeHwnd(), refusal, kAppTitle, MB_OK | icon);
        if (m_editName)
            m_editName->setFocus(Qt::OtherFocusReason);
        return -1;
    }
    // Leaving the page reads the edit again: it must hold the trimmed name.
    SetDlgItemText(IDC_PROFILE_NAME, m_strName);

    CPropertyPage* target = nullptr;
    if (m_nScanScope == SCOPE_ALL_FOLDERS)
        target = WizardApp().m_pPatternsPage ? static_cast<CPropertyPage*>(WizardApp().m_pPatternsPage)
                                        : PageAfter(2);
    else
        target = WizardApp().m_pFolders2ScanPage
                     ? static_cast<CPropertyPage*>(WizardApp().m_pFolders2ScanPage)
                     : PageAfter(1);
    if (!target)
        return 0;
    return GetSheet()->SetActivePage(target) ? 0 : -1;
}
