// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "profiles/SettingsFile.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

bool IsTrailingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

CSettingsReader::CSettingsReader(UniqueFd fd, std::size_t maxLine, std::uint64_t maxBytes)
    : m_fd(std::move(fd)), m_buffer(kBufferSize), m_maxLine(maxLine), m_maxBytes(maxBytes) {}

bool CSettingsReader::Fill() {
    if (!m_fd)
        return false;
    for (;;) {
        const ssize_t n = ::read(m_fd.get(), m_buffer.data(), m_buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            m_readError = FsError::System(errno);
        if (n <= 0)
            return false;
        m_read += static_cast<std::uint64_t>(n);
        if (m_read > m_maxBytes) {
            m_damage = "it is larger than " + DataSizeText(m_maxBytes);
            return false;
        }
        m_pos = 0;
        m_end = static_cast<std::size_t>(n);
        return true;
    }
}

bool CSettingsReader::ReadRawLine(std::string& line) {
    line.clear();
    if (m_atEnd)
        return false;
    for (;;) {
        if (m_pos == m_end && !Fill()) {
            m_atEnd = true;
            if (!m_damage.empty())
                line.clear();
            return !line.empty();
        }
        const char* start = m_buffer.data() + m_pos;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', m_end - m_pos));
        const std::size_t take = newline ? static_cast<std::size_t>(newline - start) : m_end - m_pos;
        if (take > m_maxLine - line.size()) {
            m_damage = "it has a line longer than " + DataSizeText(m_maxLine);
            m_atEnd = true;
            line.clear();
            return false;
        }
        line.append(start, take);
        m_pos += take;
        if (newline) {
            ++m_pos;
            return true;
        }
    }
}

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
