// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/CommandSwitches.h"

#include <array>
#include <utility>

int LookupSwitch(std::string& arg) {
    if (arg.empty())
        return 0;
    if (arg[0] == '-')
        arg[0] = '/';
    static constexpr std::array<std::pair<std::string_view, int>, 4> kSwitches{{
        {"/r", CMDF_RUN},
        {"/d", CMDF_DRIVES},
        {"/x", CMDF_METHOD},
        {"/p", CMDF_PROFILES},
    }};
    for (const auto& [text, flag] : kSwitches)
        if (arg == text)
            return flag;
    return 0;
}

int ParseCommandLine(std::vector<std::string>& args) {
    int flags = 0;
    for (size_t i = 1; i < args.size(); ++i)
        flags |= LookupSwitch(args[i]);
    return flags;
}

std::string GetSwitchValue(const std::vector<std::string>& args, std::string_view sw) {
    const std::string_view prefix = sw.substr(0, 2);
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.compare(0, 2, prefix) == 0)
            return arg.size() > sw.size() ? arg.substr(sw.size()) : std::string();
    }
    return {};
}
