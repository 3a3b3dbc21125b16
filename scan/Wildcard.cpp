// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/Wildcard.h"

#include <algorithm>

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

CWildcard::Form CWildcard::Form::Of(std::string_view p) {
    Form f;
    const size_t first = p.find_first_of("*?");
    auto lower = [](std::string_view t) {
        std::string r(t);
        for (char& c : r)
            c = Fold(c);
        return r;
    };
    if (first == std::string_view::npos) {
        f.kind = Exact;
        f.text = lower(p);
        return f;
    }
    const std::string_view inner = p.substr(1, p.size() >= 2 ? p.size() - 2 : 0);
    if (p.find('?') == std::string_view::npos) {
        const size_t stars = static_cast<size_t>(std::count(p.begin(), p.end(), '*'));
        if (stars == 1 && p.back() == '*') {
            f.kind = Prefix;
            f.text = lower(p.substr(0, p.size() - 1));
            return f;
        }
        if (stars == 1 && p.front() == '*') {
            f.kind = Suffix;
            f.text = lower(p.substr(1));
            return f;
        }
        if (stars == 2 && p.size() >= 2 && p.front() == '*' && p.back() == '*') {
            f.kind = Infix;
            f.text = lower(inner);
            return f;
        }
    }
    f.kind = Glob;
    f.text = std::string(p);
    return f;
}

namespace {
bool EqualFolded(std::string_view name, std::string_view lowerText) {
    if (name.size() != lowerText.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (Fold(name[i]) != lowerText[i])
            return false;
    return true;
}
} // namespace

bool CWildcard::Form::Matches(std::string_view n) const {
    switch (kind) {
    case Exact:
        return EqualFolded(n, text);
    case Prefix:
        return n.size() >= text.size() && EqualFolded(n.substr(0, text.size()), text);
    case Suffix:
        return n.size() >= text.size() && EqualFolded(n.substr(n.size() - text.size()), text);
    case Infix:
        for (size_t i = 0; i + text.size() <= n.size(); ++i)
            if (EqualFolded(n.substr(i, text.size()), text))
                return true;
        return false;
    case Glob:
        break;
    }
    return ::Glob(text, n);
}

CWildcard::CWildcard(std::string_view pattern) {
    m_bAll = pattern == "*" || pattern == "*.*";
    m_bDotStarTail = pattern.size() >= 2 && pattern.ends_with(".*");
    m_bNoDotTail = !m_bDotStarTail && pattern.ends_with('.');
    if (m_bNoDotTail)
        m_form = Form::Of(pattern.substr(0, pattern.size() - 1));
    else
        m_form = Form::Of(pattern);
    if (m_bDotStarTail)
        m_dotless = Form::Of(pattern.substr(0, pattern.size() - 2));
}

bool CWildcard::Matches(std::string_view name) const {
    if (m_bAll)
        return true;
    const bool hasDot = name.find('.') != std::string_view::npos;
    if (m_bNoDotTail)
        return !hasDot && m_form.Matches(name);
    if (m_form.Matches(name))
        return true;
    return m_bDotStarTail && !hasDot && m_dotless.Matches(name);
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    return CWildcard(pattern).Matches(name);
}
