// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/ListViewHelpers.h"

#include "controls/WholeTextTips.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QSize>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QVariant>

#include <algorithm>

namespace {

// Dynamic property holding the list's images.
constexpr const char* kImagesProperty = "fernwickListImages";

// Longest part of a cell's text that column fitting looks at.
constexpr int kFitTextLimit = 254;
constexpr qsizetype kColumnTextLimit = 255;

QTreeWidgetItem* Row(QTreeWidget* list, int row) {
    if (!list || row < 0 || row >= list->topLevelItemCount())
        return nullptr;
    return list->topLevelItem(row);
}

QList<QIcon> Images(const QTreeWidget* list) {
    return list->property(kImagesProperty).value<QList<QIcon>>();
}

void ShowImage(QTreeWidgetItem* item, const QList<QIcon>& images, int image) {
    item->setIcon(0, image >= 0 && image < images.size() ? images.at(image) : QIcon());
}

// Measures with one font set-up, so fitting thousands of cells does not rebuild it per cell.
class TextMeasure {
public:
    explicit TextMeasure(const QWidget* list)
        : metrics_(list->font()), margin_(metrics_.horizontalAdvance(QChar(u'M'))) {}

    int operator()(const QString& text, int maxLength = -1) const {
        int length = -1;
        if (maxLength >= 0 && text.size() > maxLength)
            length = maxLength;
        // Widths are kept as 16-bit values, as list columns always have been; an absurdly
        // long text wraps rather than growing a column without bound.
        return static_cast<qint16>(metrics_.horizontalAdvance(text, length)) + margin_;
    }

private:
    QFontMetrics metrics_;
    int margin_;
};

// Room a row's image takes in front of its first column's text.
int ImageRoom(const QTreeWidget* list, const QTreeWidgetItem* item, int column) {
    if (column != 0 || !item || item->icon(0).isNull())
        return 0;
    return list->iconSize().width() +
           2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
}

void WidenColumn(QTreeWidget* list, int column, int width) {
    if (list->columnWidth(column) < width)
        list->setColumnWidth(column, width);
}

} // namespace

void SetupReportList(QTreeWidget* list, bool multiSelect) {
    if (!list)
        return;
    // Qt gives every tree one column headed "1"; a report list starts with none.
    if (list->columnCount() == 1 && list->topLevelItemCount() == 0 &&
        list->headerItem()->text(0) == QStringLiteral("1"))
        list->setColumnCount(0);
    SetupReportView(list, multiSelect);
}

void SetupReportView(QTreeView* list, bool multiSelect) {
    if (!list)
        return;
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setExpandsOnDoubleClick(false);
    list->setUniformRowHeights(true); // row heights are not measured one by one on long lists
    list->setIconSize(QSize(16, 16));
    list->setAllColumnsShowFocus(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(multiSelect ? QAbstractItemView::ExtendedSelection
                                       : QAbstractItemView::SingleSelection);
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false); // column indices are also the visible order
    // The style's minimum would override the widths we measure for short headers; one "M"
    // is what every measured width includes anyway.
    header->setMinimumSectionSize(GetTextWidth(list, QString()));
    TipCutCells(list);
}

void SetImageList(QTreeWidget* list, const QList<QIcon>& images) {
    if (!list)
        return;
    list->setProperty(kImagesProperty, QVariant::fromValue(images));
    for (int r = 0, rows = list->topLevelItemCount(); r < rows; ++r) {
        QTreeWidgetItem* item = list->topLevelItem(r);
        const QVariant image = item->data(0, kListItemImageRole);
        if (image.isValid())
            ShowImage(item, images, image.toInt());
    }
}

void SetItemImage(QTreeWidget* list, int row, int image) {
    QTreeWidgetItem* item = Row(list, row);
    if (!item)
        return;
    item->setData(0, kListItemImageRole, image);
    ShowImage(item, Images(list), image);
}

int GetItemImage(QTreeWidget* list, int row) {
    const QTreeWidgetItem* item = Row(list, row);
    if (!item)
        return -1;
    const QVariant image = item->data(0, kListItemImageRole);
    return image.isValid() ? image.toInt() : -1;
}

void SetItemData(QTreeWidget* list, int row, qint64 data) {
    if (QTreeWidgetItem* item = Row(list, row))
        item->setData(0, kListItemDataRole, data);
}

qint64 GetItemData(QTreeWidget* list, int row) {
    const QTreeWidgetItem* item = Row(list, row);
    return item ? item->data(0, kListItemDataRole).toLongLong() : 0;
}

int InsertRow(QTreeWidget* list, int row, const QStringList& texts, int image) {
    if (!list || row < 0)
        return -1;
    row = std::min(row, list->topLevelItemCount());
    list->insertTopLevelItem(row, new QTreeWidgetItem(texts));
    if (image != -1)
        SetItemImage(list, row, image);
    return row;
}

int GetTextWidth(const QAbstractItemView* list, const QString& text) {
    return list ? TextMeasure(list)(text) : 0;
}

int GetFitTextWidth(const QAbstractItemView* list, const QString& text) {
    return list ? TextMeasure(list)(text, kFitTextLimit) : 0;
}

void AddColumn(QTreeWidget* list, int index, const QString& header) {
    if (!list || index < 0)
        return;
    const int oldCount = list->columnCount();
    index = std::min(index, oldCount);
    // Qt's own column insertion leaves the texts where they were, so move them ourselves.
    list->setColumnCount(oldCount + 1);

    QTreeWidgetItem* head = list->headerItem();
    for (int c = oldCount; c > index; --c) {
        head->setText(c, head->text(c - 1));
        head->setData(c, Qt::TextAlignmentRole, head->data(c - 1, Qt::TextAlignmentRole));
        list->setColumnWidth(c, list->columnWidth(c - 1));
    }
    if (index < oldCount) {
        for (int r = 0, rows = list->topLevelItemCount(); r < rows; ++r) {
            QTreeWidgetItem* item = list->topLevelItem(r);
            for (int c = std::max(oldCount, item->columnCount()); c > index; --c)
                item->setText(c, item->text(c - 1));
            item->setText(index, QString());
        }
    }
    head->setText(index, header);
    head->setData(index, Qt::TextAlignmentRole, (Qt::AlignLeft | Qt::AlignVCenter).toInt());
    list->setColumnWidth(index, std::max(0, GetTextWidth(list, header)));
}

QString GetColumnText(QTreeWidget* list, int index) {
    if (!list || index < 0 || index >= list->columnCount())
        return {};
    return list->headerItem()->text(index).left(kColumnTextLimit);
}

int GetColumnCount(QTreeWidget* list) {
    return list ? list->columnCount() : 0;
}

int FitColumnsToRow(QTreeWidget* list, int row) {
    const int columns = GetColumnCount(list);
    if (columns == 0)
        return 0;
    const TextMeasure measure(list);
    const QTreeWidgetItem* item = Row(list, row);
    for (int c = 0; c < columns; ++c)
        WidenColumn(list, c,
                    measure(item ? item->text(c) : QString(), kFitTextLimit) + ImageRoom(list, item, c));
    return columns;
}

void FitColumns(QTreeWidget* list, bool withHeaders) {
    const int columns = GetColumnCount(list);
    if (columns == 0)
        return;
    const TextMeasure measure(list);
    // The widest need per column first, so each header section is resized at most once.
    std::vector<int> need(static_cast<size_t>(columns), 0);
    if (withHeaders) {
        for (int c = 0; c < columns; ++c)
            need[static_cast<size_t>(c)] = measure(GetColumnText(list, c));
    }
    for (int r = 0, rows = list->topLevelItemCount(); r < rows; ++r) {
        const QTreeWidgetItem* item = list->topLevelItem(r);
        for (int c = 0; c < columns; ++c) {
            int& width = need[static_cast<size_t>(c)];
            width = std::max(width, measure(item->text(c), kFitTextLimit) + ImageRoom(list, item, c));
        }
    }
    for (int c = 0; c < columns; ++c)
        WidenColumn(list, c, need[static_cast<size_t>(c)]);
}

void SelectItem(QTreeWidget* list, int row) {
    QTreeWidgetItem* item = Row(list, row);
    if (!item)
        return;
    if (list->selectionMode() == QAbstractItemView::SingleSelection)
        list->clearSelection();
    item->setSelected(true);
}

int GetFirstSelectedItem(QTreeWidget* list) {
    if (!list)
        return -1;
    for (int r = 0, rows = list->topLevelItemCount(); r < rows; ++r) {
        if (list->topLevelItem(r)->isSelected())
            return r;
    }
    return -1;
}

// Walks the rows rather than selectedItems(): that list is in selection order, and finding
// each item's row again would cost a search per item.
void GetSelectedItems(QTreeWidget* list, int capacity, int* indices) {
    if (!indices || capacity <= 0)
        return;
    std::fill_n(indices, capacity, 0);
    if (!list)
        return;
    int stored = 0;
    for (int r = 0, rows = list->topLevelItemCount(); r < rows && stored < capacity; ++r) {
        if (list->topLevelItem(r)->isSelected())
            indices[stored++] = r;
    }
}

std::vector<int> GetSelectedItems(QTreeWidget* list) {
    std::vector<int> selected;
    if (!list)
        return selected;
    for (int r = 0, rows = list->topLevelItemCount(); r < rows; ++r) {
        if (list->topLevelItem(r)->isSelected())
            selected.push_back(r);
    }
    return selected;
}

int FindItemByText(QTreeWidget* list, const QString& text) {
    if (!list)
        return -1;
    for (int r = 0, rows = list->topLevelItemCount(); r < rows; ++r) {
        if (list->topLevelItem(r)->text(0).compare(text, Qt::CaseInsensitive) == 0)
            return r;
    }
    return -1;
}
