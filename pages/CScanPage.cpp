// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CScanPage.h"

#include "controls/CResultsListSink.h"
#include "controls/ListViewHelpers.h"
#include "controls/WholeTextTips.h"
#include "dispose/CleaningLog.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "framework/WinTypes.h"
#include "profiles/CProfileList.h"
#include "res/ResourceInit.h"
#include "res/resource.h"
#include "ui_dlg133_scan.h"

#include <QtGui/QMovie>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeWidget>

CScanPage::CScanPage() : CPropertyPage(IDD_SCAN, FromForm<Ui::Dlg133Scan>()) {
    InitFernwickResources();
}

void CScanPage::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_SCAN_PROCESSING, m_stcProcessing);
    DDX_Control(pDX, IDC_SCAN_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_SCAN_RESULTS, m_listResults);
    DDX_Control(pDX, IDC_ANIMATE, m_animate);
    DDX_Control(pDX, IDC_SCAN_OPEN, m_btnOpen);
    DDX_Control(pDX, IDC_SCAN_STATUS, m_stcStatus);
    DDX_Control(pDX, IDC_SCAN_STOP, m_btnStop);
    DDX_Control(pDX, IDC_SCAN_START, m_btnStart);
}

bool CScanPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    if (m_animate) {
        m_movie = new QMovie(QStringLiteral(":/art/avi_video.gif"), QByteArray(), m_animate);
        m_animate->setMovie(m_movie);
        m_movie->jumpToFrame(0);
    }
    UpdateWizardButtons();
    if (m_listResults) {
        m_listResults->Setup(false);
        m_listResults->Model().SetStore(&m_found);
        QObject::connect(m_listResults->selectionModel(), &QItemSelectionModel::selectionChanged,
                         m_listResults, [this] { OnListSelectionChanged(); });
        QObject::connect(m_listResults, &QAbstractItemView::doubleClicked, m_listResults,
                         [this] { OnOpenFile(); });
    }
    OnClicked(IDC_SCAN_START, &CScanPage::OnStartScanning);
    OnClicked(IDC_SCAN_STOP, &CScanPage::OnStopScanning);
    OnClicked(IDC_SCAN_OPEN, &CScanPage::OnOpenFile);
    m_searchEvent.Reset();
    return true;
}

bool CScanPage::OnSetActive() {
    if (m_stcProcessing)
        m_stcProcessing->hide();
    // The bar belongs to the selection page's copying, which left it full.
    if (m_progress)
        m_progress->setValue(0);
    UpdateWizardButtons();
    return CPropertyPage::OnSetActive();
}

void CScanPage::UpdateWizardButtons() {
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(m_listResults && m_listResults->RowCount() > 0
                                    ? PSWIZB_BACK | PSWIZB_NEXT
                                    : PSWIZB_BACK);
}

bool CScanPage::AnyCheckedScansAllFolders() const {
    for (const CProfile& p : g_profiles)
        if (p.ScansAllFolders() && IsChecked(p))
            return true;
    return false;
}

void CScanPage::OnStartScanning() {
    if (m_bScanning || !m_listResults)
        return;
    m_bScanning = true;
    WriteLog("Starting disk scan");
    m_searchEvent.Reset();
    if (m_btnStop)
        m_btnStop->setEnabled(true);
    if (m_btnStart)
        m_btnStart->setEnabled(false);
    m_listResults->Model().ClearRows();
    m_found.Clear();
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(0);
    if (m_movie)
        m_movie->start();

    ScanRequest request;
    request.isSelected = [this](const CProfile& p) { return IsChecked(p); };
    request.drivePass = AnyCheckedScansAllFolders();
    if (request.drivePass && m_checkedDrives)
        request.drives = m_checkedDrives();
    request.log = WriteLog;
    CResultsListSink sink(m_listResults, &m_found, m_stcStatus, m_sinkTiming);
    RunScanPlan(g_profiles, request, m_searchEvent, sink);
    sink.Flush();

    m_bScanning = false;
    OnStopScanning();
}

void CScanPage::OnStopScanning() {
    if (m_btnStop)
        m_btnStop->setEnabled(false);
    if (m_btnStart)
        m_btnStart->setEnabled(true);
    m_searchEvent.Set();
    UpdateWizardButtons();
    WriteLog("Scan stopped");
    if (m_movie) {
        m_movie->stop();
        m_movie->jumpToFrame(0);
    }
    // Through the elider too, so the last folder's tooltip goes with it.
    SetElidedText(m_stcStatus, m_listResults && m_listResults->RowCount() > 0
                                   ? QStringLiteral("Done.  Press <Next> to continue...")
                                   : QStringLiteral("No files were found."));
}

void CScanPage::OnListSelectionChanged() {
    if (m_btnOpen && m_listResults)
        m_btnOpen->setEnabled(m_listResults->FirstSelectedRow() >= 0);
}

void CScanPage::OnOpenFile() {
    CWaitCursor wait;
    const int row = m_listResults ? m_listResults->FirstSelectedRow() : -1;
    if (row < 0)
        return;
    // The path's own bytes: a name need not be valid UTF-8.
    const std::string path(m_found.Path(m_listResults->Model().FileOf(row)));
    // A file no program is associated with is shown as text instead.
    if (TheUi().ShellOpen(GetSafeHwnd(), path) <= 32)
        TheUi().OpenAsText(GetSafeHwnd(), path);
}

int CScanPage::OnWizardBack() {
    if (AnyCheckedScansAllFolders() || !m_pStartPage)
        return 0;
    GetSheet()->SetActivePage(m_pStartPage);
    return -1;
}

bool CScanPage::OnQueryCancel() {
    // Leaving the wizard ends a scan still running.
    m_searchEvent.Set();
    return true;
}
