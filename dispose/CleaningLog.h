#pragma once

#include <ctime>
#include <string>

// The cleaning log: "fwlog.txt" in the program directory, one time-stamped entry per event.
// Every entry is opened, written and closed on its own, so it is on disk when the call returns.

// Full path of the log file.
std::string LogFilePath();

// The text of one entry: "MM/DD/YY HH:MM:SS     message\n" in local time. Further lines of a
// multi-line message follow unstamped.
std::string FormatLogEntry(std::time_t when, const std::string& message);

// Appends an entry stamped with the current time. Safe from any thread. A log that cannot be
// written (a FIFO or a folder in its place, a full disk) is reported once on standard error;
// cleaning goes on without it.
void WriteLog(const std::string& message);

// True when the log is there and can be opened for reading.
bool LogExists();

// Removes the log; a missing log is fine. Anything but a file or a link under its name is
// reported and left alone.
void DeleteLog();
