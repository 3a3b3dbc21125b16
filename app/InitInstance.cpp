// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "app/CFernwickApp.h"
#include "app/CommandLine.h"
#include "app/ExitStatus.h"
#include "app/RunNotice.h"
#include "schedule/CatchUpRun.h"
#include "schedule/ScheduledRun.h"
#include "dispose/CleaningLog.h"
#include "framework/CPropertySheet.h"
#include "pages/CDeletePage.h"
#include "pages/CDrivesPage.h"
#include "pages/CScanPage.h"
#include "pages/CSchedDeletePage.h"
#include "pages/CSchedSetupPage.h"
#include "pages/CStartPage.h"
#include "pages/CStatusDlg.h"
#include "platform/DesktopNotice.h"
#include "platform/ProgramDir.h"
#include "platform/StopSignal.h"
#include "platform/TextEscape.h"
#include "profiles/CProfileList.h"

#include <QtGui/QIcon>
#include <QtWidgets/QApplication>

bool CFernwickApp::InitInstance() {
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/icon128.png")));

    // The pages live here for the whole run; the sheet makes their windows as they are shown.
    CPropertySheet sheet;
    CStartPage startPage;
    CDrivesPage drivesPage;
    CDrivesPage schedDrivesPage;
    CScanPage scanPage;
    CDeletePage deletePage;
    CSchedSetupPage schedSetupPage;
    CSchedDeletePage schedDeletePage;

    g_profiles.LoadAndMerge();
    // Decided in both run modes; only the Schedule command reports a missing scheduler.
    m_bSchedulerAvailable = m_dispScheduler.CreateDispatch();
    m_nCmdFlags = ParseCommandLine(m_argv);

    if (m_nCmdFlags & CMDF_RUN) {
        // The scheduled cleaning: scan, dispose of what was found, log, and end.
        const ScheduledSwitches switches = ReadScheduledSwitches(m_argv);
        // Started by the catch-up at login for a time the computer was off: said in the log
        // and the notification; the catch-up notes the run.
        const std::time_t missedAt = MissedDueTime(std::getenv(kCatchUpVariable));
        if (missedAt != 0)
            WriteLog("Catching up on the scheduled cleaning missed at " + LocalDateTime(missedAt));
        // A login's catch-up waits for this run to end, and this run for a catch-up under way.
        CDataFolderLock running;
        if (missedAt == 0)
            HoldWhileRunning(running, GetProgramDir(), StopSignalReceived);
        CStatusDlg dlg(switches);
        dlg.DoModal();
        // A run that left files, or entries the log could not take, must not look done.
        m_nExitCode =
            dlg.AllDisposed() && LogEntriesLost() == 0 ? EXIT_ALL_DONE : EXIT_INCOMPLETE;
        // Cron mails nobody on most desktops: the user's session is told what was done.
        const UnattendedOutcome* outcome = dlg.Disposal();
        if (outcome)
            if (const auto notice = NoticeOfRun(*outcome, ParseMethodCode(switches.method),
                                                switches.destination, LogFilePath(), missedAt))
                SendDesktopNotice(*notice);
        // A run cron started that ran to its end is not caught up at the next login.
        if (outcome && !outcome->stopped && missedAt == 0) {
            const std::vector<std::string> args(m_argv.begin() + 1, m_argv.end());
            if (const FsError e = NoteCronRun(GetProgramDir(), RunningProgramPath(), args,
                                              std::time(nullptr))) {
                const std::string why = "The run could not be noted in the record of scheduled "
                                        "runs, so the next login may run it again: " + e.Text();
                WriteLog(why);
                std::fputs(("fernwick: " + EscapeControlChars(why) + "\n").c_str(), stderr);
            }
        }
        return false;
    }

    sheet.AddPage(&startPage);
    sheet.AddPage(&drivesPage);
    sheet.AddPage(&scanPage);
    sheet.AddPage(&deletePage);
    sheet.SetWizardMode();
    m_pStartPage = &startPage;
    m_pDrivesPage = &drivesPage;
    m_pSchedDrivesPage = &schedDrivesPage;
    m_pScanPage = &scanPage;
    m_pDeletePage = &deletePage;
    m_pSchedSetupPage = &schedSetupPage;
    m_pSchedDeletePage = &schedDeletePage;

    // What the later pages read of the earlier ones.
    const auto isChecked = [&startPage](const CProfile& p) { return startPage.IsProfileChecked(p); };
    drivesPage.SetProfileFilter(isChecked);
    // The scheduling drives page names the profiles checked for the schedule.
    schedDrivesPage.SetProfileFilter(
        [&schedSetupPage](const CProfile& p) { return schedSetupPage.IsProfileChecked(p); });
    startPage.m_pNextAfterDrives = &scanPage;
    scanPage.m_isProfileChecked = isChecked;
    scanPage.m_checkedDrives = [&drivesPage] { return drivesPage.CheckedDrives(); };
    scanPage.m_pStartPage = &startPage;
    deletePage.m_pScanPage = &scanPage;

    sheet.DoModal();

    m_pStartPage = nullptr;
    m_pDrivesPage = nullptr;
    m_pSchedDrivesPage = nullptr;
    m_pScanPage = nullptr;
    m_pDeletePage = nullptr;
    m_pSchedSetupPage = nullptr;
    m_pSchedDeletePage = nullptr;
    if (m_bSchedulerAvailable) {
        m_dispScheduler.ReleaseDispatch();
        m_bSchedulerAvailable = false;
    }
    return false;
}
