// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/CDialog.h"

#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "framework/WinTypes.h"

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>

namespace {

// The dialog window: Escape and the close button go to the object's OnCancel, so the object
// decides whether and how the dialog ends.
class CDialogWindow : public QDialog {
public:
    CDialogWindow(CDialog* owner, QWidget* parent) : QDialog(parent), m_owner(owner) {}
    void reject() override { m_owner->OnCancel(); }
    void accept() override { m_owner->OnOK(); }

private:
    CDialog* m_owner;
};

} // namespace

CDialog::CDialog(int templateId, TemplateSetup setup, QWidget* parent)
    : CTemplateWnd(templateId, std::move(setup)), m_pParentWnd(parent) {}

QDialog* CDialog::GetDialog() const { return qobject_cast<QDialog*>(GetSafeHwnd()); }

int CDialog::DoModal() {
    // The dialog waits for the user: no wait cursor over it.
    CWaitCursorPause pause;
    QWidget* parent = m_pParentWnd ? m_pParentWnd : QApplication::activeWindow();
    auto* dlg = new CDialogWindow(this, parent);
    CreateFromTemplate(dlg);
    dlg->setFixedSize(dlg->size());
    OnClicked(IDOK, &CDialog::OnOK);
    OnClicked(IDCANCEL, &CDialog::OnCancel);
    m_nModalResult = IDCANCEL;
    OnInitDialog();
    FocusFirstControl();
    QTimer::singleShot(0, dlg, [dlg] { TheUi().ModalStarted(dlg); });
    dlg->exec();
    DestroyWindow();
    return m_nModalResult;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    if (QDialog* dlg = GetDialog())
        dlg->done(result);
}
