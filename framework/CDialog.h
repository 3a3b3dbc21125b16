// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CTemplateWnd.h"

class QDialog;

// A modal dialog on a template. The template's buttons with ids 1 (OK) and 2 (Cancel) call
// OnOK and OnCancel; so do Enter and Escape.
class CDialog : public CTemplateWnd {
public:
    CDialog(int templateId, TemplateSetup setup, QWidget* parent = nullptr);

    // Makes the window, runs OnInitDialog and the modal loop; returns what EndDialog was given.
    virtual int DoModal();
    // Members to controls. Derived classes call it first.
    virtual bool OnInitDialog();
    // Controls to members; closes with IDOK when nothing was refused.
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int result);

    QDialog* GetDialog() const;

protected:
    QWidget* m_pParentWnd;

private:
    int m_nModalResult = 0;
};
