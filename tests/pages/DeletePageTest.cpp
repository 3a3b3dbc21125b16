// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The whole wizard as a user drives it: profiles, scan, selection page and each disposal.
#include "pages/CWizardApp.h"
#include "dispose/DisposalMethod.h"
#include "framework/CPropertySheet.h"
#include "framework/WinTypes.h"
#include "pages/CDeletePage.h"
#include "pages/CDrivesPage.h"
#include "pages/CScanPage.h"
#include "pages/CStartPage.h"
#include "profiles/CProfileList.h"
#include "res/resource.h"
#include "WizardSupport.h"
#include "support/ScriptedUi.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"
#include "support/TimeZone.h"

#include <QtCore/QSettings>
#include <QtTest/QtTest>
#include <QtWidgets/QDialog>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QTreeWidget>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The main wizard on a temporary tree of four files, with its answers scripted.
struct Wizard : CCleaningWizardOnTree {
    CScriptedUi ui;

    Wizard() {
        File("six hundred.tmp", 600, LocalTime(2024, 3, 1, 23, 0));
        File("seven hundred.tmp", 700, LocalTime(2025, 3, 1, 1, 0));
        File("B.tmp", 9, LocalTime(2023, 3, 1, 12, 0));
        File("b.tmp", 10, LocalTime(2022, 3, 1, 6, 0));
    }

    void File(const std::string& name, size_t size, std::time_t mtime) {
        WriteTextFile(tree / name, std::string(size, 'x'));
        const timespec t[2] = {{mtime, 0}, {mtime, 0}};
        ::utimensat(AT_FDCWD, (tree / name).c_str(), t, 0);
    }
    // Start page, Next, Start Scanning, Next: the selection page is up.
    void ToSelectionPage() {
        sheet.PressButton(ID_WIZNEXT);
        QCOMPARE(sheet.GetActivePage(), &scan);
        scan.m_btnStart->click();
        sheet.PressButton(ID_WIZNEXT);
        QCOMPARE(sheet.GetActivePage(), &del);
    }
    void Run(std::function<void()> steps) { CCleaningWizardOnTree::Run(ui, std::move(steps)); }
    CFoundFilesView* List() const { return del.m_listFiles; }
    int Row(const std::string& name) const {
        for (int r = 0; r < List()->RowCount(); ++r)
            if (List()->Text(r, 1).toStdString() == (tree / name).string())
                return r;
        return -1;
    }
    void Select(std::initializer_list<const char*> names) {
        List()->clearSelection();
        for (const char* n : names)
            List()->SelectRow(Row(n));
    }
    QString Total() const { return del.m_stcTotal->text(); }
    std::string LastLogLines(size_t from) const {
        const std::string log = ReadTextFile(home.program() / "fwlog.txt");
        return log.substr(std::min(from, log.size()));
    }
};

} // namespace

class DeletePageTest : public QObject {
    Q_OBJECT
    CTestOptionsFolder m_options;

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void totalsFollowTheSelectionAndColumnsSortByMeaning() {
        Wizard w;
        w.Run([&] {
            w.ToSelectionPage();
            QCOMPARE(w.List()->RowCount(), 4);
            QCOMPARE(w.Total(), QStringLiteral("0 Bytes"));
            QVERIFY(!w.del.m_btnDispose->isEnabled());
            QCOMPARE(w.del.m_btnDispose->text(), QStringLiteral("&Delete"));
            w.Select({"six hundred.tmp", "seven hundred.tmp"});
            QCOMPARE(w.Total(), QStringLiteral("1,300 bytes"));
            QVERIFY(w.del.m_btnDispose->isEnabled());
            // A key press: the total follows the selection after it.
            w.List()->setFocus();
            w.List()->selectionModel()->setCurrentIndex(w.List()->model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            QTest::keyClick(w.List(), Qt::Key_Down);
            QCOMPARE(w.Total(), QString::fromStdString(GroupThousands(w.List()->Text(w.List()->currentIndex().row(), 0).toULongLong()) + " bytes"));
            w.del.m_btnSelectAll->click();
            QCOMPARE(w.Total(), QStringLiteral("1,319 bytes"));
            w.del.m_btnDeselectAll->click();
            QCOMPARE(w.Total(), QStringLiteral("0 Bytes"));

            auto column = [&](int c) {
                QStringList texts;
                for (int r = 0; r < w.List()->RowCount(); ++r)
                    texts << w.List()->Text(r, c);
                return texts;
            };
            QHeaderView* header = w.List()->header();
            emit header->sectionClicked(0);
            QCOMPARE(column(0), (QStringList{QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("600"), QStringLiteral("700")}));
            emit header->sectionClicked(1);
            QVERIFY(column(1)[0].endsWith(QStringLiteral("/B.tmp"))); // upper case first
            QVERIFY(column(1)[1].endsWith(QStringLiteral("/b.tmp")));
            emit header->sectionClicked(2); // by date, although the text starts with the hour
            QVERIFY(column(1)[0].endsWith(QStringLiteral("/b.tmp")));
            QVERIFY(column(1)[3].endsWith(QStringLiteral("/seven hundred.tmp")));
            QVERIFY(column(2)[0].startsWith(QStringLiteral("06:00:00")));
        });
    }

    void eachMethodDisposesReportsAndLogs_data() {
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("verb");
        QTest::newRow("delete") << METHOD_DELETE << QStringLiteral("Deleted");
        QTest::newRow("permanent") << METHOD_PERMANENT_DELETE << QStringLiteral("Permanently Deleted");
        QTest::newRow("recycle") << METHOD_RECYCLE << QStringLiteral("Moved to Recycle Bin");
        QTest::newRow("move") << METHOD_MOVE << QStringLiteral("Moved");
        QTest::newRow("zip") << METHOD_ZIP << QStringLiteral("Zipped");
    }
    void eachMethodDisposesReportsAndLogs() {
        QFETCH(int, method);
        QFETCH(QString, verb);
        Wizard w;
        const fs::path dest = w.home.root() / "dest";
        fs::create_directories(dest);
        w.ui.folderAnswers = {dest.string()};
        w.ui.fileAnswers = {(dest / "old files").string()}; // ".zip" is added
        w.Run([&] {
            w.ToSelectionPage();
            qobject_cast<QRadioButton*>(w.del.GetDlgItem(method))->click();
            w.Select({"six hundred.tmp", "seven hundred.tmp"});
            w.ui.messageAnswers = {IDYES, IDOK};
            w.del.m_btnDispose->click();
            QCOMPARE(w.List()->RowCount(), 2); // the two disposed rows are gone
            QVERIFY(w.Row("B.tmp") >= 0 && w.Row("b.tmp") >= 0);
        });
        const std::string report = "1,300 bytes in 2 files were " + verb.toStdString() + " by Fernwick.";
        const auto messages = w.ui.Messages();
        QCOMPARE(messages.size(), size_t(2));
        QCOMPARE(messages[0], "The files you selected will be " + verb.toStdString() + ".  Are you sure you want to do this?");
        QCOMPARE(messages[1], report);
        QCOMPARE(w.ui.shown.back().caption, std::string("Fern Wick"));
        const std::string log = ReadTextFile(w.home.program() / "fwlog.txt");
        QVERIFY(log.ends_with("     " + report + "\n"));
        const std::string six = (w.tree / "six hundred.tmp").string();
        QVERIFY(log.find("     " + six + " " + verb.toStdString() + "\n") != std::string::npos);
        const bool kept = method == METHOD_ZIP; // an archived file stays where it was
        QCOMPARE(fs::exists(six), kept);
        if (method == METHOD_MOVE)
            QCOMPARE(ReadTextFile(dest / "six hundred.tmp"), std::string(600, 'x'));
        if (method == METHOD_ZIP)
            QVERIFY(fs::file_size(dest / "old files.zip") > 0);
        if (method == METHOD_RECYCLE)
            QVERIFY(fs::exists(w.home.root() / "data" / "Trash" / "info" / "six hundred.tmp.trashinfo"));
    }

    void filesInUseAndFailuresStayWithTheirParagraphs() {
        Wizard w;
        const fs::path dest = w.home.root() / "dest";
        WriteTextFile(dest / "seven hundred.tmp", "already there");
        w.ui.folderAnswers = {dest.string()};
        LockingChild locker((w.tree / "B.tmp").string());
        w.Run([&] {
            w.ToSelectionPage();
            qobject_cast<QRadioButton*>(w.del.GetDlgItem(METHOD_MOVE))->click();
            w.Select({"six hundred.tmp", "seven hundred.tmp", "B.tmp"});
            w.ui.messageAnswers = {IDYES, IDOK};
            w.del.m_btnDispose->click();
            QCOMPARE(w.List()->RowCount(), 3);
            QVERIFY(w.Row("six hundred.tmp") < 0);
            // The file in use and the one that could not be moved stay, still selected.
            QVERIFY(w.List()->IsRowSelected(w.Row("B.tmp")));
            QVERIFY(w.List()->IsRowSelected(w.Row("seven hundred.tmp")));
            QCOMPARE(w.Total(), QStringLiteral("709 bytes"));
        });
        QCOMPARE(w.ui.Messages().back(),
                 std::string("600 bytes in 1 files were Moved by Fernwick.\n\n9 bytes in 1 files were "
                             "not cleaned because they were in use by other programs.\n\n700 bytes in "
                             "1 files could not be Moved."));
        QCOMPARE(ReadTextFile(dest / "seven hundred.tmp"), std::string("already there"));
        QVERIFY(fs::exists(w.tree / "seven hundred.tmp"));
        const std::string log = ReadTextFile(w.home.program() / "fwlog.txt");
        QVERIFY(log.find((w.tree / "B.tmp").string() + " is in use and cannot be Moved.") != std::string::npos);
        QVERIFY(log.find((w.tree / "seven hundred.tmp").string() + " could not be Moved: ") != std::string::npos);
        // The file that stayed where it was has no line saying it was moved.
        QVERIFY(log.find((w.tree / "seven hundred.tmp").string() + " Moved\n") == std::string::npos);
        // The report's paragraphs are entries of their own.
        QVERIFY(log.find("     600 bytes in 1 files were Moved by Fernwick.\n") != std::string::npos);
        QVERIFY(log.find("     700 bytes in 1 files could not be Moved.\n") != std::string::npos);
    }

    void aFileChangedAfterTheScanStaysWithTheFailures() {
        Wizard w;
        w.Run([&] {
            w.ToSelectionPage();
            // Replaced by another file of the same size after the scan, and one gone.
            WriteTextFile(w.home.root() / "newer", std::string(600, 'n'));
            fs::rename(w.home.root() / "newer", w.tree / "six hundred.tmp");
            fs::remove(w.tree / "B.tmp");
            qobject_cast<QRadioButton*>(w.del.GetDlgItem(METHOD_RECYCLE))->click();
            w.Select({"six hundred.tmp", "seven hundred.tmp", "B.tmp"});
            w.ui.messageAnswers = {IDYES, IDOK};
            w.del.m_btnDispose->click();
            QCOMPARE(w.List()->RowCount(), 3);
            QVERIFY(w.Row("seven hundred.tmp") < 0);
            QVERIFY(w.List()->IsRowSelected(w.Row("six hundred.tmp")));
            QVERIFY(w.List()->IsRowSelected(w.Row("B.tmp")));
        });
        QCOMPARE(w.ui.Messages().back(),
                 std::string("700 bytes in 1 files were Moved to Recycle Bin by Fernwick.\n\n609 bytes in 2 "
                             "files could not be Moved to Recycle Bin."));
        QCOMPARE(ReadTextFile(w.tree / "six hundred.tmp"), std::string(600, 'n'));
        const std::string log = ReadTextFile(w.home.program() / "fwlog.txt");
        QVERIFY(log.find((w.tree / "six hundred.tmp").string() +
                         " was changed after the scan and was not Moved to Recycle Bin: it is another file now.") !=
                std::string::npos);
        QVERIFY(log.find((w.tree / "B.tmp").string() +
                         " was changed after the scan and was not Moved to Recycle Bin: it is no longer there.") !=
                std::string::npos);
        QVERIFY(log.find("in use") == std::string::npos);
    }

    void noAnswersNoChangesAndTheFinishQuestion() {
        Wizard w;
        w.Run([&] {
            w.ToSelectionPage();
            w.Select({"six hundred.tmp"});
            w.ui.messageAnswers = {IDNO}; // the confirmation
            w.del.m_btnDispose->click();
            qobject_cast<QRadioButton*>(w.del.GetDlgItem(METHOD_ZIP))->click();
            w.ui.messageAnswers = {IDYES}; // the zip dialog is cancelled
            w.del.m_btnDispose->click();
            QCOMPARE(w.List()->RowCount(), 4);
            QVERIFY(w.del.m_btnDispose->isEnabled());
            QCOMPARE(w.del.m_stcTotalLabel->text(), QStringLiteral("Total disk space occupied by selected files"));

            w.ui.messageAnswers = {IDNO};
            w.sheet.PressButton(ID_WIZFINISH);
            QVERIFY(w.sheet.GetSafeHwnd()->isVisible());
            QCOMPARE(w.ui.shown.back().text, std::string("You did not delete anything.  Are you sure you want to quit?"));
            QCOMPARE(w.ui.shown.back().caption, std::string("Fern Wick"));

            // Back and Next again: the list is rebuilt and nothing is selected.
            w.sheet.PressButton(ID_WIZBACK);
            w.sheet.PressButton(ID_WIZNEXT);
            QCOMPARE(w.List()->RowCount(), 4);
            QCOMPARE(w.Total(), QStringLiteral("0 Bytes"));

            qobject_cast<QRadioButton*>(w.del.GetDlgItem(METHOD_DELETE))->click();
            w.Select({"b.tmp"});
            w.ui.messageAnswers = {IDYES, IDOK};
            w.del.m_btnDispose->click();
            const size_t before = w.ui.shown.size();
            w.sheet.PressButton(ID_WIZFINISH); // after a run: no question
            QCOMPARE(w.ui.shown.size(), before);
        });
        QVERIFY(fs::exists(w.tree / "six hundred.tmp"));
        QVERIFY(!fs::exists(w.tree / "b.tmp"));
    }

    void cancelDuringARunStopsBetweenFiles() {
        Wizard w;
        w.Run([&] {
            w.ToSelectionPage();
            w.del.m_btnSelectAll->click();
            w.ui.messageAnswers = {IDYES, IDOK};
            QTimer::singleShot(0, [&] { w.sheet.PressButton(IDCANCEL); }); // pressed as the run starts
            w.del.m_btnDispose->click();
            QVERIFY(w.sheet.GetSafeHwnd()->isVisible());
            QCOMPARE(w.List()->RowCount(), 4);
        });
        QVERIFY(w.ui.Messages().back().find("The run was cancelled after 0 of 4 files") != std::string::npos);
        for (const char* n : {"six hundred.tmp", "seven hundred.tmp", "B.tmp", "b.tmp"})
            QVERIFY(fs::exists(w.tree / n));
    }
};

QTEST_MAIN(DeletePageTest)
#include "DeletePageTest.moc"
