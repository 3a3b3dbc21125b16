// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CSchedulesDlg.h"

#include "schedule/CatchUpAutostart.h"
#include "schedule/ScheduledCleanings.h"
#include "controls/ListViewHelpers.h"
#include "framework/UiSeam.h"
#include "framework/WinTypes.h"
#include "res/resource.h"
#include "ui_dlg171_schedules.h"

#include <QtWidgets/QTreeWidget>

#include <algorithm>
#include <utility>

namespace {

const char* const kUnreadableTip =
    "Fernwick cannot read this entry, which was changed by hand; it is shown as it stands in "
    "your crontab.";
const char* const kChangedMeanwhile =
    "Your crontab was changed since this list was shown, so nothing was removed.  The list now "
    "shows the crontab as it is.";
const std::string kCatchUpNotRemoved =
    "No cleaning is scheduled any more, but the entry that catches up on missed cleanings at "
    "login could not be removed: ";

QStringList RowTexts(const ScheduleDescription& d) {
    return {QString::fromStdString(d.when), QString::fromStdString(JoinProfileNames(d.profiles)),
            QString::fromStdString(d.method), QString::fromStdString(d.destination)};
}

} // namespace

CSchedulesDlg::CSchedulesDlg(CCrontab& crontab, std::vector<std::string> knownNames,
                             QWidget* parent)
    : CDialog(IDD_SCHEDULES, FromForm<Ui::Dlg171Schedules>(), parent), m_crontab(crontab),
      m_knownNames(std::move(knownNames)) {}

bool CSchedulesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_listSchedules = GetItem<QTreeWidget>(IDC_SCHEDULES_LIST);
    SetupReportList(m_listSchedules, false);
    int column = 0;
    for (const char* header : {"When", "Profiles", "Method", "Destination"})
        AddColumn(m_listSchedules, column++, QString::fromUtf8(header));
    if (m_listSchedules)
        QObject::connect(m_listSchedules, &QTreeWidget::itemSelectionChanged, m_listSchedules,
                         [this] { UpdateButtons(); });
    OnClicked(IDC_SCHEDULES_NEW, &CSchedulesDlg::OnNew);
    OnClicked(IDC_SCHEDULES_REMOVE, &CSchedulesDlg::OnRemove);
    ReloadRows(0);
    return true;
}

void CSchedulesDlg::ReloadRows(int select) {
    m_entries.clear();
    if (m_listSchedules)
        m_listSchedules->clear();
    std::string table;
    if (const FsError e = m_crontab.Read(table))
        MessageBox(GetSafeHwnd(), e.Text(), kAppTitle, MB_OK | MB_ICONSTOP);
    else
        m_entries = ReadScheduledEntries(table, kScheduleEventName);
    std::vector<std::pair<int, QString>> asWritten;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const ScheduleDescription d = DescribeScheduledEntry(m_entries[i], m_knownNames);
        const int row = InsertRow(m_listSchedules, static_cast<int>(i),
                                  d.readable ? RowTexts(d) : QStringList());
        SetItemData(m_listSchedules, row, static_cast<qint64>(i));
        if (!d.readable && row >= 0)
            asWritten.emplace_back(row, QString::fromStdString(d.when));
    }
    // A line as written spans the whole row and is left out of the fitting, or one long
    // line would push the other columns out of sight.
    FitColumns(m_listSchedules, true);
    for (const auto& [row, line] : asWritten) {
        QTreeWidgetItem* item = m_listSchedules->topLevelItem(row);
        item->setText(0, line);
        item->setToolTip(0, QString::fromUtf8(kUnreadableTip));
        item->setFirstColumnSpanned(true);
    }
    const int rows = static_cast<int>(m_entries.size());
    if (rows > 0 && m_listSchedules) {
        const int row = std::clamp(select, 0, rows - 1);
        SelectItem(m_listSchedules, row);
        m_listSchedules->setCurrentItem(m_listSchedules->topLevelItem(row));
    }
    UpdateButtons();
}

void CSchedulesDlg::UpdateButtons() {
    EnableItem(IDC_SCHEDULES_REMOVE, GetFirstSelectedItem(m_listSchedules) >= 0);
}

void CSchedulesDlg::OnNew() { EndDialog(IDC_SCHEDULES_NEW); }

void CSchedulesDlg::OnRemove() {
    const int row = GetFirstSelectedItem(m_listSchedules);
    if (row < 0 || static_cast<std::size_t>(row) >= m_entries.size())
        return;
    const ScheduledEntry entry = m_entries[static_cast<std::size_t>(row)];
    const ScheduleDescription d = DescribeScheduledEntry(entry, m_knownNames);
    const std::string what = d.readable ? d.when + " (" + JoinProfileNames(d.profiles) + ", " +
                                              d.method + ")"
                                        : d.when;
    // No is the default: a stray Enter must not remove a cleaning.
    if (MessageBox(GetSafeHwnd(),
                   "Are you sure you want to remove the scheduled cleaning " + what + "?",
                   kAppTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    // The crontab is read again: another program may have changed it since it was listed.
    std::string table;
    if (const FsError e = m_crontab.Read(table)) {
        MessageBox(GetSafeHwnd(), e.Text(), kAppTitle, MB_OK | MB_ICONSTOP);
        return;
    }
    const auto removed = RemoveScheduledEntry(table, entry, kScheduleEventName);
    if (!removed) {
        MessageBox(GetSafeHwnd(), kChangedMeanwhile, kAppTitle, MB_OK | MB_ICONEXCLAMATION);
        ReloadRows(row);
        return;
    }
    if (const FsError e = m_crontab.Write(*removed)) {
        MessageBox(GetSafeHwnd(), e.Text(), kAppTitle, MB_OK | MB_ICONSTOP);
        return;
    }
    if (const FsError e = RemoveCatchUpIfNoneLeft(*removed))
        MessageBox(GetSafeHwnd(), kCatchUpNotRemoved + e.Text(), kAppTitle,
                   MB_OK | MB_ICONEXCLAMATION);
    ReloadRows(row);
}
