// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Opens the program's windows one by one and saves a picture of each, for the documentation:
//   xvfb-run -a -s '-screen 0 1024x768x24' build/tools/fernwick_screenshots docs/screenshots
// The wizard is shown on a demonstration set-up in a temporary folder: two profiles, and a
// small tree of files to find.
#include "schedule/ScheduledRun.h"
#include "support/BuiltCronEntry.h"
#include "controls/CAboutDlg.h"
#include "framework/CPropertySheet.h"
#include "framework/UiSeam.h"
#include "framework/WinTypes.h"
#include "schedule/ScheduledCleanings.h"
#include "pages/CDeletePage.h"
#include "pages/CDrivesPage.h"
#include "pages/CInputDlg.h"
#include "pages/CScanPage.h"
#include "pages/CSchedDeletePage.h"
#include "pages/CSchedSetupPage.h"
#include "pages/CScheduleWhenDlg.h"
#include "pages/CSchedulesDlg.h"
#include "pages/CStartPage.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "schedule/CronLine.h"
#include "support/FakeCrontab.h"

#include <QtCore/QDir>
#include <QtCore/QEventLoop>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtGui/QFont>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QTreeWidget>

#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <utility>

namespace {

// Runs the action waiting for the next modal window, once that window is up.
class CShotSeam : public CUiSeam {
public:
    std::function<void(QWidget*)> onModal;
    void ModalStarted(QWidget* window) override {
        if (auto action = std::exchange(onModal, nullptr))
            action(window);
    }
    int MessageBox(QWidget*, const std::string&, const std::string&, unsigned type) override {
        return (type & MB_TYPEMASK) == MB_YESNO || (type & MB_TYPEMASK) == MB_YESNOCANCEL ? IDYES
                                                                                       : IDOK;
    }
    std::string folder; // what the folder browser answers
    std::optional<std::string> BrowseForFolder(QWidget*, const std::string&,
                                               const std::string&) override {
        return folder;
    }
};

void Settle(int ms = 300) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Save(QWidget* window, const QString& dir, const char* name) {
    Settle();
    const QString path = dir + QStringLiteral("/") + QString::fromUtf8(name) + QStringLiteral(".png");
    std::printf("%s\n", qPrintable(path));
    return window->grab().save(path);
}

void WriteFile(const QString& path, const char* text) {
    QDir().mkpath(QFileInfo(path).path());
    std::ofstream(path.toStdString()) << text;
}

// The next input dialog gets text typed into it; it is pictured first when name is given.
void TypeIntoNextInput(CShotSeam& seam, const QString& dir, bool& ok, const char* text,
                       const char* name) {
    seam.onModal = [&ok, dir, text, name](QWidget* w) {
        for (QLineEdit* edit : w->findChildren<QLineEdit*>())
            if (GetDlgCtrlID(edit) == IDC_INPUT_TEXT)
                edit->setText(QString::fromUtf8(text));
        if (name)
            ok = Save(w, dir, name) && ok;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (GetDlgCtrlID(b) == IDOK) {
                b->click();
                break;
            }
    };
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fernwick_screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);

    QTemporaryDir demo;
    const QString home = demo.path();
    qputenv("FERNWICK_HOME", (home + QStringLiteral("/program")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toUtf8());
    QDir().mkpath(home + QStringLiteral("/program"));
    const QString tree = home + QStringLiteral("/Documents");
    for (const char* name : {"report.doc.bak", "budget 2026.xls.bak", "~$budget 2026.xls",
                             "letter.tmp", "drafts/old notes.bak", "drafts/~lock.odt#",
                             "photos/holiday.jpg", "photos/thumbs.tmp"})
        WriteFile(tree + QStringLiteral("/") + QString::fromUtf8(name), "demonstration data\n");

    auto add = [](const char* name, int scope, std::vector<std::string> folders,
                  std::vector<std::string> patterns) {
        auto p = std::make_unique<CProfile>();
        p->m_strName = name;
        p->m_nScanScope = scope;
        p->m_lstScanFolders = std::move(folders);
        p->m_lstPatterns = std::move(patterns);
        g_profiles.AddTail(std::move(p));
    };
    add("Temporary Files", SCOPE_ALL_FOLDERS, {}, {"*.tmp", "~*.*"});
    add("Backup Copies", SCOPE_LISTED_FOLDERS, {tree.toStdString()}, {"*.bak"});
    add("Office Leftovers", SCOPE_LISTED_FOLDERS, {tree.toStdString()}, {"~$*.*", ".~lock.*#"});

    CShotSeam seam;
    SetUiSeam(&seam);
    bool ok = true;

    CAboutDlg about;
    seam.onModal = [&](QWidget* w) {
        ok = Save(w, out, "about") && ok;
        about.EndDialog(IDOK);
    };
    about.DoModal();

    CPropertySheet sheet;
    CStartPage start;
    CDrivesPage drives;
    CScanPage scan;
    CDeletePage del;
    del.m_pScanPage = &scan;
    for (CPropertyPage* p : std::initializer_list<CPropertyPage*>{&start, &drives, &scan, &del})
        sheet.AddPage(p);
    const auto isChecked = [&start](const CProfile& p) { return start.IsProfileChecked(p); };
    drives.SetProfileFilter(isChecked);
    start.m_pNextAfterDrives = &scan;
    scan.m_isProfileChecked = isChecked;
    // The demonstration scans its own small tree in place of the whole drive.
    scan.m_checkedDrives = [&] { return std::vector<ScanDrive>{{'C', tree.toStdString()}}; };
    scan.m_pStartPage = &start;
    // The "Profile" sheet as Add shows it, filled in for a listed-folder profile; cancelled, so
    // the demonstration's profiles stay as they are.
    seam.folder = tree.toStdString();
    const auto profileSheet = [&](QWidget* w) {
        CPropertySheet* profile = start.m_pageNewProfile.GetSheet();
        // A name of its own: the sheet refuses one that another profile has.
        start.m_pageNewProfile.m_editName->setText(QStringLiteral("Editor Leftovers"));
        start.m_pageNewProfile.GetItem<QRadioButton>(IDC_SCOPE_LISTED_FOLDERS)->click();
        ok = Save(w, out, "profile-new-page") && ok;
        profile->PressButton(ID_WIZNEXT);
        start.m_pageFolders2Scan.OnAddScanFolder();
        ok = Save(w, out, "profile-folders-page") && ok;
        profile->PressButton(ID_WIZNEXT);
        TypeIntoNextInput(seam, out, ok, "~$*.*", "input-dialog");
        start.m_pagePatterns.OnAddPattern();
        TypeIntoNextInput(seam, out, ok, ".~lock.*#", nullptr);
        start.m_pagePatterns.OnAddPattern();
        TypeIntoNextInput(seam, out, ok, "Temp", nullptr);
        start.m_pagePatterns.OnAddFolder();
        ok = Save(w, out, "profile-patterns-page") && ok;
        profile->PressButton(ID_WIZNEXT);
        CFilePropsPage& props = start.m_pageFileProps;
        props.GetItem<QCheckBox>(IDC_USE_LIMITS)->click();
        props.GetItem<QLineEdit>(IDC_MAX_SIZE)->setText(QStringLiteral("100000000"));
        ok = Save(w, out, "profile-fileprops-page") && ok;
        profile->PressButton(IDCANCEL);
    };
    seam.onModal = [&](QWidget* w) {
        ok = Save(w, out, "start-page") && ok;
        seam.onModal = profileSheet;
        start.OnAdd();
        sheet.PressButton(ID_WIZNEXT);
        drives.OnSelectAllDrives();
        ok = Save(w, out, "drives-page") && ok;
        sheet.PressButton(ID_WIZNEXT);
        scan.OnStartScanning();
        if (scan.m_listResults && scan.m_listResults->RowCount() > 1)
            scan.m_listResults->SelectRow(1);
        ok = Save(w, out, "scan-page") && ok;
        sheet.PressButton(ID_WIZNEXT);
        if (del.m_listFiles && del.m_listFiles->RowCount() > 3) {
            for (int r = 0; r < 3; ++r)
                del.m_listFiles->SelectRow(r);
            del.OnDispose();
            del.m_listFiles->SelectRow(0);
        }
        ok = Save(w, out, "delete-page") && ok;
        sheet.EndDialog(IDCANCEL);
    };
    sheet.DoModal();

    // The scheduling wizard's own pages, one profile left out and Zip chosen, and the
    // when-dialog; all cancelled, so nothing is scheduled.
    CPropertySheet schedSheet;
    CSchedSetupPage schedSetup;
    CDrivesPage schedDrives;
    CSchedDeletePage schedDelete;
    for (CPropertyPage* p :
         std::initializer_list<CPropertyPage*>{&schedSetup, &schedDrives, &schedDelete})
        schedSheet.AddPage(p);
    schedDrives.SetProfileFilter(
        [&schedSetup](const CProfile& p) { return schedSetup.IsProfileChecked(p); });
    seam.onModal = [&](QWidget* w) {
        schedSetup.m_checks.SetChecked(2, false);
        schedSetup.m_listProfiles->setCurrentItem(schedSetup.m_listProfiles->topLevelItem(2));
        schedSetup.UpdateWizardButtons();
        ok = Save(w, out, "schedule-setup-page") && ok;
        schedSheet.PressButton(ID_WIZNEXT);
        if (schedSheet.GetActivePage() == &schedDrives) {
            schedDrives.OnSelectAllDrives();
            schedSheet.PressButton(ID_WIZNEXT);
        }
        schedDelete.GetItem<QRadioButton>(1023)->click();
        schedDelete.m_editDestination->setText(tree + QStringLiteral("/cleaned files.zip"));
        ok = Save(w, out, "schedule-dispose-page") && ok;
        schedSheet.EndDialog(IDCANCEL);
    };
    schedSheet.DoModal();
    CScheduleWhenDlg when;
    when.m_when.kind = CronWhen::Weekly;
    when.m_when.weekday = 5;
    when.m_when.hour = 12;
    when.m_when.minute = 30;
    seam.onModal = [&](QWidget* w) {
        ok = Save(w, out, "schedule-when-dialog") && ok;
        when.EndDialog(IDCANCEL);
    };
    when.DoModal();

    // The list of scheduled cleanings, from a crontab held in memory: three entries as the
    // wizard writes them and one edited by hand.
    CFakeCrontab crontab;
    const auto entry = [](CronWhen::Kind kind, int day, int hour, int minute, const char* profiles,
                          int method, const std::string& destination) {
        CronWhen at;
        at.kind = kind;
        at.weekday = at.dayOfMonth = day;
        at.hour = hour;
        at.minute = minute;
        return BuildEntry(at, "/usr/bin/fernwick",
                              BuildScheduledParameters(profiles, "C", method, destination), {})
            .line;
    };
    crontab.table = "# my own\n0 1 * * * /usr/local/bin/backup\n";
    crontab.table = AppendCronEntry(crontab.table, kScheduleEventName,
                                    entry(CronWhen::Daily, 0, 7, 14,
                                          "Temporary Files Backup Copies ", 1025, ""));
    crontab.table = AppendCronEntry(crontab.table, kScheduleEventName,
                                    entry(CronWhen::Weekly, 5, 12, 30, "Office Leftovers ", 1023,
                                          "/home/pat/Archives/office.zip"));
    crontab.table = AppendCronEntry(crontab.table, kScheduleEventName,
                                    entry(CronWhen::Monthly, 1, 8, 0, "Backup Copies ", 1022, ""));
    crontab.table = AppendCronEntry(crontab.table, kScheduleEventName,
                                    "*/30 9-17 * * 1-5 fernwick /r /p\"Temporary Files \" /x1022");
    CSchedulesDlg schedules(crontab, {"Temporary Files", "Backup Copies", "Office Leftovers"});
    seam.onModal = [&](QWidget* w) {
        ok = Save(w, out, "schedules-dialog") && ok;
        schedules.EndDialog(IDCANCEL);
    };
    schedules.DoModal();

    // The selection page once more, in a large font and enlarged: the windows grow with the
    // font, the list with the window.
    QFont large = QApplication::font();
    large.setPointSize(14);
    QApplication::setFont(large);
    seam.onModal = [&](QWidget* w) {
        sheet.PressButton(ID_WIZNEXT);
        if (sheet.GetActivePage() == &drives) {
            drives.OnSelectAllDrives();
            sheet.PressButton(ID_WIZNEXT);
        }
        scan.OnStartScanning();
        sheet.PressButton(ID_WIZNEXT);
        w->resize(w->size() + QSize(160, 110));
        if (del.m_listFiles && del.m_listFiles->RowCount() > 1) {
            del.m_listFiles->SelectRow(0);
            del.m_listFiles->SelectRow(1);
        }
        ok = Save(w, out, "delete-page-large-font") && ok;
        sheet.EndDialog(IDCANCEL);
    };
    sheet.DoModal();

    SetUiSeam(nullptr);
    g_profiles.RemoveAll();
    return ok ? 0 : 1;
}
