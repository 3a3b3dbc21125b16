// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CFolderErrorDlg.h"

#include "framework/CDataExchange.h"
#include "framework/WinTypes.h"
#include "res/resource.h"
#include "ui_dlg163_foldererror.h"

namespace {

// The text box would show every '\r' as a glyph of its own.
std::string ForDisplay(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        shown += text[i];
    }
    return shown;
}

} // namespace

CFolderErrorDlg::CFolderErrorDlg(QWidget* parent)
    : CDialog(IDD_FOLDERERROR, FromForm<Ui::Dlg163FolderError>(), parent) {}

void CFolderErrorDlg::DoDataExchange(CDataExchange* pDX) {
    // The report is read-only: it only ever goes to the control, so the member keeps "\r\n".
    if (!pDX->m_bSaveAndValidate) {
        pDX->PrepareCtrl(IDC_FOLDERS_MISSING);
        SetDlgItemText(IDC_FOLDERS_MISSING, ForDisplay(m_strMissing));
    }
    DDX_Check(pDX, IDC_FOLDERS_DONT_SHOW, m_bDontShow);
}

void CFolderErrorDlg::OnCancel() {
    // The check box counts for "Fix Later" as much as for "Fix Now".
    UpdateData(true);
    CDialog::OnCancel();
}
