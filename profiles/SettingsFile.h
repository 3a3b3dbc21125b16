#pragma once

#include "platform/UniqueFile.h"

#include <cstdint>
#include <string>

// The first line of every settings and update file.
inline constexpr const char* kSettingsMagic = "Fernwick 2.0, Data Stream Version 1.1";
inline constexpr const char* kSettingsFileName = "settings.dat";

// An open settings file being read line by line.
class CSettingsReader {
public:
    explicit CSettingsReader(UniqueFile file) : m_file(std::move(file)) {}
    // The next raw line without its line end; false at the end of the file.
    bool ReadRawLine(std::string& line);
    bool AtEnd() const { return m_atEnd; }

private:
    UniqueFile m_file;
    bool m_atEnd = false;
};

// The next significant line: trailing white space (and the line end) removed, empty lines and
// lines starting with ';' skipped. Lines of any length are read whole. Empty at the end.
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
