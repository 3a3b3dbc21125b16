// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/CCheckMarkList.h"

#include "controls/ListViewHelpers.h"
#include "res/ResourceInit.h"
#include "res/resource.h"

#include <QtGui/QPalette>
#include <QtWidgets/QTreeWidget>

namespace {

QIcon ArtIcon(int id) { return QIcon(QStringLiteral(":/art/icon%1.png").arg(id)); }

} // namespace

void CCheckMarkList::Attach(QTreeWidget* list, bool multiSelect, std::function<void()> onToggled) {
    m_list = list;
    m_onToggled = std::move(onToggled);
    if (!list)
        return;
    InitFernwickResources();
    SetupReportList(list, multiSelect);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection says which row a click toggles, so it stays visible without the focus.
    QPalette palette = list->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list->setPalette(palette);
    SetImageList(list, {ArtIcon(IDI_CHECKED), ArtIcon(IDI_UNCHECKED)});
    // A left click on a row; the view does not report the second click of a double click, so
    // a double click toggles once.
    QObject::connect(list, &QAbstractItemView::clicked, list, [this] { ToggleFirstSelected(); });
}

QTreeWidget* CCheckMarkList::GetList() const { return m_list; }

int CCheckMarkList::InsertRow(int row, const QStringList& texts, bool checked) {
    return ::InsertRow(m_list, row, texts, checked ? kCheckedImage : kUncheckedImage);
}

int CCheckMarkList::GetRowCount() const { return m_list ? m_list->topLevelItemCount() : 0; }

bool CCheckMarkList::IsChecked(int row) const {
    return GetItemImage(m_list, row) == kCheckedImage;
}

bool CCheckMarkList::IsCheckedByText(const QString& text) const {
    if (!m_list)
        return false;
    const int row = FindItemByText(m_list, text);
    return row >= 0 && IsChecked(row);
}

void CCheckMarkList::SetChecked(int row, bool checked) {
    SetItemImage(m_list, row, checked ? kCheckedImage : kUncheckedImage);
}

bool CCheckMarkList::AnyChecked() const {
    for (int r = 0, rows = GetRowCount(); r < rows; ++r)
        if (IsChecked(r))
            return true;
    return false;
}

std::vector<int> CCheckMarkList::GetCheckedRows() const {
    std::vector<int> rows;
    for (int r = 0, n = GetRowCount(); r < n; ++r)
        if (IsChecked(r))
            rows.push_back(r);
    return rows;
}

std::vector<bool> CCheckMarkList::GetChecks() const {
    std::vector<bool> checks;
    for (int r = 0, n = GetRowCount(); r < n; ++r)
        checks.push_back(IsChecked(r));
    return checks;
}

bool CCheckMarkList::ToggleFirstSelected() {
    const int row = GetFirstSelectedItem(m_list);
    if (row < 0)
        return false;
    SetChecked(row, !IsChecked(row));
    if (m_onToggled)
        m_onToggled();
    return true;
}
