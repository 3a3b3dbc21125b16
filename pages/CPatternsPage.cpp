// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CPatternsPage.h"

#include "pages/CWizardApp.h"
#include "controls/ListBoxHelpers.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "framework/WinTypes.h"
#include "pages/CInputDlg.h"
#include "pages/CNewProfilePage.h"
#include "profiles/CProfileList.h"
#include "profiles/ProfileEntries.h"
#include "res/resource.h"
#include "ui_dlg135_patterns.h"

#include <QtWidgets/QListWidget>

namespace {

const char* const kPatternPrompt =
    "Type in the name of a file pattern to search for.  This pattern will be flagged for "
    "deletion when scanning the hard drive.";
const char* const kFolderPrompt =
    "Type in the name of a folder to search for.  This folder will be flagged for deletion "
    "when scanning the hard drive.";
const char* const kProgramFiles =
    "Fernwick cannot allow you to delete files of this type.  This could render your PC "
    "unusable.";

} // namespace

CPatternsPage::CPatternsPage() : CPropertyPage(IDD_PATTERNS, FromForm<Ui::Dlg135Patterns>()) {}

void CPatternsPage::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PATTERNS_LIST, m_lbPatterns);
    DDX_Control(pDX, IDC_FOLDERNAMES_LIST, m_lbFolders);
    DDX_Check(pDX, IDC_PAT_BAK, m_bPatBAK);
    DDX_Check(pDX, IDC_PAT_CHK, m_bPatCHK);
    DDX_Check(pDX, IDC_PAT_TILDE_NAME, m_bPatTildeName);
    DDX_Check(pDX, IDC_PAT_OLD, m_bPatOLD);
    DDX_Check(pDX, IDC_PAT_TMP, m_bPatTMP);
    DDX_Check(pDX, IDC_PAT_TILDE_EXT, m_bPatTildeExt);
}

void CPatternsPage::ResetToDefaults() {
    m_bPatBAK = kStandardPatternDefaults[0];
    m_bPatTMP = kStandardPatternDefaults[1];
    m_bPatCHK = kStandardPatternDefaults[2];
    m_bPatOLD = kStandardPatternDefaults[3];
    m_bPatTildeName = kStandardPatternDefaults[4];
    m_bPatTildeExt = kStandardPatternDefaults[5];
    m_lstPatterns.clear();
    m_lstFolders.clear();
}

bool CPatternsPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    if (g_nProfileMode == PROFILE_MODE_EDIT && g_pEditProfile) {
        for (const std::string& folder : g_pEditProfile->m_lstFolders)
            AddSortedEntry(m_lbFolders, folder);
        StandardPatternChecks checks{};
        std::vector<std::string> others;
        SplitPatterns(g_pEditProfile->m_lstPatterns, checks, others);
        m_bPatBAK = checks[0];
        m_bPatTMP = checks[1];
        m_bPatCHK = checks[2];
        m_bPatOLD = checks[3];
        m_bPatTildeName = checks[4];
        m_bPatTildeExt = checks[5];
        for (const std::string& pattern : others)
            AddSortedEntry(m_lbPatterns, pattern);
        UpdateData(false);
    }
    for (int id : {IDC_PAT_TMP, IDC_PAT_BAK, IDC_PAT_CHK, IDC_PAT_OLD, IDC_PAT_TILDE_NAME,
                   IDC_PAT_TILDE_EXT})
        OnClicked(id, &CPatternsPage::OnPatternCheck);
    OnClicked(IDC_ADD_PATTERN, &CPatternsPage::OnAddPattern);
    OnClicked(IDC_DELETE_PATTERN, &CPatternsPage::OnDeletePattern);
    OnClicked(IDC_ADD_FOLDER, &CPatternsPage::OnAddFolder);
    OnClicked(IDC_DELETE_FOLDER, &CPatternsPage::OnDeleteFolder);
    return true;
}

bool CPatternsPage::OnSetActive() {
    UpdateWizardButtons();
    return CPropertyPage::OnSetActive();
}

void CPatternsPage::UpdateWizardButtons() {
    CWaitCursor wait;
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
}

void CPatternsPage::OnPatternCheck() {
    UpdateData(true);
    UpdateWizardButtons();
}

void CPatternsPage::AddEntry(QListWidget* list, const char* caption, const char* prompt,
                             bool isPattern) {
    CInputDlg dlg(GetSafeHwnd()); // over the sheet, not wherever the desktop put focus
    dlg.m_strCaption = caption;
    dlg.m_strPrompt = prompt;
    const EntryKind kind = isPattern ? EntryKind::Pattern : EntryKind::FolderName;
    dlg.m_checkText = [kind](const std::string& text) { return EntryProblem(kind, text).Text(); };
    if (dlg.DoModal() != IDOK)
        return;
    const std::string& text = dlg.m_strText;
    if (isPattern && !IsAllowedPattern(text)) {
        MessageBox(GetSafeHwnd(), kProgramFiles, kAppTitle, MB_OK);
        return;
    }
    if (FindNoCase(GetListBoxEntries(list), text) >= 0) {
        MessageBox(GetSafeHwnd(), text + " is already in the list.", "Information", MB_OK);
        return;
    }
    AddSortedEntry(list, text);
    UpdateWizardButtons();
}

void CPatternsPage::DeleteEntry(QListWidget* list, const char* caption) {
    const int row = GetSelectedEntry(list);
    if (row < 0)
        return;
    const std::string entry = list->item(row)->text().toStdString();
    if (MessageBox(GetSafeHwnd(), "Are you sure you want to delete '" + entry + "'?", caption,
                   MB_YESNO | MB_DEFBUTTON2) != IDYES)
        return;
    delete list->takeItem(row);
    UpdateWizardButtons();
}

void CPatternsPage::OnAddPattern() {
    AddEntry(m_lbPatterns, "Add File Pattern", kPatternPrompt, true);
}

void CPatternsPage::OnDeletePattern() {
    DeleteEntry(m_lbPatterns, kAppTitle);
}

void CPatternsPage::OnAddFolder() {
    AddEntry(m_lbFolders, "Add File Folder", kFolderPrompt, false);
}

void CPatternsPage::OnDeleteFolder() {
    DeleteEntry(m_lbFolders, "Fern Wick");
}

int CPatternsPage::OnWizardNext() {
    UpdateData(true);
    const StandardPatternChecks checks = {m_bPatBAK, m_bPatTMP,       m_bPatCHK,
                                          m_bPatOLD, m_bPatTildeName, m_bPatTildeExt};
    m_lstPatterns = JoinPatterns(checks, GetListBoxEntries(m_lbPatterns));
    CopyStringList(m_lstFolders, GetListBoxEntries(m_lbFolders));
    return 0;
}

int CPatternsPage::OnWizardBack() {
    // A profile that scans whole drives has no folders page, this way either.
    CNewProfilePage* first = WizardApp().m_pNewProfilePage;
    if (!first) {
        CPropertySheet* sheet = GetSheet();
        first = dynamic_cast<CNewProfilePage*>(sheet ? sheet->GetPage(0) : nullptr);
    }
    if (first && first->m_nScanScope == SCOPE_ALL_FOLDERS)
        GetSheet()->SetActivePage(first);
    return 0;
}
