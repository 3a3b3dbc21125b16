// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/ListBoxHelpers.h"

#include "controls/WholeTextTips.h"
#include "profiles/ProfileEntries.h"

#include <QtWidgets/QListWidget>

std::vector<std::string> GetListBoxEntries(const QListWidget* list) {
    std::vector<std::string> entries;
    for (int r = 0, n = list ? list->count() : 0; r < n; ++r)
        entries.push_back(list->item(r)->text().toStdString());
    return entries;
}

int AddSortedEntry(QListWidget* list, const std::string& entry) {
    if (!list)
        return -1;
    TipCutCells(list);
    const int row = static_cast<int>(SortedInsertPosition(GetListBoxEntries(list), entry));
    list->insertItem(row, QString::fromStdString(entry));
    return row;
}

int GetSelectedEntry(const QListWidget* list) {
    if (!list)
        return -1;
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}
