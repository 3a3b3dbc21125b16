// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CDeletePage.h"

#include "controls/CResultsListSink.h"
#include "controls/ListViewHelpers.h"
#include "dispose/CDisposer.h"
#include "dispose/CleaningLog.h"
#include "dispose/DisposalMethod.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/Pump.h"
#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "framework/WinTypes.h"
#include "pages/CScanPage.h"
#include "pages/DestinationDialogs.h"
#include "res/resource.h"
#include "ui_dlg134_delete.h"

#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtCore/QItemSelectionModel>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {

const char* const kTotalLabel = "Total disk space occupied by selected files";

const char* ActionCaption(int method) {
    switch (method) {
    case METHOD_DELETE:
        return "&Delete";
    case METHOD_ZIP:
        return "&Zip";
    case METHOD_MOVE:
        return "&Move";
    case METHOD_RECYCLE:
        return "&Recycle";
    default:
        return "&Permanently Delete";
    }
}

} // namespace

CDeletePage::CDeletePage() : CPropertyPage(IDD_DELETE, FromForm<Ui::Dlg134Delete>()) {}

void CDeletePage::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_DELETE_FILES, m_listFiles);
    DDX_Control(pDX, IDC_DELETE_DESELECT_ALL, m_btnDeselectAll);
    DDX_Control(pDX, IDC_DELETE_SELECT_ALL, m_btnSelectAll);
    DDX_Control(pDX, IDC_DELETE_TOTAL_LABEL, m_stcTotalLabel);
    DDX_Control(pDX, IDC_DELETE_TOTAL, m_stcTotal);
    DDX_Control(pDX, IDC_DELETE_DISPOSE, m_btnDispose);
}

bool CDeletePage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_methods.Attach(this, [this](int method) { OnMethod(method); });
    m_methods.Select(METHOD_DELETE);
    OnClicked(IDC_DELETE_SELECT_ALL, &CDeletePage::OnSelectAll);
    OnClicked(IDC_DELETE_DESELECT_ALL, &CDeletePage::OnDeselectAll);
    OnClicked(IDC_DELETE_DISPOSE, &CDeletePage::OnDispose);
    if (m_listFiles) {
        m_listFiles->Setup(true);
        // The total follows the selection as it is after a click or a key press.
        QObject::connect(m_listFiles->selectionModel(), &QItemSelectionModel::selectionChanged,
                         m_listFiles, [this] { UpdateSelectedTotal(); });
        m_listFiles->header()->setSectionsClickable(true);
        QObject::connect(m_listFiles->header(), &QHeaderView::sectionClicked, m_listFiles,
                         [this](int column) { SortByColumn(column); });
    }
    return true;
}

void CDeletePage::OnMethod(int method) {
    m_nMethod = method;
    if (m_btnDispose)
        m_btnDispose->setText(QString::fromUtf8(ActionCaption(method)));
}

bool CDeletePage::OnSetActive() {
    CWaitCursor wait;
    CFoundFilesView* results = m_pScanPage ? m_pScanPage->m_listResults.data() : nullptr;
    QProgressBar* progress = m_pScanPage ? m_pScanPage->m_progress.data() : nullptr;
    if (m_pScanPage && m_pScanPage->m_stcProcessing)
        m_pScanPage->m_stcProcessing->show();
    if (progress) {
        progress->setRange(0, 100);
        progress->setValue(0);
    }
    // The copy takes no time the user would see, but the scan page says what is going on
    // for as long as it does.
    PumpPendingMessages();
    if (m_listFiles) {
        // The same files as the scan page, in its order, with a selection of their own: four
        // bytes a row, not a second copy of the rows.
        const QSignalBlocker block(m_listFiles->selectionModel());
        if (results) {
            m_listFiles->Model().ShowRowsOf(results->Model());
            for (int c = 0; c < m_listFiles->Model().columnCount(); ++c)
                m_listFiles->setColumnWidth(c, results->columnWidth(c));
        } else {
            m_listFiles->Model().ClearRows();
        }
    }
    if (progress)
        progress->setValue(100);
    UpdateSelectedTotal();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return CPropertyPage::OnSetActive();
}

void CDeletePage::UpdateSelectedTotal() {
    if (m_bBusy || !m_listFiles)
        return;
    const std::vector<int> selected = m_listFiles->SelectedRows();
    if (selected.empty()) {
        if (m_stcTotal)
            m_stcTotal->setText(QStringLiteral("0 Bytes"));
        if (m_btnDispose)
            m_btnDispose->setEnabled(false);
        return;
    }
    const CFoundFilesModel& model = m_listFiles->Model();
    std::uint64_t total = 0;
    for (int row : selected)
        total += model.Store()->Size(model.FileOf(row));
    if (m_stcTotal)
        m_stcTotal->setText(QString::fromStdString(GroupThousands(total) + " bytes"));
    if (m_btnDispose)
        m_btnDispose->setEnabled(true);
}

void CDeletePage::OnSelectAll() {
    CWaitCursor wait;
    if (m_listFiles)
        m_listFiles->selectAll();
    UpdateSelectedTotal();
}

void CDeletePage::OnDeselectAll() {
    CWaitCursor wait;
    if (m_listFiles)
        m_listFiles->clearSelection();
    UpdateSelectedTotal();
}

void CDeletePage::SortByColumn(int column) {
    CWaitCursor wait;
    // Always ascending, also on a second click of the same header.
    m_listFiles->Model().SortByColumn(column);
}

void CDeletePage::SetBusy(bool busy) {
    m_bBusy = busy;
    for (QWidget* w : {static_cast<QWidget*>(m_btnSelectAll), static_cast<QWidget*>(m_btnDeselectAll),
                       static_cast<QWidget*>(m_btnDispose)})
        if (w)
            w->setEnabled(!busy);
    GetSheet()->SetWizardButtons(busy ? 0 : PSWIZB_BACK | PSWIZB_FINISH);
    if (m_listFiles)
        m_listFiles->setEnabled(!busy);
    m_methods.SetEnabled(!busy);
    if (m_stcTotalLabel)
        m_stcTotalLabel->setText(busy ? QStringLiteral("Status") : QString::fromUtf8(kTotalLabel));
    if (!busy)
        UpdateSelectedTotal();
}

void CDeletePage::OnDispose() {
    if (m_bBusy || !m_listFiles)
        return;
    const std::string verb = MethodVerb(m_nMethod);
    if (MessageBox(GetSafeHwnd(),
                   "The files you selected will be " + verb + ".  Are you sure you want to do this?",
                   "Fern Wick", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;

    CWaitCursor wait;
    SetBusy(true);
    m_lstInUse.clear();
    const std::vector<int> selected = m_listFiles->SelectedRows();
    std::string destination;
    if (m_nMethod == METHOD_ZIP)
        destination = AskZipFileName(GetSafeHwnd());
    else if (m_nMethod == METHOD_MOVE)
        destination = BrowseForMoveFolder(GetSafeHwnd());
    if (selected.empty() || (MethodNeedsDestination(m_nMethod) && destination.empty())) {
        SetBusy(false);
        return;
    }
    m_bDisposed = true;
    m_bCancelRun = false;

    CDisposer disposer(m_nMethod, destination, WriteLog);
    // The store stays as found while the run goes on; rows are taken out only afterwards.
    const CFoundStore* store = m_listFiles->Model().Store();
    std::vector<std::size_t> files;
    files.reserve(selected.size());
    for (int row : selected)
        files.push_back(m_listFiles->Model().FileOf(row));
    const int n = static_cast<int>(selected.size());
    std::unordered_map<std::string, CDisposer::Result> results;
    int handled = 0;
    for (int i = 0; i < n; ++i) {
        PumpPendingMessages();
        if (m_bCancelRun || !m_listFiles || !store)
            break;
        const std::size_t file = files[static_cast<size_t>(i)];
        const std::string path(store->Path(file));
        const CDisposer::Result r = disposer.Handle(path, store->Seen(file));
        results[path] = r;
        if (r == CDisposer::Result::InUse)
            m_lstInUse.push_back(path);
        ++handled;
        if (m_stcTotal)
            m_stcTotal->setText(QStringLiteral("%1 of %2 files %3")
                                    .arg(i + 1)
                                    .arg(n)
                                    .arg(QString::fromStdString(verb)));
    }
    // Cancel also stops an archive being written, which for gigabytes takes minutes.
    const auto cancelled = [this] {
        PumpPendingMessages();
        return m_bCancelRun;
    };
    for (const std::string& path : disposer.Finish(cancelled))
        results[path] = CDisposer::Result::Failed;

    // Only rows whose file is gone from its place leave the list; files in use, files that
    // could not be disposed of and files not reached stay, still selected.
    if (m_listFiles && store) {
        std::vector<int> gone;
        for (int i = 0; i < n; ++i) {
            auto it = results.find(std::string(store->Path(files[static_cast<size_t>(i)])));
            if (it != results.end() &&
                (it->second == CDisposer::Result::Disposed || it->second == CDisposer::Result::Pending))
                gone.push_back(selected[static_cast<size_t>(i)]);
        }
        m_listFiles->Model().RemoveRows(std::move(gone));
    }

    std::string report = GroupThousands(disposer.m_cleanedBytes) + " bytes in " +
                         std::to_string(disposer.m_nCleanedFiles) + " files were " + verb +
                         " by Fernwick.";
    if (disposer.m_nInUseFiles != 0)
        report += "\n\n" + GroupThousands(disposer.m_inUseBytes) + " bytes in " +
                  std::to_string(disposer.m_nInUseFiles) +
                  " files were not cleaned because they were in use by other programs.";
    if (disposer.m_nFailedFiles != 0)
        report += "\n\n" + GroupThousands(disposer.m_failedBytes) + " bytes in " +
                  std::to_string(disposer.m_nFailedFiles) + " files could not be " + verb + ".";
    if (handled < n)
        report += "\n\nThe run was cancelled after " + std::to_string(handled) + " of " +
                  std::to_string(n) + " files; the others were not touched.";
    else if (disposer.Stopped())
        report += "\n\nThe run was cancelled while the archive was written; the files waiting "
                  "for it were not touched.";
    SetBusy(false);
    MessageBox(GetSafeHwnd(), report, "Fern Wick", MB_OK);
    // A log entry is one line: each paragraph of the report is an entry of its own.
    for (size_t start = 0, end; start < report.size(); start = end + 2) {
        end = std::min(report.find("\n\n", start), report.size());
        WriteLog(report.substr(start, end - start));
    }
}

bool CDeletePage::OnQueryCancel() {
    // Cancel during a run stops it between two files; the wizard stays for its report.
    if (m_bBusy) {
        m_bCancelRun = true;
        return false;
    }
    return true;
}

bool CDeletePage::OnWizardFinish() {
    if (m_bDisposed)
        return true;
    return MessageBox(GetSafeHwnd(), "You did not delete anything.  Are you sure you want to quit?",
                      "Fern Wick", MB_YESNO | MB_ICONQUESTION) == IDYES;
}
