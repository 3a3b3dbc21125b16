// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <QtCore/QPointer>
#include <QtCore/QStringList>

#include <functional>
#include <vector>

class QTreeWidget;

// A report list whose rows each show a check mark in a box (icon 146: chosen) or an empty box
// (icon 147: not chosen) as their image; the image is the only record of the choice while the
// list is shown. A mouse click toggles the topmost selected row; keys only move the selection.
// The start page, the drives page and the schedule setup page use it.
class CCheckMarkList {
public:
    // Image indices of the two marks in the list's image list.
    static constexpr int kCheckedImage = 0;
    static constexpr int kUncheckedImage = 1;

    // Sets up a freshly made list: report look, the two images, the selection kept visible
    // (it says which row a click toggles) and the click. onToggled runs after every toggle.
    void Attach(QTreeWidget* list, bool multiSelect, std::function<void()> onToggled = {});
    QTreeWidget* GetList() const;

    // Inserts a row before index row (appends past the end) with its mark; returns its index.
    int InsertRow(int row, const QStringList& texts, bool checked);
    int GetRowCount() const;
    // False for a row that does not exist.
    bool IsChecked(int row) const;
    // The mark of the row whose first column reads text; false when there is none.
    bool IsCheckedByText(const QString& text) const;
    void SetChecked(int row, bool checked);
    bool AnyChecked() const;
    // The checked rows, top to bottom.
    std::vector<int> GetCheckedRows() const;
    // Every row's mark, top to bottom.
    std::vector<bool> GetChecks() const;

    // Flips the topmost selected row's mark and runs onToggled; false when no row is selected.
    bool ToggleFirstSelected();

private:
    QPointer<QTreeWidget> m_list;
    std::function<void()> m_onToggled;
};
