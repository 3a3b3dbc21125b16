// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The status window of a scheduled cleaning, driven offscreen.
#include "pages/CStatusDlg.h"
#include "platform/StopSignal.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

#include <QtTest/QtTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <atomic>
#include <csignal>
#include <filesystem>

namespace fs = std::filesystem;

class StatusDlgTest : public QObject {
    Q_OBJECT

    // The switches of "fernwick /r /p\"Junk \" /d /x1022 /m".
    const ScheduledSwitches m_switches{"Junk ", "", "1022", ""};

    // A profile "Junk" cleaning *.tmp in three folders of a temporary tree.
    void Prepare(ScopedTestHome& home) {
        g_profiles.RemoveAll();
        auto p = std::make_unique<CProfile>();
        p->m_strName = "Junk";
        p->m_nScanScope = SCOPE_LISTED_FOLDERS;
        p->m_lstPatterns = {"*.tmp"};
        for (const char* d : {"one", "two", "three"}) {
            WriteTextFile(home.root() / "tree" / d / "x.tmp", "12345");
            p->m_lstScanFolders.push_back((home.root() / "tree" / d).string());
        }
        g_profiles.AddTail(std::move(p));
    }

private slots:
    void cleanup() {
        ResetStopSignalForTests();
        g_profiles.RemoveAll();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void runsTheSearchThenDisposesAndCloses() {
        ScopedTestHome home;
        Prepare(home);
        CScriptedUi ui;
        CStatusDlg dlg(m_switches);
        ui.modalActions.push_back([&](QWidget* w) {
            QCOMPARE(w->windowTitle(), QStringLiteral("Fernwick Status"));
            QVERIFY(dlg.m_picture && dlg.m_picture->GetDib().GetWidth() == 173);
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QVERIFY2(dlg.m_found.Paths().size() == 3, ReadTextFile(home.program() / "fwlog.txt").c_str());
        for (const char* d : {"one", "two", "three"})
            QVERIFY(!fs::exists(home.root() / "tree" / d / "x.tmp"));
        const std::string log = ReadTextFile(home.program() / "fwlog.txt");
        QVERIFY(log.find("Scanning for Junk\n") != std::string::npos);
        QVERIFY(log.find("     15 bytes were Deleted by Fernwick\n") != std::string::npos);
        QVERIFY(dlg.AllDisposed());
    }

    void cancelMidSearchDisposesOfNothingAndEndsTheWorker() {
        ScopedTestHome home;
        Prepare(home);
        CScriptedUi ui;
        CStatusDlg dlg(m_switches);
        std::atomic<int> folders{0};
        // Hold the worker in its first folder until Cancel has set the stop.
        dlg.m_onWorkerFolder = [&](const std::string&) {
            if (folders++ == 0)
                while (!dlg.m_searchEvent.IsSet())
                    QThread::msleep(1);
        };
        ui.modalActions.push_back([&](QWidget*) {
            // Cancel once the worker is inside its first folder (and whatever happens).
            auto cancel = qScopeGuard([&] { dlg.m_btnCancel->click(); });
            QTRY_VERIFY_WITH_TIMEOUT(folders.load() == 1, 20000);
            QVERIFY(dlg.m_btnCancel->isEnabled());
        });
        QCOMPARE(dlg.DoModal(), IDCANCEL);
        QCOMPARE(folders.load(), 1); // the worker ended at the stop, before the next folder
        for (const char* d : {"one", "two", "three"})
            QVERIFY(fs::exists(home.root() / "tree" / d / "x.tmp"));
        const std::string log = ReadTextFile(home.program() / "fwlog.txt");
        QVERIFY(log.find("Deleted") == std::string::npos);
        QVERIFY(log.find("bytes were") == std::string::npos);
        QVERIFY(log.find("The run was cancelled while searching; no file was touched.\n") !=
                std::string::npos);
        QVERIFY(!dlg.AllDisposed());
    }

    void aStopSignalDuringTheSearchWakesTheWindowAndTouchesNothing() {
        ScopedTestHome home;
        Prepare(home);
        InstallStopSignals();
        ResetStopSignalForTests();
        CScriptedUi ui;
        CStatusDlg dlg(m_switches);
        std::atomic<int> folders{0};
        std::atomic<bool> heardByWindow{false};
        // The signal arrives on the worker, which then waits in its first folder: only the
        // window, woken by the signal, can set the stop now.
        dlg.m_onWorkerFolder = [&](const std::string&) {
            if (folders++ != 0)
                return;
            ::raise(SIGTERM);
            for (int i = 0; i < 20000 && !dlg.m_searchEvent.IsSet(); ++i)
                QThread::msleep(1);
            heardByWindow = dlg.m_searchEvent.IsSet();
        };
        QCOMPARE(dlg.DoModal(), IDCANCEL);
        QVERIFY(heardByWindow.load());
        QCOMPARE(folders.load(), 1); // the worker ended at the stop, before the next folder
        QVERIFY(!dlg.AllDisposed());
        for (const char* d : {"one", "two", "three"})
            QVERIFY(fs::exists(home.root() / "tree" / d / "x.tmp"));
        const std::string log = ReadTextFile(home.program() / "fwlog.txt");
        QVERIFY2(
            log.find("     The run was stopped by SIGTERM while searching; none of the 0 files "
                     "found so far was touched.\n") != std::string::npos,
            log.c_str());
        QVERIFY(log.find("bytes were") == std::string::npos);
    }

    void aStopSignalBeforeTheWindowOpensEndsTheRunAtOnce() {
        // A signal during start-up leaves its byte in the pipe for the window to find.
        ScopedTestHome home;
        Prepare(home);
        InstallStopSignals();
        ResetStopSignalForTests();
        ::raise(SIGHUP);
        CScriptedUi ui;
        CStatusDlg dlg(m_switches);
        QCOMPARE(dlg.DoModal(), IDCANCEL);
        QVERIFY(!dlg.AllDisposed());
        for (const char* d : {"one", "two", "three"})
            QVERIFY(fs::exists(home.root() / "tree" / d / "x.tmp"));
        const std::string log = ReadTextFile(home.program() / "fwlog.txt");
        QVERIFY2(log.find("The run was stopped by SIGHUP while searching") != std::string::npos,
                 log.c_str());
        QVERIFY(log.find("Deleted") == std::string::npos);
    }
};

QTEST_MAIN(StatusDlgTest)
#include "StatusDlgTest.moc"
