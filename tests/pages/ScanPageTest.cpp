// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The scan page in a wizard, scanning a real temporary tree.
#include "../framework/TestPages.h"
#include "pages/CWizardApp.h"
#include "pages/CScanPage.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "WizardSupport.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

#include <QtTest/QtTest>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTreeWidget>

#include <filesystem>

namespace fs = std::filesystem;

class ScanPageTest : public QObject {
    Q_OBJECT

    struct Wizard {
        ScopedTestHome home;
        CScriptedUi ui;
        CTestPage start{"Fernwick"};
        CTestPage drives{"Drives"};
        CScanPage scan;
        CTestPage next{"Delete"};
        CPropertySheet sheet;
        bool driveProfileChecked = false;
        Wizard() {
            g_profiles.RemoveAll();
            AddTestProfile("Listed", SCOPE_LISTED_FOLDERS, {(home.root() / "listed").string()}, {"*.tmp"});
            AddTestProfile("Whole", SCOPE_ALL_FOLDERS, {}, {"*.bak"});
            for (int i = 0; i < 6; ++i)
                WriteTextFile(home.root() / "listed" / ("f" + std::to_string(i) + ".tmp"), "abc");
            WriteTextFile(home.root() / "drive" / "old file.bak", "12345");
            scan.m_isProfileChecked = [this](const CProfile& p) {
                return p.m_strName == "Listed" || driveProfileChecked;
            };
            scan.m_checkedDrives = [this] {
                return std::vector<ScanDrive>{{'D', (home.root() / "drive").string()}};
            };
            scan.m_pStartPage = &start;
            for (CPropertyPage* p : std::initializer_list<CPropertyPage*>{&start, &drives, &scan, &next})
                sheet.AddPage(p);
        }
        ~Wizard() { g_profiles.RemoveAll(); }
        // Runs the wizard, jumps to the scan page and runs the test's steps there.
        void Run(std::function<void()> steps) {
            ui.modalActions.push_back([this, steps](QWidget*) {
                sheet.SetActivePage(&scan);
                steps();
                if (sheet.GetSafeHwnd()->isVisible())
                    sheet.EndDialog(IDCANCEL);
            });
            sheet.DoModal();
        }
        std::string Log() const { return ReadTextFile(home.program() / "fwlog.txt"); }
    };

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void aScanListsRowsLogsAndEnablesNext() {
        Wizard w;
        w.driveProfileChecked = true;
        w.Run([&] {
            QVERIFY(!w.sheet.GetButton(ID_WIZNEXT)->isEnabled());
            QVERIFY(w.scan.m_stcProcessing->isHidden());
            w.scan.m_btnStart->click();
            CFoundFilesView* list = w.scan.m_listResults;
            QCOMPARE(list->RowCount(), 7);
            QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Size"));
            QCOMPARE(list->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Filename"));
            QCOMPARE(list->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("File Date/Time"));
            QCOMPARE(list->Text(6, 0), QStringLiteral("5"));
            QCOMPARE(list->Text(6, 1), QString::fromStdString((w.home.root() / "drive" / "old file.bak").string()));
            QVERIFY(list->Text(6, 2).contains(QStringLiteral(", 20"))); // "..., Month DD, YYYY"
            QCOMPARE(w.scan.m_stcStatus->text(), QStringLiteral("Done.  Press <Next> to continue..."));
            QVERIFY(w.sheet.GetButton(ID_WIZNEXT)->isEnabled());
            QVERIFY(w.scan.m_btnStart->isEnabled() && !w.scan.m_btnStop->isEnabled());

            // A second scan starts from an empty list.
            fs::remove(w.home.root() / "drive" / "old file.bak");
            w.scan.m_btnStart->click();
            QCOMPARE(list->RowCount(), 6);
        });
        const std::string log = w.Log();
        const std::string drive = "D: " + (w.home.root() / "drive").string();
        const std::vector<std::string> lines{"Starting disk scan\n", "Scanning for Listed\n",
                                             "Scanning for Whole\n", drive + "\n", "Scan stopped\n"};
        for (const std::string& line : lines)
            QVERIFY2(log.find("     " + line) != std::string::npos, line.c_str());
        QVERIFY(log.find("Scanning for Listed") < log.find(drive));
    }

    void nothingFoundLeavesOnlyBack() {
        Wizard w;
        fs::remove_all(w.home.root() / "listed");
        w.Run([&] {
            w.scan.m_btnStart->click();
            QCOMPARE(w.scan.m_listResults->RowCount(), 0);
            QCOMPARE(w.scan.m_stcStatus->text(), QStringLiteral("No files were found."));
            QVERIFY(w.sheet.GetButton(ID_WIZBACK)->isEnabled());
            QVERIFY(!w.sheet.GetButton(ID_WIZNEXT)->isEnabled());
        });
    }

    void stopMidScanKeepsTheRowsFound() {
        Wizard w;
        for (int d = 0; d < 100; ++d)
            for (int f = 0; f < 3; ++f)
                WriteTextFile(w.home.root() / "listed" / ("d" + std::to_string(d)) /
                                  ("x" + std::to_string(f) + ".tmp"),
                              "x");
        // Show new rows at every chance, so Stop can be pressed while the scan runs.
        w.scan.m_sinkTiming = {std::chrono::milliseconds(0), std::chrono::milliseconds(0)};
        w.Run([&] {
            CFoundFilesView* list = w.scan.m_listResults;
            // Press Stop as soon as the first rows are in, as a user would mid-scan.
            QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list, [&] {
                if (w.scan.m_btnStop->isEnabled())
                    w.scan.m_btnStop->click();
            });
            w.scan.m_btnStart->click();
            const int rows = list->RowCount();
            QVERIFY2(rows > 0 && rows < 306, qPrintable(QString::number(rows)));
            QCOMPARE(w.scan.m_stcStatus->text(), QStringLiteral("Done.  Press <Next> to continue..."));
        });
        const std::string log = w.Log();
        const size_t first = log.find("Scan stopped");
        QVERIFY(first != std::string::npos);
        QVERIFY(log.find("Scan stopped", first + 1) != std::string::npos); // Stop, then the end
    }

    void backSkipsTheDrivesPageWhenNoCheckedProfileNeedsDrives() {
        Wizard w;
        w.Run([&] {
            w.sheet.PressButton(ID_WIZBACK);
            QCOMPARE(w.sheet.GetActivePage(), &w.start);
            w.driveProfileChecked = true;
            w.sheet.SetActivePage(&w.scan);
            w.sheet.PressButton(ID_WIZBACK);
            QCOMPARE(w.sheet.GetActivePage(), &w.drives);
        });
    }

    void openUsesTheFilesProgramOrShowsItAsText() {
        Wizard w;
        w.ui.shellResults = {SHELL_OK, SHELL_ERROR_NO_ASSOCIATION, SHELL_OK};
        w.Run([&] {
            w.scan.m_btnStart->click();
            CFoundFilesView* list = w.scan.m_listResults;
            QVERIFY(!w.scan.m_btnOpen->isEnabled());
            list->SelectRow(1);
            QVERIFY(w.scan.m_btnOpen->isEnabled());
            const std::string path = list->Text(1, 1).toStdString();
            w.scan.m_btnOpen->click();
            emit list->doubleClicked(list->model()->index(1, 0));
            QCOMPARE(w.ui.shown.size(), size_t(3));
            QCOMPARE(w.ui.shown[0].kind, std::string("shell"));
            QCOMPARE(w.ui.shown[0].text, path);
            QCOMPARE(w.ui.shown[1].kind, std::string("shell"));
            QCOMPARE(w.ui.shown[2].kind, std::string("text")); // no program: shown as text
            QCOMPARE(w.ui.shown[2].text, path);
        });
    }
};

QTEST_MAIN(ScanPageTest)
#include "ScanPageTest.moc"
