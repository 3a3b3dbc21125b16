// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CStartPage.h"
#include "schedule/ScheduledRun.h"
#include "pages/ProfileChecks.h"

#include "pages/CWizardApp.h"
#include "pages/ViewLog.h"
#include "schedule/ScheduledCleanings.h"
#include "framework/Registry.h"
#include "framework/ShellHelpers.h"
#include "controls/CAboutDlg.h"
#include "controls/ListViewHelpers.h"
#include "dispose/CleaningLog.h"
#include "dispose/DisposalMethod.h"
#include "framework/CDataExchange.h"
#include "framework/CPropertySheet.h"
#include "framework/UiSeam.h"
#include "framework/WaitCursor.h"
#include "framework/WinTypes.h"
#include "pages/CDrivesPage.h"
#include "pages/CSchedDeletePage.h"
#include "pages/CSchedSetupPage.h"
#include "pages/CScheduleWhenDlg.h"
#include "pages/CSchedulesDlg.h"
#include "pages/LiveUpdate.h"
#include "platform/ProgramDir.h"
#include "profiles/CProfileList.h"
#include "profiles/ProfileEntries.h"
#include "res/ResourceInit.h"
#include "schedule/CronDaemon.h"
#include "res/resource.h"
#include "ui_dlg129_start.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStyle>
#include <QtWidgets/QTreeWidget>
#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

const char* const kInstruction =
    "Check the file patterns you want to clean off your drive(s) and click <Next>.";
const char* const kNeedScheduler =
    "In order to schedule a Fernwick cleaning, you will need Tasklane from Quenby Works.  "
    "Tasklane is a FREE program from Quenby Works.  You can download it from our web site.  "
    "Would you like to go to the Quenby Works web site now?";
const char* const kScheduled =
    "Your Fernwick event has been scheduled. It will run completely unattended.  Please make "
    "sure you do NOT close Tasklane, which controls the event";
const char* const kNoCronDaemon =
    "The cron daemon is not running, so the cleaning will not start at its time.  Start it "
    "with:\n\nsudo systemctl enable --now cron";
const char* const kScheduleFailed = "Internal application error.";
const std::string kCatchUpNotSet =
    "The cleaning is scheduled, but a cleaning missed while the computer is off cannot be "
    "caught up at the next login: ";
const char* const kEventName = kScheduleEventName;

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

    m_checks.Attach(m_lstProfiles, true, [this] { UpdateWizardButtons(); });
    AddColumn(m_lstProfiles, 0, QStringLiteral("Files to Clean"));
    // Every profile starts checked: the user unchecks what is not wanted this time.
    RebuildRows({}, -1);
    if (m_lstProfiles)
        QObject::connect(m_lstProfiles, &QTreeWidget::itemDoubleClicked, m_lstProfiles,
                         [this] { OnEdit(); });

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
    GetSheet()->SetWizardButtons(m_checks.AnyChecked() ? PSWIZB_NEXT : 0);
}

void CStartPage::FitProfileColumn() {
    QTreeWidget* list = m_lstProfiles;
    if (!list)
        return;
    // Measured afresh: fitting only ever widens a column, and the width set below would
    // otherwise grow by the check box's room with every rebuild of the rows.
    list->setColumnWidth(0, 0);
    FitColumns(list, true);
    // The measured widths leave out the check box; and a column across the whole list looks
    // tidier than a short one.
    const int inside = list->width() - 2 * list->frameWidth() -
                       list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->setColumnWidth(0, std::max(list->columnWidth(0) + list->iconSize().width() + 8, inside));
}

void CStartPage::RebuildRows(const std::vector<bool>& checks, int selectRow) {
    QTreeWidget* list = m_lstProfiles;
    if (!list)
        return;
    list->clear();
    size_t i = 0;
    for (const CProfile& profile : g_profiles) {
        m_checks.InsertRow(static_cast<int>(i), {QString::fromStdString(profile.m_strName)},
                           i >= checks.size() || checks[i]);
        ++i;
    }
    FitProfileColumn();
    if (selectRow >= 0 && selectRow < list->topLevelItemCount()) {
        SelectItem(list, selectRow);
        list->setCurrentItem(list->topLevelItem(selectRow));
        list->scrollToItem(list->topLevelItem(selectRow));
    }
}

namespace {

// Where the profile stands in the store; -1 when it is not there.
int StoreIndex(const CProfile* profile) {
    int i = 0;
    for (const CProfile& p : g_profiles) {
        if (&p == profile)
            return i;
        ++i;
    }
    return -1;
}

} // namespace

void CStartPage::SaveProfiles() {
    FsError failed;
    {
        CWaitCursor wait;
        failed = g_profiles.Save();
    }
    if (failed)
        MessageBox(GetSafeHwnd(), ProfilesNotSavedText(failed), kAppTitle,
                   MB_OK | MB_ICONEXCLAMATION);
}

bool CStartPage::IsProfileChecked(const CProfile& profile) const {
    return GetSafeHwnd() && ::IsProfileChecked(m_checks, profile);
}

bool CStartPage::AnyCheckedScansAllFolders() const {
    return GetSafeHwnd() && ::AnyCheckedScansAllFolders(m_checks, g_profiles);
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

bool CStartPage::RunProfileSheet(int mode, CProfile* editProfile) {
    CPropertySheet sheet("Profile", GetSafeHwnd());
    // The pages find each other, and what they edit, through the application object.
    g_nProfileMode = mode;
    g_pEditProfile = editProfile;
    WizardApp().m_pNewProfilePage = &m_pageNewProfile;
    WizardApp().m_pFolders2ScanPage = &m_pageFolders2Scan;
    WizardApp().m_pPatternsPage = &m_pagePatterns;
    WizardApp().m_pFilePropsPage = &m_pageFileProps;
    sheet.AddPage(&m_pageNewProfile);
    sheet.AddPage(&m_pageFolders2Scan);
    sheet.AddPage(&m_pagePatterns);
    sheet.AddPage(&m_pageFileProps);
    sheet.SetWizardMode();
    const bool finished = sheet.DoModal() == ID_WIZFINISH;
    WizardApp().m_pNewProfilePage = nullptr;
    WizardApp().m_pFolders2ScanPage = nullptr;
    WizardApp().m_pPatternsPage = nullptr;
    WizardApp().m_pFilePropsPage = nullptr;
    // The profile may be deleted later: nothing must point at it then.
    g_pEditProfile = nullptr;
    return finished;
}

void CStartPage::SaveProfileFromPages(CProfile& profile) const {
    ProfileSheetValues values;
    values.name = m_pageNewProfile.m_strName;
    values.scanScope = m_pageNewProfile.m_nScanScope;
    values.scanFolders = m_pageFolders2Scan.m_lstScanFolders;
    values.folderNames = m_pagePatterns.m_lstFolders;
    values.patterns = m_pagePatterns.m_lstPatterns;
    values.useLimits = m_pageFileProps.m_bUseLimits;
    values.minSize = m_pageFileProps.m_nMinSize;
    values.maxSize = m_pageFileProps.m_nMaxSize;
    values.olderThan = {m_pageFileProps.m_nMonth, m_pageFileProps.m_nDay, m_pageFileProps.m_nYear};
    SaveSheetValues(values, profile);
}

void CStartPage::OnAdd() {
    // Every Add starts from a new profile's values, not from what the last use left behind.
    m_pageNewProfile.m_strName.clear();
    m_pageNewProfile.m_nScanScope = SCOPE_ALL_FOLDERS;
    m_pageFolders2Scan.m_lstScanFolders.clear();
    m_pagePatterns.ResetToDefaults();
    m_pageFileProps.ResetToDefaults();
    if (!RunProfileSheet(PROFILE_MODE_ADD, nullptr))
        return;

    auto profile = std::make_unique<CProfile>();
    SaveProfileFromPages(*profile);
    std::vector<bool> checks = m_checks.GetChecks();
    // A new profile comes first in the list and in the file, checked.
    checks.insert(checks.begin(), true);
    g_profiles.AddHead(std::move(profile));
    RebuildRows(checks, 0);
    UpdateWizardButtons();
    SaveProfiles();
}

void CStartPage::OnEdit() {
    const int row = GetFirstSelectedItem(m_lstProfiles);
    if (row < 0) {
        MessageBox(GetSafeHwnd(), "Please select a Profile to edit", kAppTitle,
                   MB_OK | MB_ICONSTOP);
        return;
    }
    const std::string name = m_lstProfiles->topLevelItem(row)->text(0).toStdString();
    CProfile* profile = g_profiles.FindByName(name);
    if (!profile)
        return;
    m_pageNewProfile.m_strName = name;
    m_pageNewProfile.m_nScanScope = profile->m_nScanScope;
    CopyStringList(m_pageFolders2Scan.m_lstScanFolders, profile->m_lstScanFolders);
    if (!RunProfileSheet(PROFILE_MODE_EDIT, profile))
        return;

    // Of two profiles with one name the one nearest the head is edited: its row, which keeps
    // its check mark, is the one that changes.
    const std::vector<bool> checks = m_checks.GetChecks();
    SaveProfileFromPages(*profile);
    RebuildRows(checks, StoreIndex(profile));
    UpdateWizardButtons();
    SaveProfiles();
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
    CProfile* profile = g_profiles.FindByName(name);
    if (!profile)
        return;
    // The rows follow the store: the row of the profile that goes goes with it.
    std::vector<bool> checks = m_checks.GetChecks();
    const int index = StoreIndex(profile);
    if (index >= 0 && static_cast<size_t>(index) < checks.size())
        checks.erase(checks.begin() + index);
    g_profiles.Remove(profile);
    RebuildRows(checks, -1);
    SaveProfiles();
}

void CStartPage::OnSchedule() {
    QWidget* owner = GetSafeHwnd();
    if (!WizardApp().m_bSchedulerAvailable) {
        if (MessageBox(owner, kNeedScheduler, kAppTitle, MB_YESNOCANCEL | MB_ICONQUESTION) ==
            IDYES)
            OpenWebSite(owner);
        return;
    }
    CSchedSetupPage* setup = WizardApp().m_pSchedSetupPage;
    CDrivesPage* drives = WizardApp().m_pSchedDrivesPage;
    CSchedDeletePage* dispose = WizardApp().m_pSchedDeletePage;
    if (!setup || !drives || !dispose)
        return;
    // Cleanings scheduled before are listed first, to be removed or added to. A table that
    // cannot be read goes straight to the wizard, which says why when it is needed.
    if (CCrontab* crontab = WizardApp().m_dispScheduler.GetCrontab()) {
        std::string table;
        if (!crontab->Read(table) && !ReadScheduledEntries(table, kEventName).empty()) {
            std::vector<std::string> names;
            for (const CProfile& profile : g_profiles)
                names.push_back(profile.m_strName);
            CSchedulesDlg list(*crontab, std::move(names), owner);
            if (list.DoModal() != IDC_SCHEDULES_NEW)
                return;
        }
    }
    {
        CPropertySheet sheet(std::string(), owner);
        sheet.AddPage(setup);
        sheet.AddPage(drives);
        sheet.AddPage(dispose);
        sheet.SetWizardMode();
        if (sheet.DoModal() != ID_WIZFINISH)
            return;
    }
    // The field keeps what an earlier Zip or Move put there; a method without a destination
    // schedules none, so the entry says only what the run will do.
    const std::string parameters = BuildScheduledParameters(
        setup->m_strProfiles, drives->m_strDrives, dispose->m_nMethod,
        MethodNeedsDestination(dispose->m_nMethod) ? dispose->m_strDestination : std::string());
    const std::string program = m_programPath ? m_programPath() : RunningProgramPath();
    FsError failed;
    bool cancelled = false;
    if (program.empty()) {
        failed = FsError::Told(ENOENT, "Fernwick cannot find its own program file to schedule.");
    } else {
        QPointer<QWidget> parent = owner;
        WizardApp().m_dispScheduler.SetAskWhen([parent] { return AskScheduleWhen(parent); });
        failed = WizardApp().m_dispScheduler.ScheduleEvent(program, parameters, false, kEventName,
                                                      cancelled);
    }
    if (failed) {
        // Nothing was scheduled: say why, in crontab's own words where it gave any.
        const std::string why = failed.Text();
        MessageBox(owner, why.empty() ? kScheduleFailed : why, kAppTitle, MB_OK | MB_ICONSTOP);
    } else if (!cancelled) {
        MessageBox(owner, kScheduled, kAppTitle, MB_OK);
        // crontab takes the entry without a daemon; only the daemon would ever run it.
        if (g_cronDaemonRunning && !g_cronDaemonRunning())
            MessageBox(owner, kNoCronDaemon, kAppTitle, MB_OK | MB_ICONEXCLAMATION);
        if (const FsError& e = WizardApp().m_dispScheduler.CatchUpFailure())
            MessageBox(owner, kCatchUpNotSet + e.Text(), kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    }
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
