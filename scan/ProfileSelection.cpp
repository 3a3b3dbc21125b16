// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/ProfileSelection.h"

std::unordered_set<std::string> SelectProfilesByNameList(const CProfileList& store,
                                                         std::string_view list) {
    std::unordered_set<std::string> selected;
    size_t pos = 0;
    while (pos < list.size()) {
        const std::string_view rest = list.substr(pos);
        size_t best = 0;
        for (const CProfile& p : store) {
            const std::string& name = p.m_strName;
            // A whole name: followed by a blank or by the end of the list.
            if (name.size() > best && rest.starts_with(name) &&
                (rest.size() == name.size() || rest[name.size()] == ' '))
                best = name.size();
        }
        if (best > 0) {
            selected.emplace(rest.substr(0, best));
            pos += best + 1;
            continue;
        }
        const size_t blank = rest.find(' ');
        if (blank == std::string_view::npos)
            break;
        pos += blank + 1;
    }
    return selected;
}
