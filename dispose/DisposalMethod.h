// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <cstdint>
#include <string>

// The ways a found file can be disposed of. The numbers are also written on command lines,
// so they never change.
inline constexpr int METHOD_DELETE = 1022;
inline constexpr int METHOD_ZIP = 1023;
inline constexpr int METHOD_MOVE = 1024;
inline constexpr int METHOD_RECYCLE = 1025; // our own trash
inline constexpr int METHOD_PERMANENT_DELETE = 1026;

// The past-tense verb for the log and the summary, e.g. "Deleted"; "" for an unknown code.
const char* MethodVerb(int code);

// True for the methods that need a destination folder (Zip, Move).
bool MethodNeedsDestination(int code);

// Decimal with "," between groups of three digits from the right: 1000000 -> "1,000,000".
std::string GroupThousands(std::uint64_t value);

// The last component of a path ("/a/b.txt" -> "b.txt"); "" when the path ends in "/".
std::string GetFileNameWithExt(const std::string& path);
