// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <QtCore/QPointer>

#include <string>
#include <vector>

class CPropertyPage;
class QAbstractButton;
class QDialog;
class QStackedWidget;
class QWidget;

// A sheet in wizard mode: pages shown one at a time with Back, Next (or Finish) and Cancel.
class CPropertySheet {
public:
    explicit CPropertySheet(std::string caption = {}, QWidget* parent = nullptr);
    virtual ~CPropertySheet();
    CPropertySheet(const CPropertySheet&) = delete;
    CPropertySheet& operator=(const CPropertySheet&) = delete;

    void AddPage(CPropertyPage* page);
    // Only the wizard mode exists; kept so callers read as they are meant.
    void SetWizardMode() {}

    // Runs the wizard from its first page; returns ID_WIZFINISH or IDCANCEL. Every page
    // window made during the run is destroyed before it returns.
    int DoModal();

    // Shows the page, after the current page agreed to be left (OnKillActive).
    bool SetActivePage(int index);
    bool SetActivePage(CPropertyPage* page);
    // PSWIZB_BACK, PSWIZB_NEXT, PSWIZB_FINISH (in Next's place), PSWIZB_DISABLEDFINISH.
    void SetWizardButtons(unsigned flags);

    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const { return m_nActive; }
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetPageIndex(const CPropertyPage* page) const;

    // The sheet's window while it runs, else null.
    QDialog* GetSafeHwnd() const;
    // The wizard's buttons: ID_WIZBACK, ID_WIZNEXT, ID_WIZFINISH, IDCANCEL.
    QAbstractButton* GetButton(int id) const;
    // What a click on that button does.
    void PressButton(int id);
    void EndDialog(int result);

    std::string m_strCaption;

private:
    void OnBack();
    void OnNext();
    void OnFinish();
    void OnCancel();
    void UpdateTitle();
    friend class CSheetWindow;

    QWidget* m_pParentWnd;
    std::vector<CPropertyPage*> m_pages;
    int m_nActive = -1;
    bool m_bJumped = false;
    int m_nResult = 0;
    QPointer<QDialog> m_pDlg;
    QStackedWidget* m_pStack = nullptr;
    // A page is being brought up (its OnSetActive runs).
    bool m_bActivating = false;
    QAbstractButton* m_pBack = nullptr;
    QAbstractButton* m_pNext = nullptr;
    QAbstractButton* m_pFinish = nullptr;
    QAbstractButton* m_pCancel = nullptr;
};
