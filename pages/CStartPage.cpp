#include "pages/CStartPage.h"

#include "app/Registry.h"
#include "app/ShellHelpers.h"
#include "controls/CAboutDlg.h"
#include "controls/ListViewHelpers.h"
#include "dispose/CleaningLog.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "framework/WinTypes.h"
#include "pages/LiveUpdate.h"
#include "profiles/CProfileList.h"
#include "res/ResourceInit.h"
#include "res/resource.h"
#include "ui_dlg129_start.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStyle>
#include <QtWidgets/QTreeWidget>
#include <algorithm>

namespace {

const char* const kInstruction =
    "Check the file patterns you want to clean off your drive(s) and click <Next>.";
const char* const kNotYetProfiles =
    "Adding and editing profiles is not available in this version yet.";
const char* const kNotYetSchedule = "Scheduling a cleaning is not available in this version yet.";

} // namespace

CStartPage::CStartPage()
    : CPropertyPage(IDD_START, FromForm<Ui::Dlg129Start>()), m_checkForUpdate(CheckForUpdate) {
    InitFernwickResources();
}

void CStartPage::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_START_NOTE, m_stcNote);
    DDX_Control(pDX, IDC_PICTURE, m_picture);
    DDX_Control(pDX, IDC_START_PROFILES, m_lstProfiles);
    DDX_Control(pDX, IDC_VIEWLOG, m_btnViewLog);
}

bool CStartPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();

    SetupReportList(m_lstProfiles, true);
    AddColumn(m_lstProfiles, 0, QStringLiteral("Files to Clean"));
    m_imageList = {QIcon(QStringLiteral(":/art/icon146.png")),
                   QIcon(QStringLiteral(":/art/icon147.png"))};
    SetImageList(m_lstProfiles, m_imageList);
    // Every profile starts checked: the user unchecks what is not wanted this time.
    int row = 0;
    for (const CProfile& profile : g_profiles)
        InsertRow(m_lstProfiles, row++, {QString::fromStdString(profile.m_strName)},
                  m_nCheckedImage);
    FitColumns(m_lstProfiles, true);
    if (m_lstProfiles) {
        // The measured widths leave out the check box; and a column across the whole list
        // looks tidier than a short one.
        QTreeWidget* list = m_lstProfiles;
        const int inside = list->width() - 2 * list->frameWidth() -
                           list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        list->setColumnWidth(0,
                             std::max(list->columnWidth(0) + list->iconSize().width() + 8, inside));
        // Only the mouse toggles a check mark; the keys just move the selection.
        QObject::connect(m_lstProfiles, &QTreeWidget::itemClicked, m_lstProfiles,
                         [this] { OnListClicked(); });
        QObject::connect(m_lstProfiles, &QTreeWidget::itemDoubleClicked, m_lstProfiles,
                         [this] { OnEdit(); });
    }

    if (m_picture)
        m_picture->LoadBitmap(IDB_START);

    std::uint32_t firstRun = 0;
    RegReadDword(kRegFirstRun, firstRun, 0);
    if (firstRun != 0) {
        if (m_stcNote)
            m_stcNote->setText(QString::fromUtf8(kInstruction));
    } else {
        // The examples note is for the very first start only.
        RegWriteDword(kRegFirstRun, 1);
    }

    OnClicked(IDC_START_ADD, &CStartPage::OnAdd);
    OnClicked(IDC_START_EDIT, &CStartPage::OnEdit);
    OnClicked(IDC_START_DELETE, &CStartPage::OnDelete);
    OnClicked(IDC_START_SCHEDULE, &CStartPage::OnSchedule);
    OnClicked(IDC_VIEWLOG, &CStartPage::OnViewLog);
    OnClicked(IDC_START_LIVEUPDATE, &CStartPage::OnLiveUpdate);
    OnClicked(IDC_START_ABOUT, &CStartPage::OnAbout);
    return true;
}

bool CStartPage::OnSetActive() {
    CPropertyPage::OnSetActive();
    if (m_btnViewLog)
        m_btnViewLog->setEnabled(LogExists());
    // Even an empty list may go on; only the user's own clicks can take Next away.
    GetSheet()->SetWizardButtons(PSWIZB_NEXT);
    return true;
}

void CStartPage::UpdateWizardButtons() {
    bool anyChecked = false;
    for (int row = 0, rows = m_lstProfiles ? m_lstProfiles->topLevelItemCount() : 0; row < rows;
         ++row)
        if (GetItemImage(m_lstProfiles, row) == m_nCheckedImage) {
            anyChecked = true;
            break;
        }
    GetSheet()->SetWizardButtons(anyChecked ? PSWIZB_NEXT : 0);
}

void CStartPage::OnListClicked() {
    const int row = GetFirstSelectedItem(m_lstProfiles);
    if (row < 0)
        return;
    const bool checked = GetItemImage(m_lstProfiles, row) == m_nCheckedImage;
    SetItemImage(m_lstProfiles, row, checked ? m_nUncheckedImage : m_nCheckedImage);
    UpdateWizardButtons();
}

bool CStartPage::IsProfileChecked(const CProfile& profile) const {
    if (!GetSafeHwnd() || !m_lstProfiles)
        return false;
    const int row = FindItemByText(m_lstProfiles, QString::fromStdString(profile.m_strName));
    return row >= 0 && GetItemImage(m_lstProfiles, row) == m_nCheckedImage;
}

bool CStartPage::AnyCheckedScansAllFolders() const {
    for (const CProfile& profile : g_profiles)
        if (profile.m_nScanScope == SCOPE_ALL_FOLDERS && IsProfileChecked(profile))
            return true;
    return false;
}

int CStartPage::OnWizardNext() {
    // The log tells of this run only.
    DeleteLog();
    if (!VerifyScanFolders())
        return -1;
    if (AnyCheckedScansAllFolders())
        return 0;
    CPropertySheet* sheet = GetSheet();
    CPropertyPage* scan =
        m_pNextAfterDrives ? m_pNextAfterDrives : sheet->GetPage(sheet->GetPageIndex(this) + 2);
    if (!scan)
        return 0;
    sheet->SetActivePage(scan);
    return -1;
}

void CStartPage::OnAdd() {
    MessageBox(GetSafeHwnd(), kNotYetProfiles, kAppTitle, MB_OK | MB_ICONINFORMATION);
}

void CStartPage::OnEdit() {
    if (GetFirstSelectedItem(m_lstProfiles) < 0) {
        MessageBox(GetSafeHwnd(), "Please select a Profile to edit", kAppTitle,
                   MB_OK | MB_ICONSTOP);
        return;
    }
    MessageBox(GetSafeHwnd(), kNotYetProfiles, kAppTitle, MB_OK | MB_ICONINFORMATION);
}

void CStartPage::OnDelete() {
    const int row = GetFirstSelectedItem(m_lstProfiles);
    if (row < 0) {
        MessageBox(GetSafeHwnd(), "Please select a Profile to delete", kAppTitle,
                   MB_OK | MB_ICONSTOP);
        return;
    }
    const std::string name = m_lstProfiles->topLevelItem(row)->text(0).toStdString();
    // No is the default: a stray Enter must not delete a profile.
    if (MessageBox(GetSafeHwnd(), "Are you sure you want to delete " + name + "?", kAppTitle,
                   MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    CWaitCursor wait;
    if (CProfile* profile = g_profiles.FindByName(name)) {
        g_profiles.Remove(profile);
        g_profiles.Save();
        delete m_lstProfiles->takeTopLevelItem(row);
    }
}

void CStartPage::OnSchedule() {
    MessageBox(GetSafeHwnd(), kNotYetSchedule, kAppTitle, MB_OK | MB_ICONINFORMATION);
}

void CStartPage::OnViewLog() {
    ViewLog(GetSafeHwnd());
}

void CStartPage::OnLiveUpdate() {
    if (m_checkForUpdate && m_checkForUpdate(GetSafeHwnd(), kAppTitle, FERNWICK_VERSION_TEXT))
        GetSheet()->EndDialog(IDCANCEL); // the user is off to install the new version
}

void CStartPage::OnAbout() {
    CAboutDlg dlg(GetSafeHwnd());
    dlg.DoModal();
}
