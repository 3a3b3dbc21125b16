// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <QtCore/QHash>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

#include <functional>
#include <string>

class CDataExchange;
class QAbstractButton;

// Fills a freshly made window with the controls of a dialog template.
using TemplateSetup = std::function<void(QWidget*)>;

// A template's generated form class applied to a window; the form object itself only holds
// pointers to the controls, which the window owns.
template <class Form> TemplateSetup FromForm() {
    return [](QWidget* w) {
        Form form;
        form.setupUi(w);
    };
}

// What pages and dialogs share: a window made from a dialog template, controls found by id,
// and the data exchange between controls and members. The object and its window are
// separate: the object lives as long as its owner, the window only while it is shown.
class CTemplateWnd {
public:
    CTemplateWnd(int templateId, TemplateSetup setup);
    virtual ~CTemplateWnd();
    CTemplateWnd(const CTemplateWnd&) = delete;
    CTemplateWnd& operator=(const CTemplateWnd&) = delete;

    int GetTemplateId() const { return m_nIDTemplate; }
    // The size of a window made from the template in the user's font, whether or not the
    // window exists.
    QSize GetTemplateSize() const;
    // The window, or null while there is none.
    QWidget* GetSafeHwnd() const { return m_pWnd; }
    // The control with this id (the "ctrlId" property of the template), or null.
    QWidget* GetDlgItem(int id) const;
    template <class T> T* GetItem(int id) const { return qobject_cast<T*>(GetDlgItem(id)); }

    // Controls to members (true) or members to controls (false). False when a value was
    // refused: its message has been shown and the focus put on the control.
    bool UpdateData(bool bSaveAndValidate = true);
    virtual void DoDataExchange(CDataExchange* pDX);

    std::string GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const std::string& text);
    void EnableItem(int id, bool enable);
    // Gives the focus to the control the window's own initialisation chose, else to the first
    // enabled control in the template's tab order; nothing changes when a control of the
    // window has the focus already.
    void FocusFirstControl() const;
    bool IsItemChecked(int id) const;
    void CheckItem(int id, bool check);

protected:
    // Makes the window from the template inside parent, in the user's font (dialog units),
    // with labels showing their text as it is; does not call OnInitDialog.
    QWidget* CreateFromTemplate(QWidget* window);
    // Deletes the window; members keep their values.
    void DestroyWindow();

    // Ties a button's click to a handler of the derived class.
    template <class T> void OnClicked(int id, void (T::*handler)()) {
        ConnectClicked(id, [this, handler] { (static_cast<T*>(this)->*handler)(); });
    }
    void ConnectClicked(int id, std::function<void()> handler);

private:
    void IndexControls();

    int m_nIDTemplate;
    TemplateSetup m_setup;
    QPointer<QWidget> m_pWnd;
    QHash<int, QPointer<QWidget>> m_controls;
};

// The id a template gives a control.
int GetDlgCtrlID(const QWidget* control);
