// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "framework/CDialog.h"
#include "schedule/CronWhen.h"

#include <optional>

// Asks when a scheduled cleaning runs: every day, every week on a weekday, or every month on
// a day of the month, at an hour and minute. Stands in for the scheduler's own wizard.
class CScheduleWhenDlg : public CDialog {
public:
    explicit CScheduleWhenDlg(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnOK() override;

    // What the dialog shows first and, after OK, what was chosen.
    CronWhen m_when;

private:
    void UpdateControls();
};

// Runs the dialog; nullopt when it was cancelled.
std::optional<CronWhen> AskScheduleWhen(QWidget* owner);
