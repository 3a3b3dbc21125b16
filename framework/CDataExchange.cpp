// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/CDataExchange.h"

#include "framework/UiSeam.h"
#include "framework/WinTypes.h"

#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QLineEdit>

QWidget* CDataExchange::PrepareCtrl(int id) {
    m_idLastControl = id;
    return m_pDlgWnd->GetDlgItem(id);
}

void CDataExchange::Fail(const std::string& text) {
    if (m_bFailed)
        return;
    m_bFailed = true;
    MessageBox(m_pDlgWnd->GetSafeHwnd(), text, kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    if (QWidget* w = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
        w->setFocus(Qt::OtherFocusReason);
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->selectAll();
    }
}

std::optional<std::uint32_t> ParseUnsignedField(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    auto blank = [&](size_t k) { return text[k] == ' ' || text[k] == '\t'; };
    while (i < n && blank(i))
        ++i;
    if (i < n && text[i] == '+')
        ++i;
    const size_t digits = i;
    std::uint64_t value = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > UINT32_MAX)
            return std::nullopt;
    }
    if (i == digits)
        return std::nullopt;
    while (i < n && blank(i))
        ++i;
    if (i != n)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    if (pDX->Failed())
        return;
    pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->GetDlgItemText(id);
    else
        pDX->m_pDlgWnd->SetDlgItemText(id, value);
}

void DDX_Text(CDataExchange* pDX, int id, std::uint32_t& value) {
    if (pDX->Failed())
        return;
    pDX->PrepareCtrl(id);
    if (!pDX->m_bSaveAndValidate) {
        pDX->m_pDlgWnd->SetDlgItemText(id, std::to_string(value));
        return;
    }
    if (auto parsed = ParseUnsignedField(pDX->m_pDlgWnd->GetDlgItemText(id)))
        value = *parsed;
    else
        pDX->Fail(kMsgPositiveInteger);
}

void DDV_MinMaxDWord(CDataExchange* pDX, std::uint32_t value, std::uint32_t min,
                     std::uint32_t max) {
    if (pDX->Failed() || !pDX->m_bSaveAndValidate)
        return;
    if (value < min || value > max) {
        std::string text = kMsgIntegerBetween;
        text.replace(text.find("%1"), 2, std::to_string(min));
        text.replace(text.find("%2"), 2, std::to_string(max));
        pDX->Fail(text);
    }
}

void DDX_Check(CDataExchange* pDX, int id, bool& value) {
    if (pDX->Failed())
        return;
    auto* b = qobject_cast<QAbstractButton*>(pDX->PrepareCtrl(id));
    if (!b)
        return;
    if (pDX->m_bSaveAndValidate)
        value = b->isChecked();
    else
        b->setChecked(value);
}
