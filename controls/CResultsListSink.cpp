#include "controls/CResultsListSink.h"

#include "controls/ListViewHelpers.h"
#include "framework/Pump.h"

namespace {
// Long enough that pumping costs nothing measurable, short enough that a click feels instant.
constexpr auto kPumpInterval = std::chrono::milliseconds(15);
} // namespace

CResultsListSink::CResultsListSink(QTreeWidget* list, QLabel* status)
    : m_list(list), m_status(status) {
    if (!m_list)
        return;
    for (int r = 0; r < m_list->topLevelItemCount(); ++r)
        m_rows.insert(m_list->topLevelItem(r)->text(kColPath), r);
}

void CResultsListSink::OnFolder(const std::string& folder) {
    if (m_status)
        m_status->setText(QString::fromStdString(folder));
}

void CResultsListSink::OnFileTaken(const FoundFile& file) {
    if (!m_list)
        return;
    const QString path = QString::fromStdString(file.path);
    if (m_rows.contains(path))
        return;
    const QString size = file.size ? QString::number(*file.size) : QString();
    const QString when = file.size ? QString::fromStdString(FormatFileTime(file.mtime)) : QString();
    const int row = InsertRow(m_list, m_list->topLevelItemCount(), {size, path, when});
    m_rows.insert(path, row);
    FitColumnsToRow(m_list, row);
}

void CResultsListSink::Pump() {
    // Reading the clock at every directory entry would cost more than the pumping saves.
    if (++m_nCalls % 32 != 1)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < kPumpInterval)
        return;
    m_lastPump = now;
    PumpPendingMessages();
}

int CResultsListSink::FindResultRow(const QString& path) const { return m_rows.value(path, -1); }
