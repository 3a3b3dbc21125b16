// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>
#include <string_view>

// File names may hold any byte but "/" and NUL: a line break in a name would let it forge a
// line of the log or of a listing. These write such bytes so that every line stays one line.

// Control characters (0x00-0x1F and DEL) as \xHH with two lower-case hex digits; everything
// else, backslashes and non-ASCII bytes included, as it is. For log entries, where paths stay
// readable.
std::string EscapeControlChars(std::string_view text);

// As EscapeControlChars, and a backslash as \\, so that the text can be read back exactly:
// for the preview's listing, one line per file.
std::string EscapeListingField(std::string_view text);
