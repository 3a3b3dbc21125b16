// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/CFoundStore.h"

#include <QtCore/QAbstractTableModel>

#include <cstdint>
#include <vector>

// The found files as list rows: size, path and last-write time, straight from the store that
// holds them. A row is four bytes (the file's number in the store); no item object is made
// per row, and texts are made only for the rows on screen. The scan page's rows follow the
// store as it grows; the selection page's are its own order of the same files, sorted and
// thinned out as the user works, while the store stays as found.
class CFoundFilesModel : public QAbstractTableModel {
public:
    static constexpr int kColSize = 0;
    static constexpr int kColPath = 1;
    static constexpr int kColTime = 2;

    explicit CFoundFilesModel(QObject* parent = nullptr);

    // The store the rows refer to, which must outlive its use here; the rows are emptied.
    void SetStore(const CFoundStore* store);
    const CFoundStore* Store() const { return m_store; }

    // Adds a row for each file the store gained since the last call, in the order found.
    // Returns the first new row (the row count when there is none).
    int ShowNewFiles();
    // The rows of other, in its order (the selection page takes the scan page's).
    void ShowRowsOf(const CFoundFilesModel& other);
    // Removes every row.
    void ClearRows();

    // The file of a row, as its number in the store.
    std::size_t FileOf(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // A cell's text as the list shows it.
    QString Text(int row, int column) const;

    // Orders the rows by column, ascending and stable: sizes and times by their values (a file
    // without a size first), paths byte by byte.
    void SortByColumn(int column);
    // Removes the rows given (in any order); the others keep their order and, in a view, their
    // selection.
    void RemoveRows(std::vector<int> rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const CFoundStore* m_store = nullptr;
    std::vector<std::uint32_t> m_rows;
    std::size_t m_shownFiles = 0; // files of the store that have rows (ShowNewFiles)
};
