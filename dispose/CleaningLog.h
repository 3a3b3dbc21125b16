// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// The cleaning log: "fwlog.txt" in the program directory, one time-stamped entry per event.
// Every entry is opened, written and closed on its own, so it is on disk when the call returns.

// Full path of the log file.
std::string LogFilePath();

// The text of one entry: "MM/DD/YY HH:MM:SS     message\n" in local time. An entry is always
// one line: the message's control characters (line breaks, carriage returns, escapes, tabs,
// DEL) are written as \xHH, so a file name cannot forge an entry. Backslashes stay as they
// are, to keep paths readable.
std::string FormatLogEntry(std::time_t when, const std::string& message);

// Appends an entry stamped with the current time. Safe from any thread. When the log cannot
// be written (a FIFO, folder or link in its place, a read-only folder, a full disk) the
// problem is told once on standard error, and every entry goes to standard error instead,
// so that cron mails what the log could not keep; cleaning goes on.
void WriteLog(const std::string& message);

// How many entries of this process did not reach the log (and went to standard error).
std::uint64_t LogEntriesLost();

// True when the log is there and can be opened for reading.
bool LogExists();

// Removes the log; a missing log is fine. Anything but a file or a link under its name is
// reported and left alone.
void DeleteLog();
