// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The interactive scan's results list, filled by the engine from a real tree.
#include "controls/CResultsListSink.h"
#include "controls/ListViewHelpers.h"
#include "scan/ScanEngine.h"
#include "support/TempDir.h"

#include <QtTest/QtTest>

#include <fcntl.h>
#include <sys/stat.h>

class ResultsListSinkTest : public QObject {
    Q_OBJECT

    static void Setup(QTreeWidget& list) {
        SetupReportList(&list, true);
        AddColumn(&list, 0, QStringLiteral("Size"));
        AddColumn(&list, 1, QStringLiteral("Filename"));
        AddColumn(&list, 2, QStringLiteral("File Date/Time"));
    }

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void rowsHoldSizePathAndTimeOncePerPath() {
        TempDir dir;
        WriteTextFile(dir.path() / "a.tmp", "12345");
        WriteTextFile(dir.path() / "a very long name that widens the column.tmp", "");
        std::tm tm{};
        tm.tm_year = 98;
        tm.tm_mon = 6;
        tm.tm_mday = 14;
        tm.tm_hour = 9;
        tm.tm_min = 5;
        tm.tm_sec = 7;
        tm.tm_isdst = -1;
        const timespec t[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 123456789}};
        ::utimensat(AT_FDCWD, (dir.path() / "a.tmp").c_str(), t, 0);

        QTreeWidget list;
        QLabel status;
        Setup(list);
        const int narrow = list.columnWidth(1);
        CResultsListSink sink(&list, &status);
        CProfile p;
        p.m_lstPatterns = {"*.tmp", "a*"}; // a.tmp matches twice: one row
        CStopEvent stop;
        SearchFolder(dir.path().string(), p, stop, sink);
        SearchFolder(dir.path().string(), p, stop, sink); // and a second scan adds nothing
        QCOMPARE(list.topLevelItemCount(), 0);             // rows wait for the next batch
        QVERIFY(sink.FindResultRow(QString::fromStdString((dir.path() / "a.tmp").string())) >= 0);
        sink.Flush();

        QCOMPARE(list.topLevelItemCount(), 2);
        const QString aPath = QString::fromStdString((dir.path() / "a.tmp").string());
        const int row = sink.FindResultRow(aPath);
        QVERIFY(row >= 0);
        QTreeWidgetItem* item = list.topLevelItem(row);
        QCOMPARE(item->text(0), QStringLiteral("5"));
        QCOMPARE(item->text(1), aPath);
        QCOMPARE(item->text(2), QStringLiteral("09:05:07 Tuesday, July 14, 1998"));
        QCOMPARE(sink.FindResultRow(aPath + QStringLiteral("x")), -1);
        // All the scan saw of the file goes with the row, for the disposal to check.
        struct stat st {};
        QCOMPARE(::lstat((dir.path() / "a.tmp").c_str(), &st), 0);
        const FileSeen seen = CResultsListSink::FileSeenOf(*item);
        QCOMPARE(seen, FileSeen::Of(st));
        QCOMPARE(seen.mtimeNsec, 123456789L);
        QTreeWidgetItem bare(QStringList{QString(), aPath});
        QCOMPARE(CResultsListSink::FileSeenOf(bare).ino, ino_t(0)); // a row that says nothing
        QVERIFY(list.columnWidth(1) > narrow);
        QCOMPARE(status.text(), QString::fromStdString(dir.path().string()));

        // A sink made for a list that already has rows knows them.
        CResultsListSink again(&list, &status);
        QCOMPARE(again.FindResultRow(aPath), row);
    }

    void pumpLetsPendingEventsRun() {
        TempDir dir;
        WriteTextFile(dir.path() / "x.tmp", "x");
        QTreeWidget list;
        Setup(list);
        CResultsListSink sink(&list, nullptr);
        CStopEvent stop;
        QTimer::singleShot(0, [&] { stop.Set(); }); // a Stop click waiting in the queue
        CProfile p;
        p.m_lstPatterns = {"*.tmp"};
        SearchFolder(dir.path().string(), p, stop, sink);
        QVERIFY(stop.IsSet());
        QCOMPARE(list.topLevelItemCount(), 0); // stopped before the file was taken
    }
};

QTEST_MAIN(ResultsListSinkTest)
#include "ResultsListSinkTest.moc"
