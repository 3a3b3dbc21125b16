// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/ScanEngine.h"

#include <QtCore/QHash>
#include <QtCore/QPointer>
#include <QtWidgets/QLabel>
#include <QtWidgets/QTreeWidget>

#include <chrono>
#include <vector>

// The interactive scan's sink: each file taken becomes a row of the results list (size,
// path, last-write time), each path once; the status label follows the walk, a folder too long
// for it elided in the middle with the whole folder in its tooltip. Pending window events are
// processed every few milliseconds, so Stop works at once; rows are added in batches a few
// times a second, so a scan that finds 100,000 files does not pay for 100,000 list updates.
struct ResultsListTiming {
    // Long enough that pumping costs nothing measurable, short enough that a click feels
    // instant.
    std::chrono::milliseconds pump{15};
    // The list lays out all its rows again for every batch added: a few batches a second keep
    // it lively without that cost growing with the square of the rows.
    std::chrono::milliseconds flush{250};
};

class CResultsListSink : public CScanSink {
public:
    using Timing = ResultsListTiming;

    CResultsListSink(QTreeWidget* list, QLabel* status, Timing timing = {});
    ~CResultsListSink() override;
    CResultsListSink(const CResultsListSink&) = delete;
    CResultsListSink& operator=(const CResultsListSink&) = delete;

    void OnFolder(const std::string& folder) override;
    void OnFileTaken(const FoundFile& file) override;
    void Pump() override;
    // Puts the rows found since the last batch into the list and widens its columns.
    void Flush();

    // The row whose path column equals path exactly (rows not yet flushed included), or -1.
    int FindResultRow(const QString& path) const;

    // Where a row keeps its file's last-write time (seconds since 1970) in the time column.
    static constexpr int kFileTimeRole = Qt::UserRole + 10;
    // Where a row keeps all the scan saw of its file (FileSeen), in the path column: the
    // disposal acts on the file only while it still is that.
    static constexpr int kFileSeenRole = Qt::UserRole + 11;
    static void SetFileSeen(QTreeWidgetItem& row, const FileSeen& seen);
    // What the row's file was when found; a FileSeen holding no file when the row says nothing.
    static FileSeen FileSeenOf(const QTreeWidgetItem& row);

    // Column of each value in a results row.
    static constexpr int kColSize = 0;
    static constexpr int kColPath = 1;
    static constexpr int kColTime = 2;

private:
    Timing m_timing;
    QPointer<QTreeWidget> m_list;
    QPointer<QLabel> m_status;
    QString m_folder;
    QHash<QString, int> m_rows;
    QList<QTreeWidgetItem*> m_pending;
    int m_nRowCount = 0; // rows in the list plus pending ones
    std::chrono::steady_clock::time_point m_lastPump{}; // the first call pumps
    std::chrono::steady_clock::time_point m_lastFlush{};
    unsigned m_nCalls = 0;
};
