// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <optional>
#include <string>

// Reads a path field of the preview's listing back as a program reading it would: \\ is a
// backslash and \xHH the byte HH. Nullopt for a backslash the listing would not have written.
inline std::optional<std::string> ReadListingField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i + 1 < field.size() && field[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < field.size() && field[i + 1] == 'x') {
            out += static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return out;
}
