// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "framework/TemplateLayout.h"

#include <QtCore/QEvent>
#include <QtCore/QPointer>
#include <QtGui/QFontMetricsF>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QProgressBar>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const char* const kRuleProperty = "fwStretchRule";

int Scale(int v, double s) { return static_cast<int>(std::lround(v * s)); }

// Widgets that only group other template controls: their children are template controls too.
bool IsContainer(const QWidget* w) {
    const QMetaObject* m = w->metaObject();
    return m == &QWidget::staticMetaObject || m == &QFrame::staticMetaObject ||
           m == &QGroupBox::staticMetaObject;
}

bool CanGrowAcross(const QWidget* w) {
    return qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QLabel*>(w) || qobject_cast<const QProgressBar*>(w) || IsContainer(w);
}

bool CanGrowDown(const QWidget* w) {
    return qobject_cast<const QAbstractScrollArea*>(w) || IsContainer(w);
}

std::vector<QWidget*> TemplateControls(QWidget* parent) {
    std::vector<QWidget*> controls;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow())
            controls.push_back(child);
    return controls;
}

void ScaleControls(QWidget* parent, double sx, double sy) {
    for (QWidget* c : TemplateControls(parent)) {
        c->setGeometry(ScaleRect(c->geometry(), sx, sy));
        if (IsContainer(c))
            ScaleControls(c, sx, sy);
    }
}

// Keeps the window's template controls where the rules put them whenever it is resized.
class CStretcher : public QObject {
public:
    explicit CStretcher(QWidget* window) : QObject(window), m_base(window->size()) {
        window->installEventFilter(this);
    }
    void Add(QWidget* control, StretchRule rule) {
        control->setProperty(kRuleProperty, QVariant::fromValue(QList<bool>{
                                                rule.moveX, rule.growX, rule.moveY, rule.growY}));
        m_controls.push_back({control, control->geometry(), rule});
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched == parent()) {
            const QSize now = static_cast<QWidget*>(watched)->size();
            const QSize growth(std::max(0, now.width() - m_base.width()),
                               std::max(0, now.height() - m_base.height()));
            for (const Control& c : m_controls)
                if (c.widget)
                    c.widget->setGeometry(StretchRect(c.base, c.rule, growth));
        }
        return false;
    }

private:
    struct Control {
        QPointer<QWidget> widget;
        QRect base;
        StretchRule rule;
    };
    QSize m_base;
    std::vector<Control> m_controls;
};

void MakeStretchable(QWidget* window, double sx, double sy) {
    const std::vector<QWidget*> controls = TemplateControls(window);
    const QWidget* main = nullptr;
    for (const QWidget* c : controls)
        if (qobject_cast<const QAbstractScrollArea*>(c) &&
            (!main || c->width() * c->height() > main->width() * main->height()))
            main = c;
    if (!main)
        return; // nothing to give the room to: every control keeps its place
    // Controls that end a little short of the list's edge (a field above it) still count as
    // spanning it.
    const int edgeX = main->geometry().right() + 1 - Scale(8, sx);
    const int edgeY = main->geometry().bottom() + 1 - Scale(8, sy);
    auto* stretcher = new CStretcher(window);
    for (QWidget* c : controls) {
        const QRect r = c->geometry();
        StretchRule rule;
        rule.moveX = r.left() >= edgeX;
        rule.growX = !rule.moveX && r.right() + 1 > edgeX && CanGrowAcross(c);
        rule.moveY = r.top() >= edgeY;
        rule.growY = !rule.moveY && r.bottom() + 1 > edgeY && CanGrowDown(c);
        stretcher->Add(c, rule);
    }
}

} // namespace

FontCell MeasureFontCell(const QFont& font) {
    const QFontMetricsF metrics(font);
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {metrics.horizontalAdvance(letters) / letters.size(),
            static_cast<int>(std::ceil(metrics.height()))};
}

QRect ScaleRect(const QRect& r, double sx, double sy) {
    const int left = Scale(r.x(), sx);
    const int top = Scale(r.y(), sy);
    return {left, top, Scale(r.x() + r.width(), sx) - left, Scale(r.y() + r.height(), sy) - top};
}

QRect StretchRect(const QRect& base, StretchRule rule, QSize growth) {
    const int dx = std::max(0, growth.width());
    const int dy = std::max(0, growth.height());
    return {base.x() + (rule.moveX ? dx : 0), base.y() + (rule.moveY ? dy : 0),
            base.width() + (rule.growX ? dx : 0), base.height() + (rule.growY ? dy : 0)};
}

void FitTemplateToFont(QWidget* window) {
    const FontCell cell = MeasureFontCell(window->font());
    const double sx = cell.width > 0 ? cell.width / kTemplateCell.width : 1.0;
    const double sy = cell.height > 0 ? double(cell.height) / kTemplateCell.height : 1.0;
    window->resize(Scale(window->width(), sx), Scale(window->height(), sy));
    ScaleControls(window, sx, sy);
    for (QLabel* label : window->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    MakeStretchable(window, sx, sy);
}

StretchRule GetStretchRule(const QWidget* control) {
    const QList<bool> v = control ? control->property(kRuleProperty).value<QList<bool>>()
                                  : QList<bool>();
    if (v.size() != 4)
        return {};
    return {v[0], v[1], v[2], v[3]};
}
