// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CTemplateWnd.h"

#include <string>

class CPropertySheet;

// A page of a wizard sheet. Its window is made the first time the page is shown in a run of a
// sheet and destroyed when that sheet closes; the object and its members live on.
class CPropertyPage : public CTemplateWnd {
public:
    CPropertyPage(int templateId, TemplateSetup setup);

    // The sheet the page was last added to.
    CPropertySheet* GetSheet() const { return m_pSheet; }
    // The template's caption.
    std::string GetCaption() const;

    // After the window was made: members to controls.
    virtual bool OnInitDialog();
    // The page is about to be shown; members to controls again on every later showing.
    virtual bool OnSetActive();
    // The page is about to be left: controls to members. False keeps the page.
    virtual bool OnKillActive();
    // 0 moves to the next (previous) page, -1 stays; a SetActivePage jump made inside the
    // handler is the move.
    virtual int OnWizardNext();
    virtual int OnWizardBack();
    // True lets the wizard close with Finish.
    virtual bool OnWizardFinish();
    // True lets Cancel close the wizard.
    virtual bool OnQueryCancel();
    virtual void OnCancel();

private:
    friend class CPropertySheet;
    QWidget* CreatePageWindow();
    void DestroyPageWindow();

    CPropertySheet* m_pSheet = nullptr;
    bool m_bFirstSetActive = true;
};
