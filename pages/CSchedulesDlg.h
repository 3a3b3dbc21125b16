// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CDialog.h"
#include "schedule/CCrontab.h"
#include "schedule/ScheduledEntries.h"

#include <string>
#include <vector>

class QTreeWidget;

// The cleanings scheduled in the user's crontab, one row each: when, the profiles, the method
// and the destination; an entry that cannot be read shows its line as it stands. Remove takes
// the selected entry and its comment line out of the crontab after asking; New... ends the
// dialog with IDC_SCHEDULES_NEW so the scheduling wizard can follow; Close ends it with IDCANCEL.
class CSchedulesDlg : public CDialog {
public:
    // knownNames: the profiles of the settings, to tell the names of a /p list apart.
    CSchedulesDlg(CCrontab& crontab, std::vector<std::string> knownNames,
                  QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnNew();
    void OnRemove();

    QTreeWidget* m_listSchedules = nullptr;
    // The entries behind the rows, in row order, as last read.
    std::vector<ScheduledEntry> m_entries;

private:
    // Reads the crontab afresh and shows its entries, selecting row select (or the last).
    void ReloadRows(int select);
    void UpdateButtons();

    CCrontab& m_crontab;
    std::vector<std::string> m_knownNames;
};
