// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The standard Windows splitting of a parameter string into arguments: blanks outside double
// quotes separate, quotes are removed, 2n backslashes before a quote give n backslashes and a
// delimiter, 2n+1 give n backslashes and a literal quote. A scheduled cleaning's parameter
// string is built for these rules, so it is split by them wherever it is turned into arguments.
std::vector<std::string> SplitWindowsArguments(std::string_view params);
