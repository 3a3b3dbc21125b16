// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>
#include <string_view>

// DOS-style name matching, case-insensitive for ASCII letters: '*' any run of characters
// (dots included), '?' exactly one character, everything else literal. "*.*" matches every
// name; a pattern ending in ".*" also matches a name without a dot ("~*.*" takes "~lock"); a
// pattern ending in "." matches only names without a dot ("*." takes "README").
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// A pattern prepared once and matched against many names.
class CWildcard {
public:
    explicit CWildcard(std::string_view pattern);
    bool Matches(std::string_view name) const;
    bool MatchesEverything() const { return m_bAll; }

private:
    // Most patterns are a literal with a star at one end or both; they are matched without
    // the general backtracking matcher.
    struct Form {
        enum Kind { Exact, Prefix, Suffix, Infix, Glob } kind = Glob;
        std::string text; // lower case literal, or the whole pattern for Glob
        static Form Of(std::string_view pattern);
        bool Matches(std::string_view name) const;
    };

    Form m_form;
    Form m_dotless;              // for dotless names when the pattern ends in ".*"
    bool m_bAll = false;         // "*" or "*.*"
    bool m_bDotStarTail = false; // ends in ".*": a dotless name is tried without the tail
    bool m_bNoDotTail = false;   // ends in ".": dotless names only, tried without the dot
};
