// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/CFoundFilesView.h"

#include "controls/ListViewHelpers.h"
#include "controls/WholeTextTips.h"

#include <QtCore/QItemSelectionModel>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionViewItem>

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// How many of a column's longest texts are measured when rows come.
constexpr std::size_t kMeasured = 8;

// The rows with the greatest keys among those offered, at most kMeasured of them.
class Longest {
public:
    void Offer(std::uint64_t key, int row) {
        if (m_count < kMeasured) {
            m_rows[m_count++] = {key, row};
            return;
        }
        auto least = std::min_element(m_rows.begin(), m_rows.end());
        if (key > least->first)
            *least = {key, row};
    }
    template <class F> void ForEach(F&& f) const {
        for (std::size_t i = 0; i < m_count; ++i)
            f(m_rows[i].second);
    }

private:
    std::array<std::pair<std::uint64_t, int>, kMeasured> m_rows{};
    std::size_t m_count = 0;
};

int Digits(std::uint64_t v) {
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

} // namespace

CFoundFilesView::CFoundFilesView(QWidget* parent) : QTableView(parent) { setModel(&m_model); }

void CFoundFilesView::Setup(bool multiSelect) {
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(multiSelect ? QAbstractItemView::ExtendedSelection
                                 : QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    // As high as the style makes a row of text in the other lists.
    QStyleOptionViewItem item;
    initViewItemOption(&item);
    item.features |= QStyleOptionViewItem::HasDisplay;
    item.text = QStringLiteral("Xg");
    rows->setDefaultSectionSize(
        style()->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), this).height());
    QHeaderView* columns = horizontalHeader();
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    columns->setSectionsMovable(false); // column indices are also the visible order
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The style's minimum would override the widths we measure for short headers; one "M"
    // is what every measured width includes anyway.
    columns->setMinimumSectionSize(GetTextWidth(this, QString()));
    TipCutCells(this);
    for (int c = 0; c < m_model.columnCount(); ++c)
        setColumnWidth(c, GetTextWidth(this, m_model.headerData(c, Qt::Horizontal).toString()));
}

std::vector<int> CFoundFilesView::SelectedRows() const {
    std::vector<int> rows;
    if (!selectionModel())
        return rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int CFoundFilesView::FirstSelectedRow() const {
    if (!selectionModel())
        return -1;
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        if (first < 0 || range.top() < first)
            first = range.top();
    return first;
}

bool CFoundFilesView::IsRowSelected(int row) const {
    return selectionModel() && selectionModel()->isRowSelected(row, {});
}

void CFoundFilesView::SelectRow(int row, bool select) {
    if (!selectionModel() || row < 0 || row >= RowCount())
        return;
    selectionModel()->select(m_model.index(row, 0),
                             (select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                 QItemSelectionModel::Rows);
}

int CFoundFilesView::WidestTimeText() const {
    // A time's text is "HH:MM:SS Weekday, Month DD, YYYY" in English: no time's text is
    // wider than the one with the widest names and digits, measured once.
    if (m_widestTime >= 0)
        return m_widestTime;
    static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    static const char* const kMonths[] = {"January", "February", "March",     "April",
                                          "May",     "June",     "July",      "August",
                                          "September", "October", "November", "December"};
    const auto widest = [this](const auto& names) {
        QString best;
        int width = -1;
        for (const char* name : names) {
            const int w = GetTextWidth(this, QString::fromLatin1(name));
            if (w > width) {
                width = w;
                best = QString::fromLatin1(name);
            }
        }
        return best;
    };
    QString digit;
    int digitWidth = -1;
    for (char d = '0'; d <= '9'; ++d) {
        const int w = GetTextWidth(this, QString(QChar::fromLatin1(d)));
        if (w > digitWidth) {
            digitWidth = w;
            digit = QString(QChar::fromLatin1(d));
        }
    }
    const QString text = digit.repeated(2) + QLatin1Char(':') + digit.repeated(2) +
                         QLatin1Char(':') + digit.repeated(2) + QLatin1Char(' ') + widest(kDays) +
                         QStringLiteral(", ") + widest(kMonths) + QLatin1Char(' ') +
                         digit.repeated(2) + QStringLiteral(", ") + digit.repeated(4);
    m_widestTime = GetFitTextWidth(this, text);
    return m_widestTime;
}

void CFoundFilesView::WidenColumnsFrom(int firstRow) {
    const CFoundStore* store = m_model.Store();
    const int rows = RowCount();
    if (!store || firstRow >= rows)
        return;
    Longest sizes, paths;
    bool anyTime = false;
    for (int r = std::max(firstRow, 0); r < rows; ++r) {
        const std::size_t file = m_model.FileOf(r);
        if (store->HasSize(file)) {
            sizes.Offer(static_cast<std::uint64_t>(Digits(store->Size(file))), r);
            anyTime = true;
        }
        paths.Offer(store->Path(file).size(), r);
    }
    const auto widen = [this](int column, int width) {
        if (columnWidth(column) < width)
            setColumnWidth(column, width);
    };
    sizes.ForEach([&](int r) { widen(CFoundFilesModel::kColSize, GetFitTextWidth(this, Text(r, CFoundFilesModel::kColSize))); });
    paths.ForEach([&](int r) { widen(CFoundFilesModel::kColPath, GetFitTextWidth(this, Text(r, CFoundFilesModel::kColPath))); });
    if (anyTime)
        widen(CFoundFilesModel::kColTime, WidestTimeText());
}
