// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Every dialog template in the user's font: dialog units follow the font, no control overlaps
// another, no text is cut, and an enlarged window gives its room to the list.
#include "framework/TemplateLayout.h"
#include "framework/CTemplateWnd.h"

#include "ui_dlg100_about.h"
#include "ui_dlg129_start.h"
#include "ui_dlg131_input.h"
#include "ui_dlg132_drives.h"
#include "ui_dlg133_scan.h"
#include "ui_dlg134_delete.h"
#include "ui_dlg135_patterns.h"
#include "ui_dlg136_fileprops.h"
#include "ui_dlg148_newprofile.h"
#include "ui_dlg149_folders2scan.h"
#include "ui_dlg158_schedsetup.h"
#include "ui_dlg159_scheddelete.h"
#include "ui_dlg160_status.h"
#include "ui_dlg163_foldererror.h"
#include "ui_dlg170_schedwhen.h"

#include <QtTest/QtTest>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QStyle>

#include <memory>
#include <vector>

namespace {

struct Template {
    const char* name;
    TemplateSetup setup;
};

std::vector<Template> AllTemplates() {
    return {{"about", FromForm<Ui::Dlg100About>()},
            {"start", FromForm<Ui::Dlg129Start>()},
            {"input", FromForm<Ui::Dlg131Input>()},
            {"drives", FromForm<Ui::Dlg132Drives>()},
            {"scan", FromForm<Ui::Dlg133Scan>()},
            {"delete", FromForm<Ui::Dlg134Delete>()},
            {"patterns", FromForm<Ui::Dlg135Patterns>()},
            {"fileprops", FromForm<Ui::Dlg136FileProps>()},
            {"newprofile", FromForm<Ui::Dlg148NewProfile>()},
            {"folders2scan", FromForm<Ui::Dlg149Folders2Scan>()},
            {"schedsetup", FromForm<Ui::Dlg158SchedSetup>()},
            {"scheddelete", FromForm<Ui::Dlg159SchedDelete>()},
            {"schedwhen", FromForm<Ui::Dlg170SchedWhen>()},
            {"status", FromForm<Ui::Dlg160Status>()},
            {"foldererror", FromForm<Ui::Dlg163FolderError>()}};
}

// A window made from the template as the program makes it.
std::unique_ptr<QWidget> Make(const Template& t) {
    auto w = std::make_unique<QWidget>();
    t.setup(w.get());
    FitTemplateToFont(w.get());
    return w;
}

std::vector<QWidget*> Controls(QWidget* w) {
    std::vector<QWidget*> controls;
    for (QWidget* c : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        controls.push_back(c);
    return controls;
}

QStringList Names(std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* n : names)
        list << QString::fromUtf8(n);
    return list;
}

QString Plain(QString text) { return text.remove(QLatin1Char('&')); }

// What of the control's text does not fit its place; empty when all of it shows.
QString Cut(QWidget* c) {
    const QRect g = c->geometry();
    QSize need;
    if (auto* label = qobject_cast<QLabel*>(c)) {
        if (label->text().isEmpty())
            return {};
        need = label->wordWrap() ? QSize(0, label->heightForWidth(g.width())) : label->sizeHint();
    } else if (auto* button = qobject_cast<QPushButton*>(c)) {
        // The style's minimum width is no part of the text.
        const int margin = c->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, c);
        need = QSize(c->fontMetrics().horizontalAdvance(Plain(button->text())) + 2 * margin,
                     button->sizeHint().height() - 2);
    } else if (qobject_cast<QCheckBox*>(c) || qobject_cast<QRadioButton*>(c)) {
        // Box and text across; down, the line of text (the hint adds a focus frame).
        need = QSize(c->sizeHint().width(), c->fontMetrics().height());
    } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
        need = QSize(0, edit->minimumSizeHint().height());
    } else if (auto* group = qobject_cast<QGroupBox*>(c)) {
        need = QSize(c->fontMetrics().horizontalAdvance(Plain(group->title())), 0);
    } else {
        return {};
    }
    if (need.width() <= g.width() && need.height() <= g.height())
        return {};
    return QStringLiteral("%1 needs %2x%3, has %4x%5")
        .arg(c->objectName())
        .arg(need.width())
        .arg(need.height())
        .arg(g.width())
        .arg(g.height());
}

// Two controls overlap unless one is a group box around the other.
QString Overlap(QWidget* a, QWidget* b) {
    const QRect ga = a->geometry(), gb = b->geometry();
    if (!ga.intersects(gb))
        return {};
    if ((qobject_cast<QGroupBox*>(a) && ga.contains(gb)) ||
        (qobject_cast<QGroupBox*>(b) && gb.contains(ga)))
        return {};
    return a->objectName() + QStringLiteral(" overlaps ") + b->objectName();
}

QStringList Faults(QWidget* w) {
    QStringList faults;
    const std::vector<QWidget*> controls = Controls(w);
    for (size_t i = 0; i < controls.size(); ++i) {
        if (const QString cut = Cut(controls[i]); !cut.isEmpty())
            faults << cut;
        if (!QRect(QPoint(0, 0), w->size()).contains(controls[i]->geometry()))
            faults << controls[i]->objectName() + QStringLiteral(" leaves the window");
        for (size_t j = i + 1; j < controls.size(); ++j)
            if (const QString o = Overlap(controls[i], controls[j]); !o.isEmpty())
                faults << o;
    }
    return faults;
}

// The list or text box that takes an enlarged window's room.
QAbstractScrollArea* MainList(QWidget* w) {
    QAbstractScrollArea* main = nullptr;
    for (auto* a : w->findChildren<QAbstractScrollArea*>(Qt::FindDirectChildrenOnly))
        if (!main || a->width() * a->height() > main->width() * main->height())
            main = a;
    return main;
}

class ScopedAppFont {
public:
    explicit ScopedAppFont(int points) : m_saved(QApplication::font()) {
        QFont f = m_saved;
        f.setPointSize(points);
        QApplication::setFont(f);
    }
    ~ScopedAppFont() { QApplication::setFont(m_saved); }

private:
    QFont m_saved;
};

} // namespace

class TemplateLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void dialogUnitsFollowTheFont() {
        QFont small = QApplication::font(), large = small;
        small.setPointSize(8);
        large.setPointSize(16);
        const FontCell a = MeasureFontCell(small), b = MeasureFontCell(large);
        QVERIFY(a.width > 0 && a.height > 0);
        QVERIFY(b.width > 1.7 * a.width && b.height > 1.7 * a.height);

        // Each edge is scaled on its own: neighbours that touch still touch, gaps stay gaps.
        const QRect left(10, 10, 33, 23), right(43, 10, 33, 23), below(10, 34, 33, 23);
        for (double s : {1.0, 1.09, 1.5, 1.91, 2.37}) {
            const QRect l = ScaleRect(left, s, s), r = ScaleRect(right, s, s),
                        d = ScaleRect(below, s, s);
            QCOMPARE(l.right() + 1, r.left());
            QVERIFY(!l.intersects(r) && !l.intersects(d));
            QVERIFY(d.top() > l.bottom() + 1);
        }
        QCOMPARE(ScaleRect(left, 1.0, 1.0), left);
        QCOMPARE(ScaleRect(QRect(100, 200, 80, 20), 2.0, 1.5), QRect(200, 300, 160, 30));
    }

    void aWindowInTheTemplatesFontKeepsItsPixels() {
        QFont f = QApplication::font();
        f.setPointSize(8);
        const FontCell cell = MeasureFontCell(f);
        // The cell the templates were laid out for is that of an 8-point sans-serif font.
        if (std::abs(cell.width - kTemplateCell.width) > 0.05 || cell.height != kTemplateCell.height)
            QSKIP("the desktop's sans-serif font is not the one the templates were made with");
        const ScopedAppFont font(8);
        QWidget reference;
        FromForm<Ui::Dlg134Delete>()(&reference);
        const auto w = Make({"delete", FromForm<Ui::Dlg134Delete>()});
        QCOMPARE(w->size(), reference.size());
        const auto a = Controls(w.get());
        const auto b = Controls(&reference);
        QCOMPARE(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i)
            QCOMPARE(a[i]->geometry(), b[i]->geometry());
    }

    void stretchMovesWhatLiesBeyondAndGrowsWhatSpansTheEdge() {
        const QRect r(10, 20, 100, 50);
        QCOMPARE(StretchRect(r, {}, QSize(40, 30)), r);
        QCOMPARE(StretchRect(r, {true, false, false, false}, QSize(40, 30)), QRect(50, 20, 100, 50));
        QCOMPARE(StretchRect(r, {false, true, false, true}, QSize(40, 30)), QRect(10, 20, 140, 80));
        QCOMPARE(StretchRect(r, {false, false, true, false}, QSize(40, 30)), QRect(10, 50, 100, 50));
        // A window smaller than its template moves nothing back over its neighbours.
        QCOMPARE(StretchRect(r, {true, true, true, true}, QSize(-40, -30)), r);
    }

    void everyTemplateFitsItsTextAtTheDefaultAndALargeFont_data() {
        QTest::addColumn<int>("points");
        QTest::newRow("desktop default") << 0;
        QTest::newRow("16 points") << 16;
        QTest::newRow("20 points") << 20;
    }
    void everyTemplateFitsItsTextAtTheDefaultAndALargeFont() {
        QFETCH(int, points);
        std::unique_ptr<ScopedAppFont> font;
        if (points)
            font = std::make_unique<ScopedAppFont>(points);
        QStringList faults;
        for (const Template& t : AllTemplates()) {
            const auto w = Make(t);
            for (const QString& f : Faults(w.get()))
                faults << QString::fromUtf8(t.name) + QStringLiteral(": ") + f;
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("\n"))));
    }

    void anEnlargedWindowGivesItsRoomToTheList_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("moved");  // follow the list's right or bottom edge
        QTest::addColumn<QStringList>("stayed"); // keep their place and size
        QTest::newRow("start") << 1 << Names({"add", "viewLog", "note", "about", "liveUpdate"})
                               << Names({"picture"});
        QTest::newRow("drives") << 3 << Names({"selectAll"}) << Names({"picture"});
        QTest::newRow("scan") << 4 << Names({"progress", "processing"})
                              << Names({"start", "stop", "open", "animation"});
        QTest::newRow("delete") << 5
                                << Names({"selectAll", "deselectAll", "total", "dispose",
                                               "deleteMethod", "methods"})
                                << Names({});
        QTest::newRow("folders2scan") << 9 << Names({"add", "remove"}) << Names({});
    }
    void anEnlargedWindowGivesItsRoomToTheList() {
        QFETCH(int, index);
        QFETCH(QStringList, moved);
        QFETCH(QStringList, stayed);
        for (int points : {0, 16}) {
            std::unique_ptr<ScopedAppFont> font;
            if (points)
                font = std::make_unique<ScopedAppFont>(points);
            const auto w = Make(AllTemplates()[size_t(index)]);
            QHash<QString, QRect> before;
            for (QWidget* c : Controls(w.get()))
                before[c->objectName()] = c->geometry();
            QAbstractScrollArea* list = MainList(w.get());
            QVERIFY(list);
            const QSize growth(150, 90);
            w->show();
            w->resize(w->size() + growth);
            QCOMPARE(list->size(), before[list->objectName()].size() + growth);
            for (const QString& name : moved) {
                QWidget* c = w->findChild<QWidget*>(name);
                QVERIFY2(c, qPrintable(name));
                const QRect was = before[name];
                // Beyond the list's right edge it moves across, below its bottom it moves down;
                // a field spanning the edge grows instead.
                QVERIFY2(c->geometry() != was, qPrintable(name));
                QVERIFY2(c->x() + c->width() == was.x() + was.width() + growth.width() ||
                             c->y() == was.y() + growth.height(),
                         qPrintable(name));
            }
            for (const QString& name : stayed) {
                QWidget* c = w->findChild<QWidget*>(name);
                QVERIFY2(c, qPrintable(name));
                QCOMPARE(c->geometry(), before[name]);
            }
            const QStringList faults = Faults(w.get());
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("\n"))));
        }
    }

    void labelsShowTheirTextAsItIs() {
        const auto w = Make(AllTemplates()[7]); // file properties: several labels
        const QList<QLabel*> labels = w->findChildren<QLabel*>();
        QVERIFY(!labels.isEmpty());
        for (QLabel* label : labels)
            QCOMPARE(label->textFormat(), Qt::PlainText);
        QLabel* label = labels.front();
        label->setWordWrap(false);
        label->setText(QStringLiteral("<b>x</b>"));
        // Shown as the eight characters typed, not as a bold x.
        QCOMPARE(label->sizeHint().width() - label->contentsMargins().left() -
                     label->contentsMargins().right() - 2 * label->margin(),
                 label->fontMetrics().horizontalAdvance(QStringLiteral("<b>x</b>")));
    }
};

QTEST_MAIN(TemplateLayoutTest)
#include "TemplateLayoutTest.moc"
