// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CScheduleWhenDlg.h"

#include "framework/WinTypes.h"
#include "res/resource.h"
#include "ui_dlg170_schedwhen.h"

#include <QtWidgets/QComboBox>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QTimeEdit>

#include <algorithm>

namespace {

const char* const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

} // namespace

CScheduleWhenDlg::CScheduleWhenDlg(QWidget* parent)
    : CDialog(IDD_SCHEDWHEN, FromForm<Ui::Dlg170SchedWhen>(), parent) {
    // Midday, when a desktop is most likely switched on.
    m_when.hour = 12;
}

bool CScheduleWhenDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (auto* weekday = GetItem<QComboBox>(IDC_WHEN_WEEKDAY)) {
        for (const char* day : kWeekdays)
            weekday->addItem(QString::fromUtf8(day));
        weekday->setCurrentIndex(std::clamp(m_when.weekday, 0, 6));
    }
    if (auto* day = GetItem<QSpinBox>(IDC_WHEN_DAY)) {
        day->setValue(std::clamp(m_when.dayOfMonth, 1, 31));
        // Cron skips a month that has no such day; say so where the day is chosen.
        day->setToolTip(QStringLiteral("In a month without this day the cleaning does not run."));
    }
    if (auto* time = GetItem<QTimeEdit>(IDC_WHEN_TIME))
        time->setTime(QTime(std::clamp(m_when.hour, 0, 23), std::clamp(m_when.minute, 0, 59)));
    const int kindId = m_when.kind == CronWhen::Weekly    ? IDC_WHEN_WEEKLY
                       : m_when.kind == CronWhen::Monthly ? IDC_WHEN_MONTHLY
                                                          : IDC_WHEN_DAILY;
    CheckItem(kindId, true);
    CheckItem(IDC_WHEN_CATCHUP, m_when.catchUpAtLogin);
    for (int id : {IDC_WHEN_DAILY, IDC_WHEN_WEEKLY, IDC_WHEN_MONTHLY})
        ConnectClicked(id, [this] { UpdateControls(); });
    UpdateControls();
    return true;
}

void CScheduleWhenDlg::UpdateControls() {
    // Only the choice that belongs to the chosen rhythm can be changed.
    EnableItem(IDC_WHEN_WEEKDAY, IsItemChecked(IDC_WHEN_WEEKLY));
    EnableItem(IDC_WHEN_DAY, IsItemChecked(IDC_WHEN_MONTHLY));
}

void CScheduleWhenDlg::OnOK() {
    m_when.kind = IsItemChecked(IDC_WHEN_WEEKLY)    ? CronWhen::Weekly
                  : IsItemChecked(IDC_WHEN_MONTHLY) ? CronWhen::Monthly
                                                    : CronWhen::Daily;
    if (auto* weekday = GetItem<QComboBox>(IDC_WHEN_WEEKDAY))
        m_when.weekday = std::clamp(weekday->currentIndex(), 0, 6);
    if (auto* day = GetItem<QSpinBox>(IDC_WHEN_DAY))
        m_when.dayOfMonth = day->value();
    if (auto* time = GetItem<QTimeEdit>(IDC_WHEN_TIME)) {
        m_when.hour = time->time().hour();
        m_when.minute = time->time().minute();
    }
    m_when.catchUpAtLogin = IsItemChecked(IDC_WHEN_CATCHUP);
    CDialog::OnOK();
}

std::optional<CronWhen> AskScheduleWhen(QWidget* owner) {
    CScheduleWhenDlg dlg(owner);
    if (dlg.DoModal() != IDOK)
        return std::nullopt;
    return dlg.m_when;
}
