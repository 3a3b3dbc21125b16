// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CSchedulerDispatch.h"

#include "schedule/CronLine.h"

#include <utility>

bool CSchedulerDispatch::CreateDispatch() {
    if (!CrontabAvailable())
        return false;
    m_crontab = std::make_unique<CSystemCrontab>();
    return true;
}

void CSchedulerDispatch::ReleaseDispatch() { m_crontab.reset(); }

void CSchedulerDispatch::SetCrontab(std::unique_ptr<CCrontab> table) {
    m_crontab = std::move(table);
}

void CSchedulerDispatch::SetAskWhen(std::function<std::optional<CronWhen>()> askWhen) {
    m_askWhen = std::move(askWhen);
}

ScheduleResult CSchedulerDispatch::ScheduleEvent(const std::string& program,
                                                 const std::string& parameters, bool /*flag*/,
                                                 const std::string& eventName) {
    if (!m_crontab)
        return {ScheduleResult::Failed, "The crontab program was not found on the PATH."};
    if (!m_askWhen)
        return {ScheduleResult::Failed, "No time was chosen for the event."};
    const std::optional<CronWhen> when = m_askWhen();
    if (!when)
        return {ScheduleResult::Cancelled, {}};

    const CronEntry entry = BuildCronEntry(*when, program, parameters, ScheduledRunEnvironment());
    if (!entry.error.empty())
        return {ScheduleResult::Failed, entry.error};
    if (eventName.find_first_of(std::string("\n\r\0", 3)) != std::string::npos)
        return {ScheduleResult::Failed, "The event name holds a line break."};

    const CrontabRead table = m_crontab->Read();
    if (!table.ok)
        return {ScheduleResult::Failed, table.error};
    const std::string error = m_crontab->Write(AppendCronEntry(table.text, eventName, entry.line));
    if (!error.empty())
        return {ScheduleResult::Failed, error};
    return {ScheduleResult::Scheduled, {}};
}
