// The status window of a scheduled cleaning, driven offscreen.
#include "app/CFernwickApp.h"
#include "pages/CStatusDlg.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

#include <QtTest/QtTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <atomic>
#include <filesystem>

namespace fs = std::filesystem;

class StatusDlgTest : public QObject {
    Q_OBJECT

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
        theApp.m_argv = {"fernwick", "/r", "/pJunk ", "/d", "/x1022", "/m"};
    }

private slots:
    void cleanup() {
        g_profiles.RemoveAll();
        theApp.m_argv.clear();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void runsTheSearchThenDisposesAndCloses() {
        ScopedTestHome home;
        Prepare(home);
        CScriptedUi ui;
        CStatusDlg dlg;
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
    }

    void cancelMidSearchDisposesOfNothingAndEndsTheWorker() {
        ScopedTestHome home;
        Prepare(home);
        CScriptedUi ui;
        CStatusDlg dlg;
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
    }
};

QTEST_MAIN(StatusDlgTest)
#include "StatusDlgTest.moc"
