// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/CCheckMarkList.h"
#include "controls/ListBoxHelpers.h"
#include "controls/ListViewHelpers.h"

#include <QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QTreeWidget>

namespace {

void ClickRow(QTreeWidget& list, int row, Qt::KeyboardModifiers modifiers = {}) {
    QTreeWidgetItem* item = list.topLevelItem(row);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers,
                      list.visualItemRect(item).center());
}

// A shown list of three rows: A checked, B not, C checked.
struct Shown {
    QTreeWidget list;
    CCheckMarkList checks;
    int toggles = 0;
    explicit Shown(bool multiSelect = true) {
        checks.Attach(&list, multiSelect, [this] { ++toggles; });
        AddColumn(&list, 0, QStringLiteral("Name"));
        checks.InsertRow(0, {QStringLiteral("A")}, true);
        checks.InsertRow(1, {QStringLiteral("B")}, false);
        checks.InsertRow(5, {QStringLiteral("C")}, true); // past the end appends
        list.resize(200, 150);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
    }
};

} // namespace

class CheckMarkListTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void rowsShowTheirMarkAsTheirImage() {
        Shown s;
        QCOMPARE(s.checks.GetList(), &s.list);
        QCOMPARE(s.checks.GetRowCount(), 3);
        QCOMPARE(s.list.topLevelItem(2)->text(0), QStringLiteral("C"));
        QCOMPARE(GetItemImage(&s.list, 0), CCheckMarkList::kCheckedImage);
        QCOMPARE(GetItemImage(&s.list, 1), CCheckMarkList::kUncheckedImage);
        for (int r = 0; r < 3; ++r)
            QVERIFY(!s.list.topLevelItem(r)->icon(0).isNull());
        QCOMPARE(s.checks.GetChecks(), (std::vector<bool>{true, false, true}));
        QCOMPARE(s.checks.GetCheckedRows(), (std::vector<int>{0, 2}));
        QVERIFY(s.checks.AnyChecked());
        QVERIFY(!s.checks.IsChecked(3));
        QVERIFY(!s.checks.IsChecked(-1));
        QCOMPARE(s.list.selectionMode(), QAbstractItemView::ExtendedSelection);

        s.checks.SetChecked(0, false);
        s.checks.SetChecked(2, false);
        QVERIFY(!s.checks.AnyChecked());
        QVERIFY(s.checks.GetCheckedRows().empty());
        QCOMPARE(s.toggles, 0); // only the user's toggles are told
    }

    void aClickTogglesTheTopmostSelectedRow() {
        Shown s;
        ClickRow(s.list, 1);
        QCOMPARE(s.checks.GetChecks(), (std::vector<bool>{true, true, true}));
        ClickRow(s.list, 1);
        QCOMPARE(s.checks.GetChecks(), (std::vector<bool>{true, false, true}));
        QCOMPARE(s.toggles, 2);
        // Rows 0 and 2 selected: the click on row 2 flips row 0.
        ClickRow(s.list, 0);
        ClickRow(s.list, 2, Qt::ControlModifier);
        QCOMPARE(GetSelectedItems(&s.list), (std::vector<int>{0, 2}));
        QCOMPARE(s.checks.GetChecks(), (std::vector<bool>{true, false, true}));
        QCOMPARE(s.toggles, 4);

        // A double click toggles once, as its first click.
        const QPoint at = s.list.visualItemRect(s.list.topLevelItem(1)).center();
        QTest::mousePress(s.list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(s.list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(s.list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(s.list.viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(s.checks.GetChecks(), (std::vector<bool>{true, true, true}));
        QCOMPARE(s.toggles, 5);
    }

    void keysMoveTheSelectionButNeverToggle() {
        Shown s;
        ClickRow(s.list, 0);
        const std::vector<bool> before = s.checks.GetChecks();
        s.list.setFocus();
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Down, Qt::Key_Return, Qt::Key_Space})
            QTest::keyClick(&s.list, key);
        QCOMPARE(s.checks.GetChecks(), before);
        QCOMPARE(GetFirstSelectedItem(&s.list), 1);
    }

    void withoutASelectionNothingToggles() {
        Shown s;
        s.list.clearSelection();
        QVERIFY(!s.checks.ToggleFirstSelected());
        QCOMPARE(s.toggles, 0);
        QCOMPARE(s.checks.GetChecks(), (std::vector<bool>{true, false, true}));
        CCheckMarkList none;
        none.Attach(nullptr, false);
        QCOMPARE(none.GetRowCount(), 0);
        QVERIFY(!none.AnyChecked());
        QCOMPARE(none.InsertRow(0, {QStringLiteral("x")}, true), -1);
    }

    void theSelectionStaysVisibleWithoutTheFocus() {
        Shown s;
        const QPalette p = s.list.palette();
        QCOMPARE(p.color(QPalette::Inactive, QPalette::Highlight),
                 p.color(QPalette::Active, QPalette::Highlight));
    }

    void sortedListBoxesIgnoreCase() {
        QListWidget box;
        for (const char* entry : {"b.x", "A.y", "*.tmp", "a.Y"})
            AddSortedEntry(&box, entry);
        QCOMPARE(GetListBoxEntries(&box), (std::vector<std::string>{"*.tmp", "A.y", "a.Y", "b.x"}));
        QCOMPARE(GetSelectedEntry(&box), -1);
        box.item(2)->setSelected(true);
        QCOMPARE(GetSelectedEntry(&box), 2);
        QCOMPARE(AddSortedEntry(nullptr, "x"), -1);
        QVERIFY(GetListBoxEntries(nullptr).empty());
    }
};

QTEST_MAIN(CheckMarkListTest)
#include "CheckMarkListTest.moc"
