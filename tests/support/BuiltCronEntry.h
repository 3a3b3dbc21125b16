// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/CronLine.h"

#include <string>

// What BuildCronEntry made, side by side for a test to look at: the line, or the failure's
// words (empty when there is none).
struct BuiltCronEntry {
    std::string line;
    std::string error;
};

inline BuiltCronEntry BuildEntry(const CronWhen& when, const std::string& program,
                                 const std::string& parameters, const CronEnvironment& env) {
    BuiltCronEntry built;
    built.error = BuildCronEntry(when, program, parameters, env, built.line).Text();
    return built;
}
