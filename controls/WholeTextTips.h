// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// Paths are often longer than the field or cell that shows them. Whatever a control cuts off
// is shown whole in a tooltip while the pointer rests on it; text that fits gets no tooltip.
// Tooltips show the text as typed, never as markup.

#include <QtCore/QPoint>
#include <QtCore/QString>

class QAbstractItemView;
class QLabel;
class QLineEdit;

// Tooltip markup that shows text exactly as it is, on one line.
QString PlainToolTip(const QString& text);

// Shows text as plain text on the single-line label. Text wider than the label is elided in the
// middle, so its start and its file name stay in view, and the label's tooltip holds the whole
// text; text that fits shows as it is, without a tooltip. The label re-elides when it is
// resized or its font changes. Each call measures the text once and lays nothing out, so a
// label that follows a running scan can be set many times a second.
void SetElidedText(QLabel* label, const QString& text);
// The label's whole text: what SetElidedText was last given, unless the label's text has been
// set otherwise since; empty for a null label.
QString GetWholeText(const QLabel* label);

// From now on the edit's tooltip is its whole text while the text is wider than the edit, and
// there is none while it fits, as the text changes and the edit is resized.
void TipWholeTextWhenCut(QLineEdit* edit);
// The tooltip the edit has by that rule right now (the rule itself, for an edit set up or not).
QString WholeTextTip(const QLineEdit* edit);

// From now on a cell of the view whose text does not show whole (too narrow, or partly
// scrolled out of view) shows its whole text in a tooltip; other cells show none, unless the
// model gives them a tooltip of their own. Measured when the pointer rests on a cell, so
// adding rows costs nothing more. Calling it again changes nothing.
void TipCutCells(QAbstractItemView* view);
// The tooltip the rule above gives for the cell at pos (viewport coordinates); empty when the
// text there shows whole or there is no cell.
QString CutCellTip(const QAbstractItemView* view, QPoint pos);
