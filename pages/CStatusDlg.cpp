// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CStatusDlg.h"

#include "controls/PictureLink.h"
#include "controls/WholeTextTips.h"
#include "dispose/CleaningLog.h"
#include "framework/CDataExchange.h"
#include "framework/DriveLetterStore.h"
#include "framework/Pump.h"
#include "framework/WinTypes.h"
#include "platform/StopSignal.h"
#include "profiles/CProfileList.h"
#include "res/ResourceInit.h"
#include "res/resource.h"
#include "scan/ScanPlan.h"
#include "ui_dlg160_status.h"

#include <QtCore/QMetaObject>
#include <QtCore/QSocketNotifier>
#include <QtGui/QMovie>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <chrono>
#include <utility>

namespace {

// The worker's sink: collects the found files and shows the walk in the window. Window texts
// are changed on the window's own thread; the folder and the counters shown are refreshed a
// few times a second, not for every folder, so a fast walk does not flood the window.
class CStatusSink : public CScanSink {
public:
    explicit CStatusSink(CStatusDlg* dlg) : m_dlg(dlg) {}
    void OnFolder(const std::string& folder) override {
        if (m_dlg->m_onWorkerFolder)
            m_dlg->m_onWorkerFolder(folder);
        // The window sets the stop as soon as a signal wakes it; this holds even when it cannot.
        if (StopSignalReceived())
            m_dlg->m_searchEvent.Set();
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < std::chrono::milliseconds(100))
            return;
        m_last = now;
        m_dlg->ShowProgress(folder);
    }
    void OnFileTaken(const FoundFile& file) override { m_dlg->m_found.OnFileTaken(file); }

private:
    CStatusDlg* m_dlg;
    std::chrono::steady_clock::time_point m_last{};
};

} // namespace

CStatusDlg::CStatusDlg(ScheduledSwitches switches, QWidget* parent)
    : CDialog(IDD_STATUS, FromForm<Ui::Dlg160Status>(), parent), m_switches(std::move(switches)) {
    InitFernwickResources();
}

CStatusDlg::~CStatusDlg() {
    // The window may go away before the worker noticed a stop: never leave it running.
    m_searchEvent.Set();
    if (m_searchThread.joinable())
        m_searchThread.join();
}

void CStatusDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_PICTURE_LINK, m_picture);
    DDX_Control(pDX, IDC_ANIMATE, m_animate);
    DDX_Control(pDX, IDC_STATUS_BYTES, m_stcBytes);
    DDX_Control(pDX, IDC_STATUS_FILES, m_stcFiles);
    DDX_Control(pDX, IDC_CANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_STATUS_FOLDER, m_stcFolder);
}

bool CStatusDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Our own stop signal starts clear: no other running instance can end this search.
    m_searchEvent.Reset();
    m_state = State::Searching;
    m_bWorkerEnded = false;
    m_bDisposed = false;
    m_pWindow = GetDialog();
    // A stop signal wakes the window at once, also one that came before the window was made:
    // its byte waits in the pipe.
    m_stopNotifier = nullptr;
    if (StopSignalFd() >= 0) {
        m_stopNotifier = new QSocketNotifier(StopSignalFd(), QSocketNotifier::Read, m_pWindow);
        QObject::connect(m_stopNotifier, &QSocketNotifier::activated, m_pWindow,
                         [this] { OnStopSignal(); });
    }
    m_searchThread = std::thread(UnattendedSearchThread, this);

    if (m_animate) {
        m_movie = new QMovie(QStringLiteral(":/art/avi_video.gif"), QByteArray(), m_animate);
        m_animate->setMovie(m_movie);
        m_movie->start();
    }
    if (m_picture) {
        m_picture->LoadBitmap(IDB_STATUS);
        MakePictureLink(m_picture);
    }
    return true;
}

void CStatusDlg::ShowProgress(const std::string& folder) {
    // Called on the worker: the counts are read here, the texts set on the window's thread.
    const std::size_t files = m_found.Count();
    const std::uint64_t bytes = m_found.TotalBytes();
    QMetaObject::invokeMethod(
        m_pWindow,
        [this, files, bytes, text = QString::fromStdString(folder)] {
            if (!text.isEmpty())
                SetElidedText(m_stcFolder, text);
            if (m_stcFiles)
                m_stcFiles->setText(QStringLiteral("%1 Files Found").arg(files));
            if (m_stcBytes)
                m_stcBytes->setText(QStringLiteral("%1 Bytes Found").arg(bytes));
        },
        Qt::QueuedConnection);
}

void UnattendedSearchThread(CStatusDlg* dlg) {
    CDriveLetterStore store;
    ScanRequest request = BuildScheduledScan(g_profiles, dlg->m_switches, store, [](char letter) {
                              WriteLog(std::string("Drive ") + letter +
                                       ": is not there; it was not scanned.");
                          }).request;
    request.stopEndsPlan = true;
    request.log = WriteLog;

    CStatusSink sink(dlg);
    const bool completed = RunScanPlan(g_profiles, request, dlg->m_searchEvent, sink);
    dlg->ShowProgress({});
    if (completed && !dlg->m_searchEvent.IsSet())
        QMetaObject::invokeMethod(dlg->m_pWindow, [dlg] { dlg->OnSearchDone(); },
                                  Qt::QueuedConnection);
    else if (StopSignalReceived()) // the window may not have heard of it (no notifier)
        QMetaObject::invokeMethod(dlg->m_pWindow, [dlg] { dlg->OnStopSignal(); },
                                  Qt::QueuedConnection);
    {
        std::lock_guard lock(dlg->m_mutex);
        dlg->m_bWorkerEnded = true;
    }
    dlg->m_workerEnded.notify_all();
}

void CStatusDlg::OnSearchDone() {
    if (m_state != State::Searching)
        return;
    m_state = State::Disposing;
    WaitForWorker();
    SetElidedText(m_stcFolder, QStringLiteral("Done"));
    if (m_movie) {
        m_movie->stop();
        m_movie->jumpToFrame(0);
    }
    DisposeFoundFiles();
    EndDialog(IDOK);
}

void CStatusDlg::OnStopSignal() {
    // The pipe stays readable: one wake-up is all this window needs.
    if (m_stopNotifier)
        m_stopNotifier->setEnabled(false);
    // The disposal asks for the signal itself between files; a cancel under way ends anyway.
    if (!StopSearch())
        return;
    WriteLog(std::string("The run was stopped by ") + StopSignalName(StopSignalNumber()) +
             " while searching; none of the " + std::to_string(m_found.Count()) +
             " files found so far was touched.");
    CDialog::OnCancel();
}

void CStatusDlg::WaitForWorker() {
    // Keep the window alive while waiting: the worker's last texts are queued to it.
    for (;;) {
        std::unique_lock lock(m_mutex);
        if (m_workerEnded.wait_for(lock, std::chrono::milliseconds(50),
                                   [this] { return m_bWorkerEnded; }))
            break;
        lock.unlock();
        PumpPendingMessages();
    }
    if (m_searchThread.joinable())
        m_searchThread.join();
}

bool CStatusDlg::StopSearch() {
    if (m_state != State::Searching)
        return false;
    m_state = State::Cancelling;
    if (m_btnCancel)
        m_btnCancel->setEnabled(false);
    m_searchEvent.Set();
    WaitForWorker();
    return true;
}

void CStatusDlg::OnCancel() {
    // A disposal under way runs to its end; so does a cancel already under way.
    if (!StopSearch())
        return;
    WriteLog("The run was cancelled while searching; no file was touched.");
    CDialog::OnCancel();
}
