#pragma once

#include "scan/ScanEngine.h"

#include <QtCore/QHash>
#include <QtCore/QPointer>
#include <QtWidgets/QLabel>
#include <QtWidgets/QTreeWidget>

#include <chrono>

// The interactive scan's sink: each file taken becomes a row of the results list (size,
// path, last-write time), each path once; the status label follows the walk; pending window
// events are processed every few milliseconds so Stop works at once without slowing the scan.
class CResultsListSink : public CScanSink {
public:
    CResultsListSink(QTreeWidget* list, QLabel* status);

    void OnFolder(const std::string& folder) override;
    void OnFileTaken(const FoundFile& file) override;
    void Pump() override;

    // The row whose path column equals path exactly, or -1.
    int FindResultRow(const QString& path) const;

    // Column of each value in a results row.
    static constexpr int kColSize = 0;
    static constexpr int kColPath = 1;
    static constexpr int kColTime = 2;

private:
    QPointer<QTreeWidget> m_list;
    QPointer<QLabel> m_status;
    QHash<QString, int> m_rows;
    std::chrono::steady_clock::time_point m_lastPump{}; // the first call pumps
    unsigned m_nCalls = 0;
};
