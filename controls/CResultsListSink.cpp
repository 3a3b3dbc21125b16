// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "controls/CResultsListSink.h"

#include "controls/ListViewHelpers.h"
#include "controls/WholeTextTips.h"
#include "framework/Pump.h"

#include <algorithm>

CResultsListSink::CResultsListSink(QTreeWidget* list, QLabel* status, Timing timing)
    : m_timing(timing), m_list(list), m_status(status) {
    if (!m_list)
        return;
    m_nRowCount = m_list->topLevelItemCount();
    for (int r = 0; r < m_nRowCount; ++r)
        m_rows.insert(m_list->topLevelItem(r)->text(kColPath), r);
}

CResultsListSink::~CResultsListSink() {
    Flush();
    qDeleteAll(m_pending); // only left when the list went away
}

void CResultsListSink::OnFolder(const std::string& folder) {
    // Shown at the next pump: setting a label for every folder would cost more than the walk.
    m_folder = QString::fromStdString(folder);
}

void CResultsListSink::OnFileTaken(const FoundFile& file) {
    if (!m_list)
        return;
    const QString path = QString::fromStdString(file.path);
    if (m_rows.contains(path))
        return;
    const QString size = file.size ? QString::number(*file.size) : QString();
    const QString when = file.size ? QString::fromStdString(FormatFileTime(file.mtime)) : QString();
    auto* item = new QTreeWidgetItem(QStringList{size, path, when});
    // The time itself, so the selection page can order rows by date, not by their text.
    if (file.size) {
        item->setData(kColTime, kFileTimeRole, static_cast<qlonglong>(file.mtime));
        SetFileSeen(*item, file.Seen());
    }
    m_pending.append(item);
    m_rows.insert(path, m_nRowCount++);
}

void CResultsListSink::Flush() {
    if (m_status && !m_folder.isEmpty()) {
        SetElidedText(m_status, m_folder);
        m_folder.clear();
    }
    if (!m_list || m_pending.isEmpty())
        return;
    // Widen each column once for the whole batch; fitting only ever widens. Measuring text is
    // costly and a column's width is set by its longest texts, so only the batch's longest
    // texts of each column are measured (a handful, not every row).
    const int columns = std::max(GetColumnCount(m_list), 0);
    std::vector<int> widths(static_cast<size_t>(columns), 0);
    for (int c = 0; c < columns; ++c) {
        qsizetype longest = 0;
        for (const QTreeWidgetItem* item : m_pending)
            longest = std::max(longest, std::min<qsizetype>(item->text(c).size(), 254));
        int measured = 0;
        for (const QTreeWidgetItem* item : m_pending) {
            const QString text = item->text(c).left(254);
            if (text.size() < longest)
                continue;
            widths[static_cast<size_t>(c)] =
                std::max(widths[static_cast<size_t>(c)], GetTextWidth(m_list, text));
            if (++measured == 8)
                break;
        }
    }
    m_list->addTopLevelItems(m_pending);
    m_pending.clear();
    for (int c = 0; c < columns; ++c)
        if (m_list->columnWidth(c) < widths[static_cast<size_t>(c)])
            m_list->setColumnWidth(c, widths[static_cast<size_t>(c)]);
}

void CResultsListSink::Pump() {
    // Reading the clock at every directory entry would cost more than the pumping saves.
    if (++m_nCalls % 32 != 1)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < m_timing.pump)
        return;
    m_lastPump = now;
    if (now - m_lastFlush >= m_timing.flush) {
        m_lastFlush = now;
        Flush();
    }
    PumpPendingMessages();
}

int CResultsListSink::FindResultRow(const QString& path) const { return m_rows.value(path, -1); }

void CResultsListSink::SetFileSeen(QTreeWidgetItem& row, const FileSeen& seen) {
    row.setData(kColPath, kFileSeenRole,
                QVariantList{static_cast<qulonglong>(seen.dev), static_cast<qulonglong>(seen.ino),
                             static_cast<qulonglong>(seen.size), static_cast<qlonglong>(seen.mtime),
                             static_cast<qlonglong>(seen.mtimeNsec)});
}

FileSeen CResultsListSink::FileSeenOf(const QTreeWidgetItem& row) {
    const QVariantList v = row.data(kColPath, kFileSeenRole).toList();
    FileSeen seen;
    if (v.size() != 5)
        return seen;
    seen.dev = static_cast<dev_t>(v[0].toULongLong());
    seen.ino = static_cast<ino_t>(v[1].toULongLong());
    seen.size = v[2].toULongLong();
    seen.mtime = static_cast<std::time_t>(v[3].toLongLong());
    seen.mtimeNsec = static_cast<long>(v[4].toLongLong());
    return seen;
}
