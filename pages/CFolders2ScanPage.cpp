// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CFolders2ScanPage.h"

#include "controls/ListBoxHelpers.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/UiSeam.h"
#include "framework/WinTypes.h"
#include "profiles/CProfileList.h"
#include "profiles/ProfileEntries.h"
#include "res/resource.h"
#include "ui_dlg149_folders2scan.h"

#include <QtWidgets/QListWidget>
#include <cstdlib>

namespace {

const char* const kBrowseTitle = "Choose a folder for Fernwick to scan";

} // namespace

CFolders2ScanPage::CFolders2ScanPage()
    : CPropertyPage(IDD_FOLDERS2SCAN, FromForm<Ui::Dlg149Folders2Scan>()) {}

void CFolders2ScanPage::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SCANFOLDERS_LIST, m_lbScanFolders);
}

bool CFolders2ScanPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    if (g_nProfileMode == PROFILE_MODE_EDIT && g_pEditProfile)
        for (const std::string& folder : g_pEditProfile->m_lstScanFolders)
            AddSortedEntry(m_lbScanFolders, folder);
    OnClicked(IDC_SCANFOLDERS_ADD, &CFolders2ScanPage::OnAddScanFolder);
    OnClicked(IDC_SCANFOLDERS_DELETE, &CFolders2ScanPage::OnDeleteScanFolder);
    return true;
}

bool CFolders2ScanPage::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

void CFolders2ScanPage::OnAddScanFolder() {
    const char* home = std::getenv("HOME");
    for (;;) {
        const std::optional<std::string> chosen =
            TheUi().BrowseForFolder(GetSafeHwnd(), kBrowseTitle, home ? home : "/");
        if (!chosen)
            return;
        const std::string& folder = *chosen;
        if (!IsScannableFolder(folder)) {
            MessageBox(GetSafeHwnd(), "That folder is not scannable by Fernwick.", kAppTitle,
                       MB_OK | MB_ICONEXCLAMATION);
            continue;
        }
        if (const FsError problem = EntryProblem(EntryKind::ScanFolder, folder)) {
            MessageBox(GetSafeHwnd(), problem.Text(), kAppTitle, MB_OK | MB_ICONEXCLAMATION);
            continue;
        }
        // The same folder may be listed twice; the scan takes each file once.
        AddSortedEntry(m_lbScanFolders, folder);
        return;
    }
}

void CFolders2ScanPage::OnDeleteScanFolder() {
    const int row = GetSelectedEntry(m_lbScanFolders);
    if (row < 0) {
        MessageBox(GetSafeHwnd(), "Please select a folder to delete.", kAppTitle,
                   MB_OK | MB_ICONSTOP);
        return;
    }
    if (MessageBox(GetSafeHwnd(),
                   "Are you sure you want to delete this folder from your list of folders to "
                   "scan?",
                   kAppTitle, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    delete m_lbScanFolders->takeItem(row);
}

int CFolders2ScanPage::OnWizardNext() {
    if (!m_lbScanFolders || m_lbScanFolders->count() == 0) {
        MessageBox(GetSafeHwnd(), "Please add a folder or list of folders to scan.", kAppTitle,
                   MB_OK | MB_ICONSTOP);
        return -1;
    }
    CopyStringList(m_lstScanFolders, GetListBoxEntries(m_lbScanFolders));
    return 0;
}
