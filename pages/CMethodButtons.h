// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <QtCore/QPointer>

#include <functional>
#include <string>

class CTemplateWnd;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The five disposal-method option buttons of a page (their ids are the method codes 1022 to
// 1026) and, where the page has them, the destination controls that go with Zip and Move: an
// edit box, its Browse button and the question above it. The selection page and the
// scheduled-disposal page both use it.
class CMethodButtons {
public:
    // Ties the page's option buttons to onMethod, which runs with the code after each click
    // (and after Select), once the destination controls have been brought up to date.
    void Attach(CTemplateWnd* page, std::function<void(int)> onMethod);
    // The destination controls; without them only the option buttons are handled.
    void AttachDestination(QLineEdit* edit, QPushButton* browse, QLabel* prompt);

    // Checks the method's button and applies it as if it had been clicked.
    void Select(int method);
    int Method() const { return m_nMethod; }
    // Enables or disables the five option buttons (a run in progress).
    void SetEnabled(bool enable);

    // Zip and Move: the destination controls are enabled, the edit emptied and the question
    // names what is asked. Any other method disables them and keeps the edit's text.
    void UpdateDestinationControls();
    // Asks for the destination the chosen method needs (archive name or folder) and puts the
    // answer, empty when cancelled, into the edit. Nothing for the other methods.
    void Browse(QWidget* owner);

    // The question shown for a method; empty for a method that keeps the question it has.
    static std::string DestinationPrompt(int method);

private:
    void Apply(int method);

    CTemplateWnd* m_pPage = nullptr;
    std::function<void(int)> m_onMethod;
    int m_nMethod = 0;
    QPointer<QLineEdit> m_edit;
    QPointer<QPushButton> m_browse;
    QPointer<QLabel> m_prompt;
};
