// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CFilePropsPage.h"

#include "controls/BoldFont.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/WinTypes.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "ui_dlg136_fileprops.h"

#include <QtCore/QRegularExpression>
#include <QtGui/QRegularExpressionValidator>
#include <QtWidgets/QLineEdit>

namespace {

constexpr int kLimitEdits[] = {IDC_MIN_SIZE, IDC_MAX_SIZE, IDC_MONTH, IDC_DAY, IDC_YEAR};

} // namespace

CFilePropsPage::CFilePropsPage() : CPropertyPage(IDD_FILEPROPS, FromForm<Ui::Dlg136FileProps>()) {}

void CFilePropsPage::ResetToDefaults() {
    m_nMinSize = 0;
    m_nDay = 1;
    m_nMonth = 1;
    m_nYear = kFirstYear;
    m_bUseLimits = false;
    m_nMaxSize = kDefaultMaxSize;
}

void CFilePropsPage::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    // Values that do not apply are not refused: their edits are disabled, so a value out of
    // range there (a stored maximum of 0, as shipped profiles have) could never be corrected.
    const bool check = !pDX->m_bSaveAndValidate || IsItemChecked(IDC_USE_LIMITS);
    const auto range = [pDX, check](std::uint32_t value, std::uint32_t min, std::uint32_t max) {
        if (check)
            DDV_MinMaxDWord(pDX, value, min, max);
    };
    DDX_Text(pDX, IDC_MIN_SIZE, m_nMinSize);
    range(m_nMinSize, 0, 4294967295u);
    DDX_Text(pDX, IDC_DAY, m_nDay);
    range(m_nDay, 1, 31);
    DDX_Text(pDX, IDC_MONTH, m_nMonth);
    range(m_nMonth, 1, 12);
    DDX_Text(pDX, IDC_YEAR, m_nYear);
    range(m_nYear, kFirstYear, kLastYear);
    DDX_Check(pDX, IDC_USE_LIMITS, m_bUseLimits);
    DDX_Text(pDX, IDC_MAX_SIZE, m_nMaxSize);
    range(m_nMaxSize, kLowestMaxSize, 4294967295u);
}

bool CFilePropsPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    SetBoldFont(GetDlgItem(IDC_LIMITS_ADVICE));
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    // Digits only, as typed; pasted text is still checked when the page is left.
    for (int id : kLimitEdits)
        if (auto* edit = GetItem<QLineEdit>(id))
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
    OnClicked(IDC_USE_LIMITS, &CFilePropsPage::OnUseLimits);

    if (g_nProfileMode == PROFILE_MODE_EDIT && g_pEditProfile) {
        m_bUseLimits = g_pEditProfile->m_bUseLimits;
        m_nMinSize = g_pEditProfile->m_dwMinSize;
        m_nMaxSize = g_pEditProfile->m_dwMaxSize;
        const CalendarDate date = LocalDateOf(g_pEditProfile->m_timeOlderThan);
        m_nMonth = date.month;
        m_nDay = date.day;
        m_nYear = date.year;
        UpdateData(false);
        if (m_bUseLimits) {
            CheckItem(IDC_USE_LIMITS, true);
            OnUseLimits();
        }
    }
    return true;
}

bool CFilePropsPage::OnSetActive() {
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return CPropertyPage::OnSetActive();
}

void CFilePropsPage::EnableLimits(bool enable) {
    for (int id : kLimitEdits)
        EnableItem(id, enable);
}

void CFilePropsPage::OnUseLimits() {
    UpdateData(true);
    // The box itself decides: after a refused value the exchange has not read it, and edits
    // left disabled under a checked box could never be corrected.
    EnableLimits(IsItemChecked(IDC_USE_LIMITS));
}

bool CFilePropsPage::OnWizardFinish() {
    return UpdateData(true);
}
