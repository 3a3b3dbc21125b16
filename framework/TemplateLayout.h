// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <QtCore/QRect>
#include <QtCore/QSize>

class QFont;
class QWidget;

// Dialog units are a fraction of a font's character cell: a quarter of the average letter's
// width across, an eighth of the line height down. A template's controls keep their place in
// those units, so windows grow with the user's font and no text is cut.
struct FontCell {
    double width = 0; // average advance of the letters A-Z and a-z, in pixels
    int height = 0;   // line height, in pixels
};

// The cell of a font as dialog units measure it.
FontCell MeasureFontCell(const QFont& font);

// The templates' pixel positions were laid out for an 8-point sans-serif font (DejaVu Sans at
// 96 dots per inch): a window in that font keeps exactly the template's pixels.
inline constexpr FontCell kTemplateCell{6.79, 13};

// A template rectangle in the pixels of a larger or smaller cell. Each edge is scaled on its
// own, so controls that touch or keep apart in the template still do.
QRect ScaleRect(const QRect& r, double sx, double sy);

// How a control follows the growth of its window.
struct StretchRule {
    bool moveX = false; // lies right of the growing part: moves along
    bool growX = false; // spans the growing part's right edge: grows
    bool moveY = false;
    bool growY = false;
};

// The control's rectangle in a window grown by growth (never negative) from its template size.
QRect StretchRect(const QRect& base, StretchRule rule, QSize growth);

// Brings a window made from a template to the user's font and lets it grow: scales the window
// and its controls from kTemplateCell to the cell of the window's font, shows every label's
// text as it is (a file named "<b>x</b>" is not markup), and from then on makes the controls
// follow a window enlarged beyond its template size. The largest list or text box takes the
// growth; what lies right of or below it moves along; fields, labels and group boxes that
// span its right or bottom edge grow; everything else keeps its place.
void FitTemplateToFont(QWidget* window);

// The rule each control of the window follows, as FitTemplateToFont sets it up; exposed for
// tests. Controls that are not the window's template controls get none.
StretchRule GetStretchRule(const QWidget* control);
