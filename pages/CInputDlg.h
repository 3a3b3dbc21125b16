// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CDialog.h"

#include <functional>
#include <string>

// A one-line prompt: the caller sets the caption and the prompt, runs DoModal and, on IDOK,
// reads the typed text.
class CInputDlg : public CDialog {
  public:
    explicit CInputDlg(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // Closes with IDOK unless m_checkText refuses the text: the refusal is then shown and the
    // text stays in the edit to be corrected.
    void OnOK() override;

    std::string m_strCaption;
    std::string m_strText;
    std::string m_strPrompt;
    // Why a typed text cannot be taken, or empty when it can. Optional.
    std::function<std::string(const std::string&)> m_checkText;
};
