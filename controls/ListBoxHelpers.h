// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// The program's list boxes are QListWidgets of plain text entries. Those that keep their
// entries sorted do so without regard to case (CompareNoCase), whatever the order of entry.
// An entry that does not show whole (a long path) shows whole in a tooltip.

#include <string>
#include <vector>

class QListWidget;

// The entries, top to bottom; empty for a null list.
std::vector<std::string> GetListBoxEntries(const QListWidget* list);
// Inserts the entry at its sorted place, after entries that sort equal; returns its row, or
// -1 for a null list. The list's cut entries show in tooltips from then on (TipCutCells).
int AddSortedEntry(QListWidget* list, const std::string& entry);
// The selected entry's row, or -1.
int GetSelectedEntry(const QListWidget* list);
