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

    static void Setup(CFoundFilesView& list, CFoundStore& store) {
        list.Setup(true);
        list.Model().SetStore(&store);
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

        CFoundFilesView list;
        CFoundStore store;
        QLabel status;
        Setup(list, store);
        const int narrow = list.columnWidth(1);
        CResultsListSink sink(&list, &store, &status);
        CProfile p;
        p.m_lstPatterns = {"*.tmp", "a*"}; // a.tmp matches twice: one row
        CStopEvent stop;
        SearchFolder(dir.path().string(), p, stop, sink);
        SearchFolder(dir.path().string(), p, stop, sink); // and a second scan adds nothing
        QCOMPARE(list.RowCount(), 0); // rows wait for the next batch
        QCOMPARE(store.Count(), size_t(2));
        sink.Flush();

        QCOMPARE(list.RowCount(), 2);
        const std::string aPath = (dir.path() / "a.tmp").string();
        const std::ptrdiff_t file = store.Find(aPath);
        QVERIFY(file >= 0);
        const int row = static_cast<int>(file); // the scan page's rows are in the order found
        QCOMPARE(list.Model().FileOf(row), size_t(file));
        QCOMPARE(list.Text(row, 0), QStringLiteral("5"));
        QCOMPARE(list.Text(row, 1), QString::fromStdString(aPath));
        QCOMPARE(list.Text(row, 2), QStringLiteral("09:05:07 Tuesday, July 14, 1998"));
        QCOMPARE(list.model()->data(list.model()->index(row, 1)).toString(),
                 QString::fromStdString(aPath));
        // All the scan saw of the file goes with the row, for the disposal to check.
        struct stat st {};
        QCOMPARE(::lstat(aPath.c_str(), &st), 0);
        const FileSeen seen = store.Seen(size_t(file));
        QCOMPARE(seen, FileSeen::Of(st));
        QCOMPARE(seen.mtimeNsec, 123456789L);
        // The columns are as wide as their widest texts.
        QVERIFY(list.columnWidth(1) > narrow);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c)
                QVERIFY(list.columnWidth(c) >= GetTextWidth(&list, list.Text(r, c)));
        QCOMPARE(status.text(), QString::fromStdString(dir.path().string()));
        QCOMPARE(list.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Size"));
        QCOMPARE(list.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Filename"));
        QCOMPARE(list.model()->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("File Date/Time"));
    }

    void pumpLetsPendingEventsRun() {
        TempDir dir;
        WriteTextFile(dir.path() / "x.tmp", "x");
        CFoundFilesView list;
        CFoundStore store;
        Setup(list, store);
        CResultsListSink sink(&list, &store, nullptr);
        CStopEvent stop;
        QTimer::singleShot(0, [&] { stop.Set(); }); // a Stop click waiting in the queue
        CProfile p;
        p.m_lstPatterns = {"*.tmp"};
        SearchFolder(dir.path().string(), p, stop, sink);
        QVERIFY(stop.IsSet());
        QCOMPARE(store.Count(), size_t(0)); // stopped before the file was taken
        QCOMPARE(list.RowCount(), 0);
    }
};

QTEST_MAIN(ResultsListSinkTest)
#include "ResultsListSinkTest.moc"
