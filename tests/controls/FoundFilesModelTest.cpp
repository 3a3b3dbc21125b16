// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The found files' list model: rows over the store, sorted and thinned out by the selection
// page, with the view's selection following the files.
#include "controls/CFoundFilesView.h"

#include <QtTest/QtTest>

namespace {

FoundFile File(const char* path, std::optional<std::uint64_t> size, std::time_t mtime) {
    FoundFile f;
    f.path = path;
    f.size = size;
    f.mtime = mtime;
    return f;
}

// The paths of the rows, top to bottom.
using Texts = std::vector<std::string>;

Texts Paths(const CFoundFilesView& view) {
    Texts paths;
    for (int r = 0; r < view.RowCount(); ++r)
        paths.push_back(view.Text(r, CFoundFilesModel::kColPath).toStdString());
    return paths;
}

Texts SelectedPaths(const CFoundFilesView& view) {
    Texts paths;
    for (int r : view.SelectedRows())
        paths.push_back(view.Text(r, CFoundFilesModel::kColPath).toStdString());
    return paths;
}

} // namespace

class FoundFilesModelTest : public QObject {
    Q_OBJECT

    CFoundStore m_store;

    // The scan page's rows of the store, and the selection page's made from them.
    void ShowAsTheWizardDoes(CFoundFilesView& scan, CFoundFilesView& selection) {
        scan.Model().SetStore(&m_store);
        scan.Model().ShowNewFiles();
        selection.Setup(true);
        selection.Model().ShowRowsOf(scan.Model());
    }

private slots:
    void init() {
        m_store.Clear();
        m_store.Add(File("/b", 30, 100));
        m_store.Add(File("/a", 5, 300));
        m_store.Add(File("/c", std::nullopt, 0)); // vanished before its size was read
        m_store.Add(File("/B", 5, 200));
    }

    void rowsFollowTheStoreInBatches() {
        CFoundFilesView view;
        view.Setup(false);
        view.Model().SetStore(&m_store);
        QCOMPARE(view.RowCount(), 0);
        QCOMPARE(view.Model().ShowNewFiles(), 0);
        QCOMPARE(Paths(view), (Texts{"/b", "/a", "/c", "/B"}));
        m_store.Add(File("/d", 1, 1));
        QCOMPARE(view.Model().ShowNewFiles(), 4);
        QCOMPARE(view.RowCount(), 5);
        QCOMPARE(view.Model().ShowNewFiles(), 5); // nothing new
        QCOMPARE(view.Text(2, CFoundFilesModel::kColSize), QString());
        QCOMPARE(view.Text(2, CFoundFilesModel::kColTime), QString());
        QCOMPARE(view.Text(0, CFoundFilesModel::kColSize), QStringLiteral("30"));
        view.Model().ClearRows();
        QCOMPARE(view.RowCount(), 0);
    }

    void sortingIsAscendingStableAndKeepsTheSelection() {
        CFoundFilesView scan, view;
        ShowAsTheWizardDoes(scan, view);
        view.SelectRow(1); // "/a"
        view.SelectRow(3); // "/B"

        view.Model().SortByColumn(CFoundFilesModel::kColSize);
        // No size first; equal sizes keep their order.
        QCOMPARE(Paths(view), (Texts{"/c", "/a", "/B", "/b"}));
        QCOMPARE(SelectedPaths(view), (Texts{"/a", "/B"}));
        view.Model().SortByColumn(CFoundFilesModel::kColTime);
        QCOMPARE(Paths(view), (Texts{"/c", "/b", "/B", "/a"}));
        QCOMPARE(SelectedPaths(view), (Texts{"/B", "/a"}));
        view.Model().SortByColumn(CFoundFilesModel::kColPath); // byte by byte: capitals first
        QCOMPARE(Paths(view), (Texts{"/B", "/a", "/b", "/c"}));
        QCOMPARE(SelectedPaths(view), (Texts{"/B", "/a"}));
        // The scan page's rows are untouched.
        QCOMPARE(Paths(scan), (Texts{"/b", "/a", "/c", "/B"}));
    }

    void removingRowsKeepsTheOthersAndTheirSelection() {
        CFoundFilesView scan, view;
        ShowAsTheWizardDoes(scan, view);
        for (int r = 0; r < 4; ++r)
            view.SelectRow(r);
        view.SelectRow(2, false);
        QCOMPARE(view.FirstSelectedRow(), 0);
        view.Model().RemoveRows({3, 0, 3}); // in any order, once each
        QCOMPARE(Paths(view), (Texts{"/a", "/c"}));
        QCOMPARE(SelectedPaths(view), (Texts{"/a"}));
        QVERIFY(view.IsRowSelected(0));
        QVERIFY(!view.IsRowSelected(1));
        // Each row still names its file in the store, which keeps every file as found.
        QCOMPARE(view.Model().FileOf(0), size_t(1));
        QCOMPARE(m_store.Count(), size_t(4));
        view.Model().RemoveRows({0, 1});
        QCOMPARE(view.RowCount(), 0);
        QVERIFY(view.SelectedRows().empty());
        QCOMPARE(view.FirstSelectedRow(), -1);
    }
};

QTEST_MAIN(FoundFilesModelTest)
#include "FoundFilesModelTest.moc"
