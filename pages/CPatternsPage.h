// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CPropertyPage.h"

#include <QtCore/QPointer>
#include <string>
#include <vector>

class QListWidget;

// Third page of the "Profile" sheet: the file patterns (six common ones as check boxes, any
// other in a sorted list) and the names of folders whose files are cleaned. Patterns that
// could name program files are refused.
class CPatternsPage : public CPropertyPage {
  public:
    CPatternsPage();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    int OnWizardBack() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnPatternCheck();
    void OnAddPattern();
    void OnDeletePattern();
    void OnAddFolder();
    void OnDeleteFolder();
    // Back and Next.
    void UpdateWizardButtons();

    // The values a new profile starts with: the standard check boxes as shipped, no lists.
    void ResetToDefaults();

    // Filled when the page is left with Next.
    std::vector<std::string> m_lstFolders;
    std::vector<std::string> m_lstPatterns;
    QPointer<QListWidget> m_lbPatterns;
    QPointer<QListWidget> m_lbFolders;
    bool m_bPatBAK = false;
    bool m_bPatCHK = true;
    bool m_bPatTildeName = true;
    bool m_bPatOLD = false;
    bool m_bPatTMP = true;
    bool m_bPatTildeExt = true;

  private:
    // Asks for an entry and adds it to list unless refused or already there.
    void AddEntry(QListWidget* list, const char* caption, const char* prompt, bool isPattern);
    // Asks, then removes the selected entry of list.
    void DeleteEntry(QListWidget* list, const char* caption);
};
