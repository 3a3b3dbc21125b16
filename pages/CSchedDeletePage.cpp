// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CSchedDeletePage.h"

#include "pages/CWizardApp.h"
#include "controls/BoldFont.h"
#include "controls/WholeTextTips.h"
#include "dispose/DisposalMethod.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/WinTypes.h"
#include "pages/CSchedSetupPage.h"
#include "res/resource.h"
#include "ui_dlg159_scheddelete.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

CSchedDeletePage::CSchedDeletePage()
    : CPropertyPage(IDD_SCHEDDELETE, FromForm<Ui::Dlg159SchedDelete>()) {}

void CSchedDeletePage::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_SCHED_BROWSE, m_btnBrowse);
    DDX_Control(pDX, IDC_SCHED_DESTINATION, m_editDestination);
    DDX_Control(pDX, IDC_SCHED_PROMPT, m_stcDestinationPrompt);
    DDX_Text(pDX, IDC_SCHED_DESTINATION, m_strDestination);
}

bool CSchedDeletePage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_methods.Attach(this, [this](int method) { m_nMethod = method; });
    m_methods.AttachDestination(m_editDestination, m_btnBrowse, m_stcDestinationPrompt);
    TipWholeTextWhenCut(m_editDestination);
    // Each new scheduling wizard starts with Delete; the edit keeps the last destination.
    m_methods.Select(METHOD_DELETE);
    SetBoldFont(GetDlgItem(IDC_SCHED_NOTICE));
    OnClicked(IDC_SCHED_BROWSE, &CSchedDeletePage::OnBrowse);
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return true;
}

bool CSchedDeletePage::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return CPropertyPage::OnSetActive();
}

int CSchedDeletePage::OnWizardBack() {
    // Back returns to the page that came before: the setup page when the drives page was
    // skipped, as no checked profile needs drives.
    CSchedSetupPage* setup = WizardApp().m_pSchedSetupPage;
    CPropertySheet* sheet = GetSheet();
    if (!setup || sheet->GetPageIndex(setup) < 0 || setup->AnyCheckedScansAllFolders())
        return 0;
    sheet->SetActivePage(setup);
    return -1;
}

void CSchedDeletePage::OnBrowse() {
    m_methods.Browse(GetSafeHwnd());
}

bool CSchedDeletePage::OnWizardFinish() {
    UpdateData(true);
    // Zip or Move with nowhere to put the files would be refused by every scheduled run:
    // ask for the destination as Browse does, and stay when the user gives none.
    if (MethodNeedsDestination(m_nMethod) && m_strDestination.empty()) {
        OnBrowse();
        UpdateData(true);
        if (m_strDestination.empty()) {
            if (m_editDestination)
                m_editDestination->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    return CPropertyPage::OnWizardFinish();
}
