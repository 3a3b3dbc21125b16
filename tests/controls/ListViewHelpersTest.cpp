// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/ListViewHelpers.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelection>
#include <QPixmap>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

// A set-up list with the given columns and rows.
void Fill(QTreeWidget& list, const QStringList& headers, const QList<QStringList>& rows,
          bool multiSelect = true) {
    SetupReportList(&list, multiSelect);
    for (int c = 0; c < headers.size(); ++c)
        AddColumn(&list, c, headers.at(c));
    for (const QStringList& row : rows)
        InsertRow(&list, list.topLevelItemCount(), row);
}

QStringList RowTexts(QTreeWidget& list, int row) {
    QStringList texts;
    for (int c = 0; c < list.columnCount(); ++c)
        texts << list.topLevelItem(row)->text(c);
    return texts;
}

QIcon SolidIcon(Qt::GlobalColor colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

} // namespace

class ListViewHelpersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Every width check below is meaningless if the test font measures nothing.
        QTreeWidget list;
        QVERIFY(QFontMetrics(list.font()).horizontalAdvance(QChar(u'M')) > 0);
    }

    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void setupDropsOnlyQtsDefaultColumn() {
        QTreeWidget fresh;
        SetupReportList(&fresh, true);
        QCOMPARE(GetColumnCount(&fresh), 0);
        AddColumn(&fresh, 0, S("Name"));
        QCOMPARE(GetColumnText(&fresh, 0), S("Name"));
        QCOMPARE(fresh.selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(!fresh.header()->stretchLastSection());
        // A one-letter header gets its measured width, not the style's larger minimum.
        AddColumn(&fresh, 1, S("#"));
        QCOMPARE(fresh.columnWidth(1), GetTextWidth(&fresh, S("#")));

        // Columns a page set up itself survive, even a lone one.
        QTreeWidget designed;
        designed.setHeaderLabels({S("Profile")});
        SetupReportList(&designed, false);
        QCOMPARE(GetColumnCount(&designed), 1);
        QCOMPARE(GetColumnText(&designed, 0), S("Profile"));
        QCOMPARE(designed.selectionMode(), QAbstractItemView::SingleSelection);
    }

    void addColumnShiftsHeadersTextsAndWidths() {
        QTreeWidget list;
        Fill(list, {S("Name"), S("Size")}, {{S("a.tmp"), S("10")}, {S("b.log"), S("20")}});
        list.setColumnWidth(1, 333);

        AddColumn(&list, 1, S("Folder"));
        QCOMPARE(GetColumnCount(&list), 3);
        QCOMPARE(GetColumnText(&list, 0), S("Name"));
        QCOMPARE(GetColumnText(&list, 1), S("Folder"));
        QCOMPARE(GetColumnText(&list, 2), S("Size"));
        QCOMPARE(RowTexts(list, 0), QStringList({S("a.tmp"), QString(), S("10")}));
        QCOMPARE(RowTexts(list, 1), QStringList({S("b.log"), QString(), S("20")}));
        QCOMPARE(list.columnWidth(2), 333);
        QCOMPARE(list.columnWidth(1), GetTextWidth(&list, S("Folder")));
        const auto alignment = Qt::Alignment(list.headerItem()->data(1, Qt::TextAlignmentRole).toInt());
        QVERIFY(alignment & Qt::AlignLeft);

        // At the front, and past the end (appends); a negative index adds nothing.
        AddColumn(&list, 0, S("#"));
        AddColumn(&list, 99, S("Date"));
        AddColumn(&list, -1, S("Never"));
        QCOMPARE(GetColumnCount(&list), 5);
        QCOMPARE(GetColumnText(&list, 0), S("#"));
        QCOMPARE(GetColumnText(&list, 4), S("Date"));
        QCOMPARE(RowTexts(list, 1), QStringList({QString(), S("b.log"), QString(), S("20"), QString()}));
    }

    void rowDatumAndImageStayWithTheRowWhenAColumnIsAddedInFront() {
        QTreeWidget list;
        Fill(list, {S("Name")}, {{S("a")}});
        SetItemData(&list, 0, 7);
        SetItemImage(&list, 0, 2);
        AddColumn(&list, 0, S("First"));
        QCOMPARE(GetItemData(&list, 0), qint64(7));
        QCOMPARE(GetItemImage(&list, 0), 2);
        QCOMPARE(list.topLevelItem(0)->text(1), S("a"));
    }

    void textWidthIsTextPlusOneM() {
        QTreeWidget list;
        const int m = GetTextWidth(&list, QString());
        QCOMPARE(m, QFontMetrics(list.font()).horizontalAdvance(QChar(u'M')));
        QCOMPARE(GetTextWidth(&list, S("Temp Files")) - m,
                 QFontMetrics(list.font()).horizontalAdvance(S("Temp Files")));

        // Measured in the list's own font.
        QFont big = list.font();
        big.setPixelSize(40);
        list.setFont(big);
        QVERIFY(GetTextWidth(&list, QString()) > m);

        // Past 32767 pixels the text width wraps like a 16-bit value.
        const int bigM = GetTextWidth(&list, QString());
        const QString huge(40000 / bigM + 1, QChar(u'M'));
        const int advance = QFontMetrics(big).horizontalAdvance(huge);
        QVERIFY(advance > 32767 && advance < 65536);
        QCOMPARE(GetTextWidth(&list, huge), advance - 65536 + bigM);
    }

    void columnTextIsLimitedAndEmptyOutOfRange() {
        QTreeWidget list;
        const QString longHeader(300, QChar(u'h'));
        Fill(list, {S("Name"), longHeader}, {});
        QCOMPARE(GetColumnText(&list, 1), longHeader.left(255));
        QCOMPARE(GetColumnText(&list, 2), QString());
        QCOMPARE(GetColumnText(&list, -1), QString());
    }

    void fitColumnsToRowOnlyWidens() {
        QTreeWidget list;
        const QString longText(300, QChar(u'W'));
        Fill(list, {S("A"), S("B"), S("C")}, {{S("short"), S("a much longer cell text"), longText}});
        list.setColumnWidth(0, 1000);

        QCOMPARE(FitColumnsToRow(&list, 0), 3);
        QCOMPARE(list.columnWidth(0), 1000);
        QCOMPARE(list.columnWidth(1), GetTextWidth(&list, S("a much longer cell text")));
        // Only the first 254 characters of a cell count.
        QCOMPARE(list.columnWidth(2), GetTextWidth(&list, longText.left(254)));

        // A row that does not exist has nothing wider than a column already is.
        QCOMPARE(FitColumnsToRow(&list, 5), 3);
        QCOMPARE(list.columnWidth(0), 1000);
        QCOMPARE(list.columnWidth(1), GetTextWidth(&list, S("a much longer cell text")));
    }

    void fitColumnsNeverNarrowsAfterLongestTextIsRemoved() {
        QTreeWidget list;
        Fill(list, {S("File")},
             {{S("x")}, {S("/home/someone/.cache/thumbnails/large/0123456789abcdef.png")}, {S("y")}});
        FitColumns(&list, false);
        const int fitted = list.columnWidth(0);
        QCOMPARE(fitted, GetTextWidth(&list, list.topLevelItem(1)->text(0)));

        delete list.takeTopLevelItem(1);
        FitColumns(&list, true);
        QCOMPARE(FitColumnsToRow(&list, 0), 1);
        QCOMPARE(list.columnWidth(0), fitted);
    }

    void fitColumnsWithAndWithoutHeaders() {
        const QStringList headers{S("Size of everything found"), S("N")};
        const QList<QStringList> rows{{S("1 KB"), S("first.tmp")},
                                      {S("12 MB"), S("second-with-longer-name.tmp")},
                                      {S("3 GB"), S("third.tmp")}};
        QTreeWidget list;
        Fill(list, headers, rows);
        const int narrow = GetTextWidth(&list, QString());
        list.setColumnWidth(0, narrow);
        list.setColumnWidth(1, narrow);

        // Without headers: the same result as fitting row by row.
        QTreeWidget rowByRow;
        Fill(rowByRow, headers, rows);
        rowByRow.setColumnWidth(0, narrow);
        rowByRow.setColumnWidth(1, narrow);
        for (int r = 0; r < rows.size(); ++r)
            FitColumnsToRow(&rowByRow, r);

        FitColumns(&list, false);
        QCOMPARE(list.columnWidth(0), rowByRow.columnWidth(0));
        QCOMPARE(list.columnWidth(1), rowByRow.columnWidth(1));
        QCOMPARE(list.columnWidth(0), GetTextWidth(&list, S("12 MB")));
        QVERIFY(list.columnWidth(0) < GetTextWidth(&list, headers.at(0)));

        // With headers: the long header wins in column 0, the long cell still wins in column 1.
        FitColumns(&list, true);
        QCOMPARE(list.columnWidth(0), GetTextWidth(&list, headers.at(0)));
        QCOMPARE(list.columnWidth(1), GetTextWidth(&list, S("second-with-longer-name.tmp")));

        // A list without rows keeps its widths when headers are not wanted.
        QTreeWidget empty;
        Fill(empty, {S("Name")}, {});
        empty.setColumnWidth(0, narrow);
        FitColumns(&empty, false);
        QCOMPARE(empty.columnWidth(0), narrow);
        FitColumns(&empty, true);
        QCOMPARE(empty.columnWidth(0), GetTextWidth(&empty, S("Name")));
    }

    void selectedRowsComeInRowOrder() {
        QTreeWidget list;
        Fill(list, {S("Name")}, {{S("0")}, {S("1")}, {S("2")}, {S("3")}, {S("4")}, {S("5")}});
        QCOMPARE(GetFirstSelectedItem(&list), -1);
        QVERIFY(GetSelectedItems(&list).empty());

        SelectItem(&list, 4);
        SelectItem(&list, 1); // adds, does not replace
        QCOMPARE(GetFirstSelectedItem(&list), 1);
        QCOMPARE(GetSelectedItems(&list), std::vector<int>({1, 4}));

        int indices[5] = {9, 9, 9, 9, 9};
        GetSelectedItems(&list, 5, indices);
        QCOMPARE(std::vector<int>(indices, indices + 5), std::vector<int>({1, 4, 0, 0, 0}));

        int one[2] = {9, 9};
        GetSelectedItems(&list, 1, one);
        QCOMPARE(one[0], 1);
        QCOMPARE(one[1], 9); // beyond the capacity nothing is written

        GetSelectedItems(&list, 0, one);
        GetSelectedItems(&list, 3, nullptr);
        QCOMPARE(one[0], 1);

        // A single-selection list keeps one selected row.
        QTreeWidget single;
        Fill(single, {S("Name")}, {{S("0")}, {S("1")}, {S("2")}}, false);
        SelectItem(&single, 0);
        SelectItem(&single, 2);
        QCOMPARE(GetSelectedItems(&single), std::vector<int>({2}));
    }

    void selectionOfAHundredThousandRows() {
        QTreeWidget list;
        SetupReportList(&list, true);
        AddColumn(&list, 0, S("File"));
        constexpr int kRows = 100000;
        QList<QTreeWidgetItem*> items;
        items.reserve(kRows);
        for (int r = 0; r < kRows; ++r)
            items.append(new QTreeWidgetItem(QStringList{QString::number(r)}));
        list.addTopLevelItems(items);
        list.selectAll();
        list.topLevelItem(0)->setSelected(false);

        const std::vector<int> selected = GetSelectedItems(&list);
        std::vector<int> array(kRows + 10, -1);
        GetSelectedItems(&list, static_cast<int>(array.size()), array.data());
        const int first = GetFirstSelectedItem(&list);

        QCOMPARE(selected.size(), size_t(kRows - 1));
        QCOMPARE(selected.front(), 1);
        QCOMPARE(selected.back(), kRows - 1);
        QVERIFY(std::is_sorted(selected.begin(), selected.end()));
        QVERIFY(std::equal(selected.begin(), selected.end(), array.begin()));
        QCOMPARE(array[kRows - 1], 0); // the unused tail is zeroed
        QCOMPARE(first, 1);
    }

    void findItemByTextMatchesWholeLabelIgnoringCase() {
        QTreeWidget list;
        Fill(list, {S("Name"), S("Note")},
             {{S("Temporary"), S("Temp Files")}, {S("Temp Files"), S("")}, {S("TEMP FILES"), S("")}});
        QCOMPARE(FindItemByText(&list, S("temp files")), 1);
        QCOMPARE(FindItemByText(&list, S("Temp")), -1);
        QCOMPARE(FindItemByText(&list, S("Temp Files ")), -1);
        QCOMPARE(FindItemByText(&list, S("temporary")), 0);
        QCOMPARE(FindItemByText(&list, S("Note")), -1);
        QCOMPARE(FindItemByText(&list, QString()), -1);
    }

    void imageIndexRoundTripAndIconShown() {
        QTreeWidget list;
        Fill(list, {S("Name"), S("Size")}, {{S("a"), S("1")}, {S("b"), S("2")}, {S("c"), S("3")}});
        const QList<QIcon> images{SolidIcon(Qt::red), SolidIcon(Qt::blue)};
        SetImageList(&list, images);

        SetItemImage(&list, 0, 1);
        QCOMPARE(GetItemImage(&list, 0), 1);
        QCOMPARE(list.topLevelItem(0)->icon(0).cacheKey(), images.at(1).cacheKey());
        QVERIFY(list.topLevelItem(0)->icon(1).isNull());

        SetItemImage(&list, 1, 5); // no such image: kept, nothing shown
        QCOMPARE(GetItemImage(&list, 1), 5);
        QVERIFY(list.topLevelItem(1)->icon(0).isNull());
        QCOMPARE(GetItemImage(&list, 2), -1);

        SetItemImage(&list, 0, 0);
        QCOMPARE(list.topLevelItem(0)->icon(0).cacheKey(), images.at(0).cacheKey());

        // A new image list re-shows rows that already have an index.
        const QList<QIcon> more{SolidIcon(Qt::green), SolidIcon(Qt::black), SolidIcon(Qt::white),
                                SolidIcon(Qt::gray), SolidIcon(Qt::cyan), SolidIcon(Qt::yellow)};
        SetImageList(&list, more);
        QCOMPARE(list.topLevelItem(0)->icon(0).cacheKey(), more.at(0).cacheKey());
        QCOMPARE(list.topLevelItem(1)->icon(0).cacheKey(), more.at(5).cacheKey());
        QVERIFY(list.topLevelItem(2)->icon(0).isNull());

        const int row = InsertRow(&list, 1, {S("new"), S("4")}, 3);
        QCOMPARE(row, 1);
        QCOMPARE(GetItemImage(&list, 1), 3);
        QCOMPARE(list.topLevelItem(1)->icon(0).cacheKey(), more.at(3).cacheKey());
    }

    void aRowsImageLeavesItsTextTheRoomTheListNeeds() {
        QTreeWidget list;
        Fill(list, {S("Drive"), S("Type")}, {{S("C: /"), S("Fixed")}, {S("E: /media/alice/STICK"), S("Removable")}});
        SetImageList(&list, {SolidIcon(Qt::red), SolidIcon(Qt::blue)});
        SetItemImage(&list, 0, 0);
        SetItemImage(&list, 1, 1);
        FitColumns(&list, true);
        list.resize(600, 200);
        list.show();
        // What the list's own painting needs for image and text together (drive text not cut).
        for (int r = 0; r < 2; ++r) {
            const QModelIndex index = list.model()->index(r, 0);
            QStyleOptionViewItem option;
            option.initFrom(&list);
            option.decorationSize = list.iconSize();
            option.features |= QStyleOptionViewItem::HasDecoration;
            const int need = list.itemDelegate()->sizeHint(option, index).width();
            QVERIFY2(list.columnWidth(0) >= need,
                     qPrintable(QStringLiteral("%1 < %2").arg(list.columnWidth(0)).arg(need)));
        }
        // Columns without images keep the plain text-plus-M rule.
        QCOMPARE(list.columnWidth(1), GetTextWidth(&list, S("Removable")));
        list.hide();
    }

    void aNarrowCellShowsItsWholeTextAsTypedInATooltip() {
        QTreeWidget list;
        const QString path = S("/home/alice/<b>x</b>/a rather long folder name/report.doc.bak");
        Fill(list, {S("Size"), S("Filename")}, {{S("12"), path}, {S("7"), S("/a")}});
        list.setColumnWidth(1, 60);
        list.resize(300, 150);
        list.show();
        // The text of the tooltip a pause over the cell shows; empty when it shows none.
        auto tipAt = [&](int row, int column) {
            const QRect cell = list.visualRect(list.model()->index(row, column));
            QHelpEvent tip(QEvent::ToolTip, cell.center(), list.viewport()->mapToGlobal(cell.center()));
            QApplication::sendEvent(list.viewport(), &tip);
            return tip.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        const QString tip = tipAt(0, 1);
        QVERIFY(!tip.isEmpty());
        QVERIFY(Qt::mightBeRichText(tip));
        // The markup only wraps the text: what shows is the path exactly, "<b>" and all.
        QCOMPARE(QTextDocumentFragment::fromHtml(tip).toPlainText(), path);
        QCOMPARE(tipAt(1, 1), QString()); // "/a" shows whole: no tooltip
        QCOMPARE(tipAt(0, 0), QString());
        list.hide();
    }

    void itemDataRoundTrip() {
        QTreeWidget list;
        Fill(list, {S("Name")}, {{S("a")}, {S("b")}});
        const qint64 big = (qint64(1) << 40) + 3;
        SetItemData(&list, 1, big);
        SetItemData(&list, 0, -5);
        QCOMPARE(GetItemData(&list, 1), big);
        QCOMPARE(GetItemData(&list, 0), qint64(-5));
        InsertRow(&list, 0, {S("fresh")});
        QCOMPARE(GetItemData(&list, 0), qint64(0));
        QCOMPARE(GetItemData(&list, 2), big); // follows its row
    }

    void insertRowPlacesAndReportsIndex() {
        QTreeWidget list;
        Fill(list, {S("Name"), S("Size")}, {{S("a"), S("1")}, {S("c"), S("3")}});
        QCOMPARE(InsertRow(&list, 1, {S("b"), S("2")}), 1);
        QCOMPARE(InsertRow(&list, 50, {S("d"), S("4")}), 3);
        QCOMPARE(InsertRow(&list, -1, {S("never")}), -1);
        QCOMPARE(list.topLevelItemCount(), 4);
        for (int r = 0; r < 4; ++r)
            QCOMPARE(list.topLevelItem(r)->text(0), QString(QChar(u'a' + r)));
        QCOMPARE(RowTexts(list, 1), QStringList({S("b"), S("2")}));
        QCOMPARE(GetItemImage(&list, 1), -1);
    }

    void nullListAndMissingRowsAreHarmless() {
        QCOMPARE(GetColumnCount(nullptr), 0);
        QCOMPARE(FitColumnsToRow(nullptr, 0), 0);
        FitColumns(nullptr, true);
        QCOMPARE(GetTextWidth(nullptr, S("x")), 0);
        QCOMPARE(GetColumnText(nullptr, 0), QString());
        QCOMPARE(GetFirstSelectedItem(nullptr), -1);
        QVERIFY(GetSelectedItems(nullptr).empty());
        int indices[2] = {9, 9};
        GetSelectedItems(nullptr, 2, indices);
        QCOMPARE(indices[0], 0);
        QCOMPARE(indices[1], 0);
        QCOMPARE(FindItemByText(nullptr, S("x")), -1);
        QCOMPARE(InsertRow(nullptr, 0, {S("x")}), -1);
        QCOMPARE(GetItemImage(nullptr, 0), -1);
        QCOMPARE(GetItemData(nullptr, 0), qint64(0));
        SetupReportList(nullptr, true);
        SetImageList(nullptr, {});
        AddColumn(nullptr, 0, S("x"));
        SelectItem(nullptr, 0);
        SetItemImage(nullptr, 0, 0);
        SetItemData(nullptr, 0, 1);

        // A list with no columns: fitting reports none and touches nothing.
        QTreeWidget noColumns;
        SetupReportList(&noColumns, true);
        QCOMPARE(FitColumnsToRow(&noColumns, 0), 0);
        FitColumns(&noColumns, true);

        QTreeWidget list;
        Fill(list, {S("Name")}, {{S("a")}});
        for (int row : {-1, 1, 1000}) {
            SetItemImage(&list, row, 0);
            SetItemData(&list, row, 1);
            SelectItem(&list, row);
            QCOMPARE(GetItemImage(&list, row), -1);
            QCOMPARE(GetItemData(&list, row), qint64(0));
        }
        QCOMPARE(GetFirstSelectedItem(&list), -1);
        QCOMPARE(list.topLevelItemCount(), 1);
        QCOMPARE(GetItemData(&list, 0), qint64(0));
    }
};

QTEST_MAIN(ListViewHelpersTest)
#include "ListViewHelpersTest.moc"
