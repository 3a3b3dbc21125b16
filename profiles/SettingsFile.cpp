#include "profiles/SettingsFile.h"

#include <stdio.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

bool CSettingsReader::ReadRawLine(std::string& line) {
    line.clear();
    if (m_atEnd || !m_file)
        return false;
    char* buf = nullptr;
    size_t capacity = 0;
    ssize_t n = ::getline(&buf, &capacity, m_file.get());
    if (n > 0)
        line.assign(buf, static_cast<size_t>(n));
    std::free(buf);
    // End of file (or a read error, treated alike).
    if (n <= 0 || line.back() != '\n')
        m_atEnd = true;
    return n > 0;
}

namespace {
bool IsTrailingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
} // namespace

std::string ReadSettingsLine(CSettingsReader& reader) {
    std::string line;
    while (reader.ReadRawLine(line)) {
        while (!line.empty() && IsTrailingSpace(line.back()))
            line.pop_back();
        if (!line.empty() && line[0] != ';')
            return line;
    }
    return {};
}

long long ParseSettingsNumber(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-'))
        negative = line[i++] == '-';
    // Saturate far beyond every range a caller uses instead of overflowing.
    constexpr long long kLimit = 1LL << 40;
    long long value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        value = std::min(kLimit, value * 10 + (line[i] - '0'));
    return negative ? -value : value;
}

int ReadSettingsInt(CSettingsReader& reader) {
    long long v = ParseSettingsNumber(ReadSettingsLine(reader));
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

std::uint32_t ParseSettingsSize(const std::string& line) {
    long long v = ParseSettingsNumber(line);
    v = std::clamp<long long>(v, INT32_MIN, UINT32_MAX);
    return static_cast<std::uint32_t>(v < 0 ? v + (1LL << 32) : v);
}

std::string FormatSettingsSize(std::uint32_t size) {
    return std::to_string(static_cast<std::int32_t>(size));
}
