// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/Wildcard.h"

#include <gtest/gtest.h>

TEST(Wildcard, DosRulesTable) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    } const cases[] = {
        {"*.*", "anything", true},          {"*.*", ".hidden", true},
        {"*.*", "a.b.c", true},             {"*", "x", true},
        {"*.TMP", "file.tmp", true},        {"*.TMP", "FILE.TMP", true},
        {"*.TMP", "file.tmp.bak", false},   {"*.TMP", "file.tmpx", false},
        {"*.TMP", "tmp", false},            {"*.tmp", ".tmp", true},
        {"~*.*", "~lock", true},            {"~*.*", "~lock.docx", true},
        {"~*.*", "lock~", false},           {"~*.*", "~", true},
        {"*.~*", "report.~1~", true},       {"*.~*", "report~", false},
        {"*.", "README", true},             {"*.", "read.me", false},
        {"abc.", "abc", true},              {"abc.", "ABC", true},
        {"FILE????.CHK", "FILE0001.CHK", true}, {"FILE????.CHK", "FILE001.CHK", false},
        {"?", "é", true},                   {"?", "ab", false},
        {"??.txt", "日本.txt", true},       {"*[1].txt", "a[1].txt", true},
        {"*[1].txt", "a1.txt", false},      {"#*#", "#notes#", true},
        {"core", "CORE", true},             {"core", "core.c", false},
        {"vgcore.*", "vgcore", true},       {"vgcore.*", "vgcore.1234", true},
        {"*a*b*c", "aXbXbYc", true},        {"*a*b*c", "acb", false},
        {"", "", true},                     {"", "x", false},
        {"Ünï*", "Ünïcödé.TMP", true},      {"ünï*", "Ünïcödé", false}, // only ASCII folds
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.match)
            << "pattern " << c.pattern << " name " << c.name;
}

TEST(Wildcard, ManyStarsStayFast) {
    // Backtracking to the last star only: a hostile pattern is no worse than quadratic.
    const std::string name(4000, 'a');
    EXPECT_FALSE(MatchesWildcard("*a*a*a*a*a*a*a*a*a*a*b", name));
    EXPECT_TRUE(MatchesWildcard("*a*a*a*a*a*a*a*a*a*a*", name));
}
