// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/WholeTextTips.h"

#include <QtCore/QEvent>
#include <QtCore/QVariant>
#include <QtGui/QFontMetrics>
#include <QtGui/QHelpEvent>
#include <QtWidgets/QAbstractItemDelegate>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOption>
#include <QtWidgets/QToolTip>

#include <algorithm>

namespace {

// Marks a viewport whose view already shows cut cells in tooltips.
const char* const kCellTipsProperty = "fwCellTips";

// The room QLabel gives its text: the contents rectangle less the margin and the indent it
// puts beside a framed label's text.
int LabelTextRoom(const QLabel* label) {
    int indent = label->indent();
    if (indent < 0)
        indent = label->frameWidth() > 0 ? label->fontMetrics().horizontalAdvance(QChar(u'x')) / 2
                                         : 0;
    return label->contentsRect().width() - 2 * label->margin() - indent;
}

// Keeps a label's whole text and shows as much of it as fits.
class CLabelElider : public QObject {
public:
    explicit CLabelElider(QLabel* label) : QObject(label), m_label(label) {
        label->installEventFilter(this);
    }

    static CLabelElider* Of(const QLabel* label) {
        for (QObject* child : label->children())
            if (auto* elider = dynamic_cast<CLabelElider*>(child))
                return elider;
        return nullptr;
    }

    void SetWhole(const QString& text) {
        m_whole = text;
        Show();
    }

    QString Whole() const {
        // Someone set the label's text directly: that text is the whole one now.
        return m_label->text() == m_shown ? m_whole : m_label->text();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Not a label any more: it is being destroyed.
        if (!qobject_cast<QLabel*>(watched))
            return false;
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::FontChange:
        case QEvent::ContentsRectChange:
            SetWhole(Whole());
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Show() {
        if (m_label->textFormat() != Qt::PlainText)
            m_label->setTextFormat(Qt::PlainText);
        m_shown = m_label->fontMetrics().elidedText(m_whole, Qt::ElideMiddle,
                                                    std::max(0, LabelTextRoom(m_label)));
        if (m_label->text() != m_shown)
            m_label->setText(m_shown);
        const QString tip = m_shown == m_whole ? QString() : PlainToolTip(m_whole);
        if (m_label->toolTip() != tip)
            m_label->setToolTip(tip);
    }

    QLabel* m_label;
    QString m_whole;
    QString m_shown;
};

// The room a line edit gives its text, as QLineEdit lays it out: the style's contents
// rectangle less the text margins and two pixels at either side.
int EditTextRoom(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth =
        edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                         : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QRect contents = edit->style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                               .marginsRemoved(edit->textMargins());
    return contents.width() - 2 * 2;
}

// Follows an edit's text and width with its tooltip.
class CEditTip : public QObject {
public:
    explicit CEditTip(QLineEdit* edit) : QObject(edit), m_edit(edit) {
        edit->installEventFilter(this);
        QObject::connect(edit, &QLineEdit::textChanged, this, [this] { Update(); });
        Update();
    }

    static bool IsOn(const QLineEdit* edit) {
        for (QObject* child : edit->children())
            if (dynamic_cast<CEditTip*>(child))
                return true;
        return false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!qobject_cast<QLineEdit*>(watched))
            return false; // being destroyed
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange ||
            event->type() == QEvent::StyleChange)
            Update();
        return false;
    }

private:
    void Update() {
        const QString tip = WholeTextTip(m_edit);
        if (m_edit->toolTip() != tip)
            m_edit->setToolTip(tip);
    }

    QLineEdit* m_edit;
};

// Shows a cut cell's whole text when the pointer rests on it.
class CCellTipFilter : public QObject {
public:
    explicit CCellTipFilter(QAbstractItemView* view) : QObject(view->viewport()), m_view(view) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ToolTip)
            return false;
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = m_view->indexAt(help->pos());
        // A tooltip the model gives is the view's to show.
        if (index.isValid() && !index.data(Qt::ToolTipRole).toString().isEmpty())
            return false;
        const QString tip = CutCellTip(m_view, help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        QToolTip::showText(help->globalPos(), tip, m_view->viewport(),
                           m_view->visualRect(index) & m_view->viewport()->rect());
        return true;
    }

private:
    QAbstractItemView* m_view;
};

} // namespace

QString PlainToolTip(const QString& text) {
    // A tooltip takes anything that looks like markup as markup; escaped, it shows as typed.
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

void SetElidedText(QLabel* label, const QString& text) {
    if (!label)
        return;
    CLabelElider* elider = CLabelElider::Of(label);
    if (!elider)
        elider = new CLabelElider(label);
    elider->SetWhole(text);
}

QString GetWholeText(const QLabel* label) {
    if (!label)
        return {};
    const CLabelElider* elider = CLabelElider::Of(label);
    return elider ? elider->Whole() : label->text();
}

void TipWholeTextWhenCut(QLineEdit* edit) {
    if (edit && !CEditTip::IsOn(edit))
        new CEditTip(edit);
}

QString WholeTextTip(const QLineEdit* edit) {
    if (!edit)
        return {};
    const QString text = edit->text();
    if (text.isEmpty() || edit->fontMetrics().horizontalAdvance(text) <= EditTextRoom(edit))
        return {};
    return PlainToolTip(text);
}

void TipCutCells(QAbstractItemView* view) {
    if (!view || view->viewport()->property(kCellTipsProperty).toBool())
        return;
    view->viewport()->setProperty(kCellTipsProperty, true);
    view->viewport()->installEventFilter(new CCellTipFilter(view));
}

QString CutCellTip(const QAbstractItemView* view, QPoint pos) {
    if (!view)
        return {};
    const QModelIndex index = view->indexAt(pos);
    const QString text = index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
    QAbstractItemDelegate* delegate = index.isValid() ? view->itemDelegateForIndex(index) : nullptr;
    if (text.isEmpty() || !delegate)
        return {};
    // What the cell needs to show whole (text, image and margins), as its delegate measures.
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.widget = view;
    option.font = view->font();
    option.fontMetrics = view->fontMetrics();
    option.decorationSize = view->iconSize().isValid()
                                ? view->iconSize()
                                : QSize(view->style()->pixelMetric(QStyle::PM_SmallIconSize),
                                        view->style()->pixelMetric(QStyle::PM_SmallIconSize));
    option.textElideMode = view->textElideMode();
    const QRect cell = view->visualRect(index);
    option.rect = cell;
    const int need = delegate->sizeHint(option, index).width();
    // Where the contents lie in the cell, and whether all of them are in view.
    const bool right = (Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()) &
                        Qt::AlignRight) != 0;
    const int left = right ? cell.right() + 1 - need : cell.left();
    const QRect shown = view->viewport()->rect();
    const bool whole = need <= cell.width() && left >= shown.left() &&
                       left + need <= shown.right() + 1;
    return whole ? QString() : PlainToolTip(text);
}
