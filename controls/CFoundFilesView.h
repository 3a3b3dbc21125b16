// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CFoundFilesModel.h"

#include <QtWidgets/QTableView>

#include <vector>

// A report list of found files over a model of its own (CFoundFilesModel): the scan page's
// results and the selection page's files. It looks as the other report lists do (a header
// of columns, whole-row selection, no grid), but is a table view: rows of one height that
// are never laid out one by one, so a million rows are added, shown and scrolled as a hundred
// are. A cut-off cell shows its whole text in a tooltip.
class CFoundFilesView : public QTableView {
    Q_OBJECT

public:
    explicit CFoundFilesView(QWidget* parent = nullptr);

    // The column headers (a report list's only header).
    QHeaderView* header() const { return horizontalHeader(); }

    CFoundFilesModel& Model() { return m_model; }
    const CFoundFilesModel& Model() const { return m_model; }
    // Single or extended selection; the columns start as wide as their headers.
    void Setup(bool multiSelect);

    int RowCount() const { return m_model.RowCount(); }
    QString Text(int row, int column) const { return m_model.Text(row, column); }

    // The selected rows, in ascending order.
    std::vector<int> SelectedRows() const;
    // The topmost selected row, or -1.
    int FirstSelectedRow() const;
    bool IsRowSelected(int row) const;
    void SelectRow(int row, bool select = true);

    // Widens each column, never narrowing it, for the texts of the rows from firstRow on.
    // Only the longest texts are measured: a handful per column, whatever the rows.
    void WidenColumnsFrom(int firstRow);

private:
    int WidestTimeText() const;

    CFoundFilesModel m_model;
    mutable int m_widestTime = -1;
};
