// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CPropertyPage.h"
#include "pages/CMethodButtons.h"

#include <QtCore/QPointer>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

// Last page of the scheduling wizard: how the scheduled cleaning disposes of what it finds,
// and for Zip and Move where to. Finish hands the method and the destination to the Schedule
// command. Finish with Zip or Move and no destination asks for one, as Browse does, and stays
// on the page when none is given; any other destination is checked by the scheduled run.
class CSchedDeletePage : public CPropertyPage {
public:
    CSchedDeletePage();

    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardBack() override;
    bool OnWizardFinish() override;

    void OnBrowse();

    int m_nMethod = 1022;
    QPointer<QPushButton> m_btnBrowse;
    QPointer<QLineEdit> m_editDestination;
    QPointer<QLabel> m_stcDestinationPrompt;
    std::string m_strDestination;

private:
    CMethodButtons m_methods;
};
