// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// The program's exit statuses, as --help lists them.
inline constexpr int EXIT_ALL_DONE = 0;      // every file taken was disposed of and logged
inline constexpr int EXIT_INCOMPLETE = 1;    // some were not: in use, failed, stopped, cancelled,
                                             // or the log could not take every entry
inline constexpr int EXIT_UNUSABLE_CALL = 2; // a command line (or a missing display) it cannot use
