// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/DataFile.h"
#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The first line of every settings and update file.
inline constexpr const char* kSettingsMagic = "Fernwick 2.0, Data Stream Version 1.1";
inline constexpr const char* kSettingsFileName = "settings.dat";

// A settings file with a line longer than this (its line feed not counted) is damaged.
inline constexpr std::size_t kMaxSettingsLine = std::size_t(1) << 20;

// An open settings file being read line by line. Reading stops, and the file counts as
// damaged, at a line longer than maxLine or once more than maxBytes were read in all (a file
// that grows while it is read): nothing is ever held beyond those limits.
class CSettingsReader {
public:
    explicit CSettingsReader(UniqueFd fd, std::size_t maxLine = kMaxSettingsLine,
                             std::uint64_t maxBytes = kMaxDataFileSize);
    // The next raw line without its line end; false at the end of the file or of its
    // undamaged part.
    bool ReadRawLine(std::string& line);
    bool AtEnd() const { return m_atEnd; }
    // Why the file is damaged ("it has a line longer than 1 MiB"); empty while it is not.
    const std::string& Damage() const { return m_damage; }
    // A read that failed, which ends the file early; none while none did.
    const FsError& ReadError() const { return m_readError; }

private:
    bool Fill();

    UniqueFd m_fd;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::uint64_t m_read = 0;
    std::size_t m_maxLine;
    std::uint64_t m_maxBytes;
    bool m_atEnd = false;
    std::string m_damage;
    FsError m_readError;
};

// The next significant line: trailing white space (and the line end) removed, empty lines and
// lines starting with ';' skipped. Empty at the end (and where the file is damaged).
std::string ReadSettingsLine(CSettingsReader& reader);
// The next significant line as a decimal integer (leading blanks, optional sign, digits up to
// the first other character); 0 for text that is not a number and at the end of the file.
// Out-of-range numbers are clamped to int.
int ReadSettingsInt(CSettingsReader& reader);

// The number at the start of a line, as ReadSettingsInt reads it but without clamping to int.
long long ParseSettingsNumber(const std::string& line);
// A size line: signed 32-bit as written ("-1" is 4294967295); an unsigned value up to
// 4294967295 written by hand is read as such.
std::uint32_t ParseSettingsSize(const std::string& line);
// Written form of a size: the value as a signed 32-bit decimal.
std::string FormatSettingsSize(std::uint32_t size);
