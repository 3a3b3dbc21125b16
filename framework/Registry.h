// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <cstdint>
#include <memory>

class QSettings;
class QString;

// The program's two per-user options, kept in the user's settings store
// (~/.config/Quenby Works/Fernwick.ini).
inline constexpr const char* kRegFirstRun = "First Run";             // default 0
inline constexpr const char* kRegShowFolderError = "Show Folder Error"; // default 1

// The file the options are kept in: "Quenby Works/Fernwick.ini" in Qt's folder for per-user
// INI files (QSettings::setPath moves it).
QString OptionsFileQtPath();
// The program's settings key, or null when it can neither be opened nor created. Anything
// but a regular file of sane size under the file's name is reported and left alone; the
// options then read as their defaults and are not stored.
std::unique_ptr<QSettings> RegOpenAppKey();
// Stores a 32-bit value; false when the key could not be opened.
bool RegWriteDword(const char* name, std::uint32_t value);
// Reads a 32-bit value. A value that is missing or not an integer 0..4294967295 reads as
// the default, which is then written; the result is false in that case and when the key
// could not be opened.
bool RegReadDword(const char* name, std::uint32_t& value, std::uint32_t defaultValue);
