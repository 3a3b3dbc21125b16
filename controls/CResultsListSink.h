// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CFoundFilesView.h"
#include "scan/CFoundStore.h"
#include "scan/ScanEngine.h"

#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtWidgets/QLabel>

#include <chrono>

// The interactive scan's sink: each file taken goes into the found store, each path once, and
// becomes a row of the results list (size, path, last-write time); the status label follows
// the walk, a folder too long for it elided in the middle with the whole folder in its
// tooltip. Pending window events are processed every few milliseconds, so Stop works at once;
// rows are shown in batches a few times a second, so a scan that finds a million files does
// not pay for a million list updates.
struct ResultsListTiming {
    // Long enough that pumping costs nothing measurable, short enough that a click feels
    // instant.
    std::chrono::milliseconds pump{15};
    // A few batches a second keep the list lively.
    std::chrono::milliseconds flush{250};
};

class CResultsListSink : public CScanSink {
public:
    using Timing = ResultsListTiming;

    // list shows store, which the sink fills; either may be null for a sink that only pumps.
    CResultsListSink(CFoundFilesView* list, CFoundStore* store, QLabel* status, Timing timing = {});
    ~CResultsListSink() override;
    CResultsListSink(const CResultsListSink&) = delete;
    CResultsListSink& operator=(const CResultsListSink&) = delete;

    void OnFolder(const std::string& folder) override;
    void OnFileTaken(const FoundFile& file) override;
    void Pump() override;
    void PumpWhileWaiting() override;
    bool PumpsAWindow() const override { return true; }
    // Shows the rows found since the last batch and widens the columns for them.
    void Flush();

    // Column of each value in a results row.
    static constexpr int kColSize = CFoundFilesModel::kColSize;
    static constexpr int kColPath = CFoundFilesModel::kColPath;
    static constexpr int kColTime = CFoundFilesModel::kColTime;

private:
    Timing m_timing;
    QPointer<CFoundFilesView> m_list;
    CFoundStore* m_store;
    QPointer<QLabel> m_status;
    QString m_folder;
    std::chrono::steady_clock::time_point m_lastPump{}; // the first call pumps
    std::chrono::steady_clock::time_point m_lastFlush{};
    unsigned m_nCalls = 0;
};
