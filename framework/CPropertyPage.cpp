// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/CPropertyPage.h"

CPropertyPage::CPropertyPage(int templateId, TemplateSetup setup)
    : CTemplateWnd(templateId, std::move(setup)) {}

std::string CPropertyPage::GetCaption() const {
    return GetSafeHwnd() ? GetSafeHwnd()->windowTitle().toStdString() : std::string();
}

QWidget* CPropertyPage::CreatePageWindow() {
    QWidget* w = CreateFromTemplate(new QWidget);
    // Templates place their controls absolutely: the page needs its template's size.
    w->setMinimumSize(w->size());
    m_bFirstSetActive = true;
    return w;
}

void CPropertyPage::DestroyPageWindow() { DestroyWindow(); }

bool CPropertyPage::OnInitDialog() {
    UpdateData(false);
    return true;
}

bool CPropertyPage::OnSetActive() {
    // The first showing follows OnInitDialog, which has filled the controls already.
    if (m_bFirstSetActive)
        m_bFirstSetActive = false;
    else
        UpdateData(false);
    return true;
}

bool CPropertyPage::OnKillActive() { return UpdateData(true); }

int CPropertyPage::OnWizardNext() { return 0; }

int CPropertyPage::OnWizardBack() { return 0; }

bool CPropertyPage::OnWizardFinish() { return true; }

bool CPropertyPage::OnQueryCancel() { return true; }

void CPropertyPage::OnCancel() {}
