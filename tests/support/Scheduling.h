// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/CSchedulerDispatch.h"

#include <string>

// How a ScheduleEvent call ended, in one value for a test to compare: scheduled, cancelled,
// or failed with the failure's words.
struct Scheduling {
    enum Kind { Scheduled, Cancelled, Failed } kind = Failed;
    std::string error;
};

inline Scheduling ScheduleWith(CSchedulerDispatch& dispatch, const std::string& program,
                               const std::string& parameters, const std::string& eventName) {
    bool cancelled = false;
    const FsError e = dispatch.ScheduleEvent(program, parameters, false, eventName, cancelled);
    if (e)
        return {Scheduling::Failed, e.Text()};
    return {cancelled ? Scheduling::Cancelled : Scheduling::Scheduled, {}};
}
