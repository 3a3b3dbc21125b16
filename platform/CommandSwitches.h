// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/WindowsArguments.h"

#include <string>
#include <string_view>
#include <vector>

// Reading the program's switches: "/r", "/p..." and the like, a leading '-' standing for '/'.

// Bits of the command-line flag word. Only CMDF_RUN changes behaviour; the others are kept.
inline constexpr int CMDF_RUN = 1;
inline constexpr int CMDF_DRIVES = 2;
inline constexpr int CMDF_METHOD = 4;
inline constexpr int CMDF_PROFILES = 8;

// Maps one argument to its flag bit, or 0. A leading '-' is rewritten to '/' in the argument
// itself, so every later reader of the arguments sees '/'.
int LookupSwitch(std::string& arg);

// The flag word of args (args[0] is the program path), rewriting leading '-' as it goes.
int ParseCommandLine(std::vector<std::string>& args);

// The text after sw of the first argument (after the program path) that starts with the first
// two characters of sw; empty when there is none.
std::string GetSwitchValue(const std::vector<std::string>& args, std::string_view sw);
