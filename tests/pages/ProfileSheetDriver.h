// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// Driving the "Profile" sheet's pages and the input dialog as a user would, through the
// scripted seam.
#include "framework/CPropertySheet.h"
#include "framework/CTemplateWnd.h"
#include "framework/WinTypes.h"
#include "res/resource.h"
#include "support/ScriptedUi.h"

#include <QtCore/QScopeGuard>
#include <QtTest/QtTest>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>
#include <functional>
#include <string>
#include <vector>

template <class T> T* Control(QWidget* window, int id) {
    for (T* child : window->findChildren<T*>())
        if (GetDlgCtrlID(child) == id)
            return child;
    return nullptr;
}

// What an input dialog showed.
struct InputSeen {
    std::string caption;
    std::string prompt;
    std::vector<std::string> leftInEdit; // the edit's text after each refused OK
    bool closedWithOk = false;
    QWidget* parent = nullptr; // the window it was opened over
};

// Answers the next input dialog: types each text in turn and presses OK until the dialog
// takes one; Cancel when none is taken (or none is given).
inline void AnswerInput(CScriptedUi& ui, std::vector<std::string> texts,
                        InputSeen* seen = nullptr) {
    ui.modalActions.push_back([texts, seen](QWidget* w) {
        auto* dlg = static_cast<QDialog*>(w);
        auto guard = qScopeGuard([dlg] {
            if (dlg->isVisible())
                dlg->done(IDCANCEL);
        });
        auto* edit = Control<QLineEdit>(w, IDC_INPUT_TEXT);
        auto* prompt = Control<QLabel>(w, IDC_INPUT_PROMPT);
        QVERIFY(edit && prompt);
        QVERIFY(edit->text().isEmpty());
        if (seen) {
            seen->caption = w->windowTitle().toStdString();
            seen->prompt = prompt->text().toStdString();
            seen->parent = w->parentWidget();
        }
        for (const std::string& text : texts) {
            edit->setText(QString::fromStdString(text));
            Control<QPushButton>(w, IDOK)->click();
            if (!dlg->isVisible()) {
                if (seen)
                    seen->closedWithOk = true;
                return;
            }
            if (seen)
                seen->leftInEdit.push_back(edit->text().toStdString());
        }
        Control<QPushButton>(w, IDCANCEL)->click();
    });
}

// The sheet's wizard buttons as the user sees them: 'B' Back, 'N' Next, 'F' Finish, each in
// upper case when enabled, lower case when shown but disabled.
inline std::string Buttons(const CPropertySheet& sheet) {
    std::string s;
    const std::pair<int, char> buttons[] = {
        {ID_WIZBACK, 'B'}, {ID_WIZNEXT, 'N'}, {ID_WIZFINISH, 'F'}};
    for (auto [id, c] : buttons) {
        QAbstractButton* b = sheet.GetButton(id);
        if (!b || !b->isVisible())
            continue;
        s += b->isEnabled() ? c : static_cast<char>(c + ('a' - 'A'));
    }
    return s;
}

inline std::vector<std::string> Entries(QListWidget* list) {
    std::vector<std::string> entries;
    for (int r = 0; list && r < list->count(); ++r)
        entries.push_back(list->item(r)->text().toStdString());
    return entries;
}

inline void SelectEntry(QListWidget* list, const std::string& text) {
    for (int r = 0; r < list->count(); ++r)
        if (list->item(r)->text().toStdString() == text) {
            list->setCurrentRow(r);
            list->item(r)->setSelected(true);
            return;
        }
}
