#include "scan/Wildcard.h"

namespace {

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Length of the UTF-8 sequence starting at name[i], so that '?' stands for one character.
size_t CharLength(std::string_view name, size_t i) {
    const auto c = static_cast<unsigned char>(name[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    if (i + len > name.size())
        return 1;
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(name[i + k]) & 0xC0) != 0x80)
            return 1; // not valid UTF-8: one byte is one character
    return len;
}

// Glob match with backtracking to the last '*': linear in practice, never exponential.
bool Glob(std::string_view p, std::string_view n) {
    size_t pi = 0, ni = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (pi < p.size() && p[pi] == '?') {
            ++pi;
            ni += CharLength(n, ni);
        } else if (pi < p.size() && Fold(p[pi]) == Fold(n[ni])) {
            ++pi;
            ++ni;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            starN += CharLength(n, starN);
            ni = starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace

CWildcard::CWildcard(std::string_view pattern) : m_pattern(pattern) {
    m_bAll = pattern == "*" || pattern == "*.*";
    m_bDotStarTail = pattern.size() >= 2 && pattern.ends_with(".*");
    m_bNoDotTail = !m_bDotStarTail && pattern.ends_with('.');
}

bool CWildcard::Matches(std::string_view name) const {
    if (m_bAll)
        return true;
    const bool hasDot = name.find('.') != std::string_view::npos;
    const std::string_view p = m_pattern;
    if (m_bNoDotTail)
        return !hasDot && Glob(p.substr(0, p.size() - 1), name);
    if (Glob(p, name))
        return true;
    return m_bDotStarTail && !hasDot && Glob(p.substr(0, p.size() - 2), name);
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    return CWildcard(pattern).Matches(name);
}
