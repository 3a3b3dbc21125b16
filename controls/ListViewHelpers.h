// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// Every list in the program is a QTreeWidget used as a flat report list: top-level items are
// the rows, each row has a 16x16 image in column 0 and an integer datum. These free functions
// give all pages the same column sizing, image handling and row lookup. They keep no state
// outside the widget, accept a null list, and ignore rows and columns that do not exist: reads
// then give empty text, -1 or 0, writes do nothing.

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

class QAbstractItemView;
class QTreeView;
class QTreeWidget;

// Item data roles on column 0 of a row.
inline constexpr int kListItemDataRole = Qt::UserRole + 1;  // qint64, see SetItemData
inline constexpr int kListItemImageRole = Qt::UserRole + 2; // int index into the image list

// Flat list look: no tree decoration or expanding, uniform row heights, 16x16 icons, whole-row
// focus and selection, extended or single selection, fixed column order, and widths that are
// exactly what is set (no stretching, minimum one "M"). A list still holding only Qt's default
// column loses it, so columns are then added from index 0. A cell too narrow for its text
// shows the whole text in a tooltip (TipCutCells).
void SetupReportList(QTreeWidget* list, bool multiSelect);
// The same look for a view over a model of its own (the model gives the columns).
void SetupReportView(QTreeView* view, bool multiSelect);

// The images that row image indices refer to. Rows that already have an image are updated.
void SetImageList(QTreeWidget* list, const QList<QIcon>& images);
// Sets the row's image index and shows that image in column 0; an index outside the image
// list shows no image but is kept.
void SetItemImage(QTreeWidget* list, int row, int image);
// The row's image index; -1 when it has none.
int GetItemImage(QTreeWidget* list, int row);

void SetItemData(QTreeWidget* list, int row, qint64 data);
// 0 when the row has no datum.
qint64 GetItemData(QTreeWidget* list, int row);

// Inserts a row before index row (appends when row is at or past the end); texts fill the
// columns from 0, image -1 means none. Returns the new row's index, or -1 when nothing was
// inserted.
int InsertRow(QTreeWidget* list, int row, const QStringList& texts, int image = -1);

// Width a column needs for text: its advance in the list's font, taken as a 16-bit signed
// value, plus the width of one "M" as margin.
int GetTextWidth(const QAbstractItemView* list, const QString& text);
// The same for the first 254 characters of text, as columns are fitted.
int GetFitTextWidth(const QAbstractItemView* list, const QString& text);

// Inserts a left-aligned column before index (appends when index is past the end) with the
// header's width; columns from index on move right together with their texts and widths.
void AddColumn(QTreeWidget* list, int index, const QString& header);
// Header text of the column, at most 255 characters; empty when there is no such column.
QString GetColumnText(QTreeWidget* list, int index);
// 0 for a null list.
int GetColumnCount(QTreeWidget* list);

// Widens every column that is narrower than the row's text in it (at most 254 characters
// measured), leaving room for the row's image in column 0. Never narrows. Returns the column
// count.
int FitColumnsToRow(QTreeWidget* list, int row);
// Widens every column to fit all rows, and its header too when withHeaders. Never narrows.
void FitColumns(QTreeWidget* list, bool withHeaders);

// Adds the row to the selection; in a single-selection list it replaces the selection.
void SelectItem(QTreeWidget* list, int row);
// Lowest selected row index, or -1.
int GetFirstSelectedItem(QTreeWidget* list);
// Zeroes indices[0..capacity), then stores the selected row indices in ascending order until
// there are no more or the array is full.
void GetSelectedItems(QTreeWidget* list, int capacity, int* indices);
// All selected row indices, ascending.
std::vector<int> GetSelectedItems(QTreeWidget* list);

// First row whose column-0 text equals text as a whole, ignoring case; -1 when none.
int FindItemByText(QTreeWidget* list, const QString& text);
