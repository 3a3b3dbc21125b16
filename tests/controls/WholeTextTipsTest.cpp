// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Long texts in narrow labels, edits and list cells: elided labels, and the whole text in a
// tooltip exactly when something is cut.
#include "controls/ListBoxHelpers.h"
#include "controls/WholeTextTips.h"

#include <QtGui/QTextDocumentFragment>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QToolTip>

namespace {

const QChar kEllipsis(u'\u2026');

// What a tooltip shows, without the markup that keeps it plain.
QString Shown(const QString& tip) { return QTextDocumentFragment::fromHtml(tip).toPlainText(); }

QString LongPath() {
    return QStringLiteral("/home/alice/Documents/projects/<b>x</b>/a rather long folder name/"
                          "and another one below it/report.doc.bak");
}

// The room the label's text has, as the label lays it out (frame, margin and indent off).
int TextRoom(const QLabel& label) {
    const int indent = label.indent() >= 0 ? label.indent()
                       : label.frameWidth() > 0
                           ? label.fontMetrics().horizontalAdvance(QChar(u'x')) / 2
                           : 0;
    return label.contentsRect().width() - 2 * label.margin() - indent;
}

// The tooltip a rest of the pointer at pos over the list shows; empty when it shows none.
QString TipAt(QAbstractItemView& view, QPoint pos) {
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, pos, view.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(view.viewport(), &help);
    return help.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
}

// Where the edit draws its cursor, its scrolling included.
QRect CursorRect(const QLineEdit& edit) {
    return edit.inputMethodQuery(Qt::ImCursorRectangle).toRect();
}

} // namespace

class WholeTextTipsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Every width below means nothing if the test font measures nothing.
        QVERIFY(QFontMetrics(QLabel().font()).horizontalAdvance(LongPath()) > 400);
    }

    void aLongPathIsElidedInTheMiddleWithTheWholeOneInTheTooltip() {
        QLabel label;
        label.setFrameShape(QFrame::Panel); // as the status fields are: frame and indent
        label.setFrameShadow(QFrame::Sunken);
        label.resize(200, 20);
        SetElidedText(&label, LongPath());

        const QString shown = label.text();
        QVERIFY(shown.contains(kEllipsis));
        QVERIFY(shown.startsWith(QStringLiteral("/home/")));
        QVERIFY(shown.endsWith(QStringLiteral("report.doc.bak")));
        QVERIFY(label.fontMetrics().horizontalAdvance(shown) <= TextRoom(label));
        QVERIFY(label.fontMetrics().horizontalAdvance(shown) > TextRoom(label) / 2);
        QCOMPARE(Shown(label.toolTip()), LongPath());
        QCOMPARE(GetWholeText(&label), LongPath());
        QCOMPARE(label.textFormat(), Qt::PlainText);
        QCOMPARE(label.size(), QSize(200, 20)); // the label never grows for its text
    }

    void aTooltipOnlyWhileTheTextDoesNotFit() {
        QLabel label;
        label.resize(200, 20);
        SetElidedText(&label, QStringLiteral("/srv/a"));
        QCOMPARE(label.text(), QStringLiteral("/srv/a"));
        QCOMPARE(label.toolTip(), QString());

        SetElidedText(&label, LongPath());
        QVERIFY(!label.toolTip().isEmpty());
        // Wider: the whole path fits and the tooltip goes. A hidden label (a page not shown)
        // hears of its new size when it is shown.
        label.resize(label.fontMetrics().horizontalAdvance(LongPath()) + 40, 20);
        label.show();
        QVERIFY(QTest::qWaitForWindowExposed(&label));
        QCOMPARE(label.text(), LongPath());
        QCOMPARE(label.toolTip(), QString());
        // Narrower again: elided again from the whole text, not from what was shown.
        label.resize(150, 20);
        QVERIFY(label.text().contains(kEllipsis));
        QVERIFY(label.text().endsWith(QStringLiteral(".bak")));
        QCOMPARE(Shown(label.toolTip()), LongPath());
        // Short text after a long one leaves no stale tooltip.
        SetElidedText(&label, QStringLiteral("Done"));
        QCOMPARE(label.text(), QStringLiteral("Done"));
        QCOMPARE(label.toolTip(), QString());
        label.hide();
    }

    void markupStaysPlainText() {
        QLabel label;
        label.setTextFormat(Qt::AutoText);
        label.resize(300, 20);
        SetElidedText(&label, QStringLiteral("<b>x</b>"));
        QCOMPARE(label.textFormat(), Qt::PlainText);
        QCOMPARE(label.text(), QStringLiteral("<b>x</b>"));
        label.resize(120, 20);
        SetElidedText(&label, LongPath());
        QVERIFY(Qt::mightBeRichText(label.toolTip())); // markup that only wraps the text
        QCOMPARE(Shown(label.toolTip()), LongPath());
        QCOMPARE(label.textFormat(), Qt::PlainText);
    }

    void textSetDirectlyBecomesTheWholeText() {
        QLabel label;
        label.resize(150, 20);
        label.show();
        QVERIFY(QTest::qWaitForWindowExposed(&label));
        SetElidedText(&label, LongPath());
        label.setText(QStringLiteral("Stopped"));
        QCOMPARE(GetWholeText(&label), QStringLiteral("Stopped"));
        // A later resize keeps that text instead of bringing the old path back.
        label.resize(160, 20);
        QCOMPARE(label.text(), QStringLiteral("Stopped"));
        QCOMPARE(label.toolTip(), QString());
        label.hide();
        QCOMPARE(GetWholeText(nullptr), QString());
        SetElidedText(nullptr, LongPath()); // no label: nothing happens
    }

    void anEditTipsItsWholeTextOnlyWhileCut() {
        QLineEdit edit;
        edit.resize(150, 24);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        TipWholeTextWhenCut(&edit);
        TipWholeTextWhenCut(&edit); // a second call changes nothing
        QCOMPARE(edit.toolTip(), QString());
        edit.setText(LongPath());
        QCOMPARE(Shown(edit.toolTip()), LongPath());
        QCOMPARE(edit.text(), LongPath()); // an edit is never elided: it is typed in
        edit.setText(QStringLiteral("/srv"));
        QCOMPARE(edit.toolTip(), QString());

        edit.setText(LongPath());
        edit.resize(edit.fontMetrics().horizontalAdvance(LongPath()) + 60, 24);
        QCOMPARE(edit.toolTip(), QString());
        QCOMPARE(WholeTextTip(&edit), QString());
        edit.resize(100, 24);
        QCOMPARE(Shown(edit.toolTip()), LongPath());
        QCOMPARE(WholeTextTip(nullptr), QString());
        edit.hide();
    }

    void anEditsRoomIsWhatItShows() {
        // Just wide enough by the measure used, the edit shows the whole text: its cursor at
        // the end lies inside it. One pixel less and the tooltip comes.
        QLineEdit edit;
        const QString text = QStringLiteral("/home/alice/Music/album");
        edit.setText(text);
        TipWholeTextWhenCut(&edit);
        int width = 40;
        edit.resize(width, 24);
        QVERIFY(!WholeTextTip(&edit).isEmpty());
        while (!WholeTextTip(&edit).isEmpty() && width < 1000)
            edit.resize(++width, 24);
        QVERIFY(width < 1000);
        QCOMPARE(edit.toolTip(), QString());
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.home(false);
        edit.repaint();
        const int startX = CursorRect(edit).center().x();
        edit.end(false);
        edit.repaint(); // the edit scrolls its text when it paints
        QVERIFY(CursorRect(edit).center().x() - startX >=
                edit.fontMetrics().horizontalAdvance(text) - 1); // no scrolling was needed
        edit.resize(width - 1, 24);
        QVERIFY(!edit.toolTip().isEmpty());
        edit.hide();
    }

    void aListEntryCutByTheListShowsWholeOnHover() {
        QListWidget list;
        list.resize(160, 120);
        AddSortedEntry(&list, LongPath().toStdString());
        AddSortedEntry(&list, "/srv");
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const QPoint longEntry = list.visualItemRect(list.item(0)).topLeft() + QPoint(20, 4);
        const QPoint shortEntry = list.visualItemRect(list.item(1)).topLeft() + QPoint(10, 4);
        QCOMPARE(list.item(0)->text(), LongPath());
        QCOMPARE(Shown(TipAt(list, longEntry)), LongPath());
        QCOMPARE(Shown(CutCellTip(&list, longEntry)), LongPath());
        QCOMPARE(TipAt(list, shortEntry), QString());
        QCOMPARE(CutCellTip(&list, QPoint(10, 110)), QString()); // below the entries

        // Scrolled so far right that the short entry's start is out of view: it is cut too.
        list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum());
        QVERIFY(list.horizontalScrollBar()->value() > 20);
        const QRect shortRect = list.visualItemRect(list.item(1));
        QCOMPARE(Shown(CutCellTip(&list, QPoint(5, shortRect.center().y()))),
                 QStringLiteral("/srv"));

        // A tooltip of the entry's own is the list's to show.
        list.horizontalScrollBar()->setValue(0);
        list.item(0)->setToolTip(QStringLiteral("own"));
        QCOMPARE(TipAt(list, longEntry), QStringLiteral("own"));
        list.hide();
    }
};

QTEST_MAIN(WholeTextTipsTest)
#include "WholeTextTipsTest.moc"
