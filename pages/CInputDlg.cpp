// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CInputDlg.h"

#include "framework/CDataExchange.h"
#include "framework/UiSeam.h"
#include "framework/WinTypes.h"
#include "res/resource.h"
#include "ui_dlg131_input.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QLineEdit>

CInputDlg::CInputDlg(QWidget* parent) : CDialog(IDD_INPUT, FromForm<Ui::Dlg131Input>(), parent) {}

void CInputDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_INPUT_TEXT, m_strText);
    // The prompt only ever goes to its control.
    if (!pDX->m_bSaveAndValidate)
        DDX_Text(pDX, IDC_INPUT_PROMPT, m_strPrompt);
}

bool CInputDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (QDialog* dlg = GetDialog())
        dlg->setWindowTitle(QString::fromStdString(m_strCaption));
    return true;
}

void CInputDlg::OnOK() {
    if (!UpdateData(true))
        return;
    if (m_checkText) {
        if (const std::string problem = m_checkText(m_strText); !problem.empty()) {
            MessageBox(GetSafeHwnd(), problem, kAppTitle, MB_OK | MB_ICONEXCLAMATION);
            if (auto* edit = GetItem<QLineEdit>(IDC_INPUT_TEXT)) {
                edit->setFocus(Qt::OtherFocusReason);
                edit->selectAll();
            }
            return;
        }
    }
    EndDialog(IDOK);
}
