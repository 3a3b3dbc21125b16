// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/CFoundFilesModel.h"

#include "scan/ScanEngine.h"

#include <algorithm>

CFoundFilesModel::CFoundFilesModel(QObject* parent) : QAbstractTableModel(parent) {}

void CFoundFilesModel::SetStore(const CFoundStore* store) {
    beginResetModel();
    m_store = store;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_shownFiles = 0;
    endResetModel();
}

int CFoundFilesModel::ShowNewFiles() {
    const int first = RowCount();
    if (!m_store || m_store->Count() <= m_shownFiles)
        return first;
    const std::size_t added = m_store->Count() - m_shownFiles;
    beginInsertRows({}, first, first + static_cast<int>(added) - 1);
    for (std::size_t i = m_shownFiles; i < m_store->Count(); ++i)
        m_rows.push_back(static_cast<std::uint32_t>(i));
    m_shownFiles = m_store->Count();
    endInsertRows();
    return first;
}

void CFoundFilesModel::ShowRowsOf(const CFoundFilesModel& other) {
    beginResetModel();
    m_store = other.m_store;
    m_rows = other.m_rows;
    m_shownFiles = other.m_shownFiles;
    endResetModel();
}

void CFoundFilesModel::ClearRows() {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_shownFiles = 0;
    endResetModel();
}

QString CFoundFilesModel::Text(int row, int column) const {
    if (!m_store || row < 0 || row >= RowCount())
        return {};
    const std::size_t file = FileOf(row);
    switch (column) {
    case kColSize:
        return m_store->HasSize(file) ? QString::number(m_store->Size(file)) : QString();
    case kColPath: {
        const std::string_view path = m_store->Path(file);
        return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    }
    case kColTime:
        return m_store->HasSize(file) ? QString::fromStdString(FormatFileTime(m_store->Time(file)))
                                      : QString();
    default:
        return {};
    }
}

void CFoundFilesModel::SortByColumn(int column) {
    if (!m_store)
        return;
    const CFoundStore& s = *m_store;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::uint32_t> filesBefore;
    filesBefore.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        filesBefore.push_back(m_rows[static_cast<std::size_t>(index.row())]);

    const auto sizeOf = [&s](std::uint32_t f) { return s.HasSize(f) ? s.Size(f) : 0; };
    const auto timeOf = [&s](std::uint32_t f) { return s.HasSize(f) ? s.Time(f) : 0; };
    if (column == kColSize)
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return sizeOf(a) < sizeOf(b); });
    else if (column == kColTime)
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return timeOf(a) < timeOf(b); });
    else
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [&s](std::uint32_t a, std::uint32_t b) { return s.Path(a) < s.Path(b); });

    // Selection and current row follow their files.
    if (!before.isEmpty()) {
        std::vector<int> rowOfFile(s.Count(), -1);
        for (std::size_t r = 0; r < m_rows.size(); ++r)
            rowOfFile[m_rows[r]] = static_cast<int>(r);
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            after.append(index(rowOfFile[filesBefore[static_cast<std::size_t>(i)]],
                               before[i].column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CFoundFilesModel::RemoveRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the bottom up, a run of neighbouring rows at a time.
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        const int first = rows[begin], last = rows[end - 1];
        if (first >= 0 && last < RowCount()) {
            beginRemoveRows({}, first, last);
            m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
            endRemoveRows();
        }
        end = begin;
    }
}

int CFoundFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int CFoundFilesModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant CFoundFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return Text(index.row(), index.column());
}

QVariant CFoundFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kColSize:
        return QStringLiteral("Size");
    case kColPath:
        return QStringLiteral("Filename");
    case kColTime:
        return QStringLiteral("File Date/Time");
    default:
        return {};
    }
}
