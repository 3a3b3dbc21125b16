// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/WindowsArguments.h"

#include <utility>

std::vector<std::string> SplitWindowsArguments(std::string_view s) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = s.size();
    for (;;) {
        while (i < n && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        if (i == n)
            break;
        std::string arg;
        bool inQuotes = false;
        while (i < n) {
            const char c = s[i];
            if (!inQuotes && (c == ' ' || c == '\t'))
                break;
            if (c == '\\') {
                size_t run = 0;
                while (i < n && s[i] == '\\') {
                    ++run;
                    ++i;
                }
                if (i < n && s[i] == '"') {
                    arg.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(run, '\\');
                }
            } else if (c == '"') {
                // Inside quotes, a doubled quote stands for one literal quote.
                if (inQuotes && i + 1 < n && s[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    inQuotes = !inQuotes;
                    ++i;
                }
            } else {
                arg += c;
                ++i;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}
