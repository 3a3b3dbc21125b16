// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CFoundFilesView.h"
#include "framework/CPropertyPage.h"
#include "pages/CMethodButtons.h"

#include <QtCore/QPointer>

#include <string>
#include <vector>

class CScanPage;
class QLabel;
class QPushButton;
class CFoundFilesView;

// The last page of the wizard: the files the scan found, of which the user selects some,
// picks a way to dispose of them and starts the run with the action button.
class CDeletePage : public CPropertyPage {
public:
    CDeletePage();

    // The page whose results are offered here; start-up sets it.
    CScanPage* m_pScanPage = nullptr;

    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    bool OnSetActive() override;
    bool OnWizardFinish() override;
    bool OnQueryCancel() override;

    // The disposal run of the selected files.
    void OnDispose();
    // Shows the size of the selection and enables the action button while there is one.
    void UpdateSelectedTotal();
    void OnSelectAll();
    void OnDeselectAll();
    void OnMethod(int method);

    int m_nMethod = 1022;
    std::vector<std::string> m_lstInUse; // found in use by the last run
    bool m_bDisposed = false;

    QPointer<CFoundFilesView> m_listFiles;
    QPointer<QPushButton> m_btnDeselectAll;
    QPointer<QPushButton> m_btnSelectAll;
    QPointer<QLabel> m_stcTotalLabel;
    QPointer<QLabel> m_stcTotal;
    QPointer<QPushButton> m_btnDispose;

private:
    void SetBusy(bool busy);

    CMethodButtons m_methods;
    void SortByColumn(int column);

    bool m_bBusy = false;
    bool m_bCancelRun = false;
};
