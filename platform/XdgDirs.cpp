// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/XdgDirs.h"

#include <cstdlib>

std::string XdgBaseDir(const char* value, const char* home, const char* fallback) {
    if (value && value[0] == '/')
        return value;
    if (!home || !*home)
        return {};
    std::string dir = home;
    if (dir.back() != '/')
        dir += '/';
    return dir + fallback;
}

std::string XdgHome(const char* variable, const char* fallback) {
    std::string dir = XdgBaseDir(std::getenv(variable), std::getenv("HOME"), fallback);
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

void DropRelativeXdgDirs() {
    for (const char* name : kXdgFolderVariables) {
        const char* value = std::getenv(name);
        // An empty value means the default as well; dropping it changes nothing.
        if (value && value[0] != '/')
            ::unsetenv(name);
    }
}
