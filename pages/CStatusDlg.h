// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/ScheduledRun.h"
#include "controls/CPictureStatic.h"
#include "dispose/UnattendedDisposal.h"
#include "framework/CDialog.h"
#include "scan/CFoundFileList.h"
#include "scan/CStopEvent.h"

#include <QtCore/QPointer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class QLabel;
class QMovie;
class QPushButton;
class QSocketNotifier;

class CStatusDlg;
// The worker thread of the status window: runs the scan the switches ask for.
void UnattendedSearchThread(CStatusDlg* dlg);

// The small window of a scheduled cleaning: scans the profiles its switches name on a worker
// thread, shows the folder being searched and the running totals, then disposes of everything
// found as the switches say and closes. Cancel stops the search and closes
// without disposing of anything. A stop signal (SIGTERM, SIGINT, SIGHUP) does the same during
// the search and ends the disposal between two files.
class CStatusDlg : public CDialog {
public:
    explicit CStatusDlg(ScheduledSwitches switches, QWidget* parent = nullptr);
    ~CStatusDlg() override;

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnCancel() override;

    // Disposes of the found files with the method and destination of the switches.
    void DisposeFoundFiles();
    // Shows the folder being searched (unless empty) and the counters; from any thread.
    void ShowProgress(const std::string& folder);

    // After the window has closed: true when every file found was disposed of (none found
    // counts); false after Cancel, a stop signal, or files that could not be disposed of.
    bool AllDisposed() const { return m_bDisposed && m_disposal.Complete(); }
    // After the window has closed: what became of the files, or null when the disposal never
    // began (Cancel or a stop signal during the search).
    const UnattendedOutcome* Disposal() const { return m_bDisposed ? &m_disposal : nullptr; }

    // What the worker found; read by the window only once the worker has finished.
    CFoundFileList m_found;
    CStopEvent m_searchEvent;

    // Called on the worker thread each time the walk reaches a listed folder, a drive or a
    // subfolder; lets an observer (a test) follow or hold the search.
    std::function<void(const std::string& folder)> m_onWorkerFolder;

    QPointer<CPictureStatic> m_picture;
    QPointer<QLabel> m_animate;
    QPointer<QLabel> m_stcBytes;
    QPointer<QLabel> m_stcFiles;
    QPointer<QPushButton> m_btnCancel;
    QPointer<QLabel> m_stcFolder;

    // The worker's procedure.
    friend void UnattendedSearchThread(CStatusDlg* dlg);

private:
    enum class State { Searching, Cancelling, Disposing };

    void OnSearchDone();
    void OnStopSignal();
    void WaitForWorker();
    // Ends the search and waits for the worker; false when no search is under way (a
    // disposal or a stop already began).
    bool StopSearch();

    // Read by the worker and by the disposal; never changed while the window is open.
    const ScheduledSwitches m_switches;
    State m_state = State::Searching;
    QMovie* m_movie = nullptr;
    QPointer<QSocketNotifier> m_stopNotifier; // goes with the window
    bool m_bDisposed = false; // the disposal ran; m_disposal says how it went
    UnattendedOutcome m_disposal;
    QDialog* m_pWindow = nullptr; // the window while the worker runs; read by the worker
    std::thread m_searchThread;
    std::mutex m_mutex;
    std::condition_variable m_workerEnded;
    bool m_bWorkerEnded = false;
};
