// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/CronWhen.h"
#include "schedule/CCrontab.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// The scheduler client: hands a program, its parameter string and an event name to cron, as an
// entry of the user's crontab. The time is asked for through the when-function (the UI's
// dialog), as the scheduler's own wizard would.
class CSchedulerDispatch {
public:
    // True when the crontab program is on PATH; the client then uses it.
    bool CreateDispatch();
    // Drops the crontab in use.
    void ReleaseDispatch();
    // Puts table in use (tests, the fake).
    void SetCrontab(std::unique_ptr<CCrontab> table);
    // The table in use, for listing and removing entries; null when there is none.
    CCrontab* GetCrontab() const { return m_crontab.get(); }
    // The when-dialog; it answers nullopt for Cancel.
    void SetAskWhen(std::function<std::optional<CronWhen>()> askWhen);

    // Asks when, then adds "# eventName" and the cron line running program with parameters to
    // the user's table. Cancel reads and writes nothing and is no failure: cancelled says so.
    // A table that cannot be read is not written. A failure's text is for the user. flag is
    // carried for the caller's sake and has no meaning to cron.
    FsError ScheduleEvent(const std::string& program, const std::string& parameters, bool flag,
                          const std::string& eventName, bool& cancelled);
    // After a scheduled event: why the catch-up at login could not be set up or taken away as
    // the when-dialog asked (the event itself is scheduled all the same); success otherwise.
    const FsError& CatchUpFailure() const { return m_catchUpFailure; }

private:
    std::unique_ptr<CCrontab> m_crontab;
    std::function<std::optional<CronWhen>()> m_askWhen;
    FsError m_catchUpFailure;
};
