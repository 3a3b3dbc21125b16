// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CSchedulerDispatch.h"

#include "platform/XdgDirs.h"
#include "schedule/CatchUpAutostart.h"
#include "schedule/CronLine.h"

#include <cerrno>
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

FsError CSchedulerDispatch::ScheduleEvent(const std::string& program,
                                          const std::string& parameters, bool /*flag*/,
                                          const std::string& eventName, bool& cancelled) {
    cancelled = false;
    m_catchUpFailure = {};
    if (!m_crontab)
        return FsError::Told(ENOENT, "The crontab program was not found on the PATH.");
    if (!m_askWhen)
        return FsError::Told(EINVAL, "No time was chosen for the event.");
    const std::optional<CronWhen> when = m_askWhen();
    if (!when) {
        cancelled = true;
        return {};
    }

    std::string line;
    if (FsError e = BuildCronEntry(*when, program, parameters, ScheduledRunEnvironment(), line))
        return e;
    if (eventName.find_first_of(std::string("\n\r\0", 3)) != std::string::npos)
        return FsError::Told(EINVAL, "The event name holds a line break.");

    std::string table;
    if (FsError e = m_crontab->Read(table))
        return e;
    if (FsError e = m_crontab->Write(AppendCronEntry(table, eventName, line)))
        return e;
    // One autostart entry serves every scheduled cleaning: the box turns the catch-up on or
    // off for them all.
    m_catchUpFailure = when->catchUpAtLogin ? InstallCatchUpAutostart(XdgConfigHome(), program)
                                            : RemoveCatchUpAutostart(XdgConfigHome());
    return {};
}
