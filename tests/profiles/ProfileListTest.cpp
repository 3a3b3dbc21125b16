// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "profiles/CProfileList.h"

#include <gtest/gtest.h>

namespace {
std::unique_ptr<CProfile> Named(const std::string& name) {
    auto p = std::make_unique<CProfile>();
    p->m_strName = name;
    return p;
}

std::vector<std::string> Names(const CProfileList& list) {
    std::vector<std::string> names;
    for (const CProfile& p : list)
        names.push_back(p.m_strName);
    return names;
}
} // namespace

TEST(ProfileList, NewProfileHasTheDocumentedDefaults) {
    CProfile p;
    EXPECT_TRUE(p.m_strName.empty());
    EXPECT_EQ(p.m_nScanScope, SCOPE_ALL_FOLDERS);
    EXPECT_TRUE(p.m_lstScanFolders.empty());
    EXPECT_TRUE(p.m_lstPatterns.empty());
    EXPECT_TRUE(p.m_lstFolders.empty());
    EXPECT_FALSE(p.m_bUseLimits);
    EXPECT_EQ(p.m_dwMinSize, 0u);
    EXPECT_EQ(p.m_dwMaxSize, 0u);
    std::tm tm{};
    ASSERT_TRUE(localtime_r(&p.m_timeOlderThan, &tm));
    EXPECT_EQ(tm.tm_year + 1900, 1980);
    EXPECT_EQ(tm.tm_mon, 0);
    EXPECT_EQ(tm.tm_mday, 1);
    EXPECT_EQ(tm.tm_hour, 0);
}

TEST(ProfileList, HeadAndTailKeepOrderAndRemoveDeletesByPointer) {
    CProfileList list;
    list.AddTail(Named("B"));
    list.AddTail(Named("C"));
    CProfile* a = list.AddHead(Named("A"));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A", "B", "C"}));

    CProfile stranger;
    EXPECT_FALSE(list.Remove(&stranger));
    EXPECT_TRUE(list.Remove(list.FindByName("B")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A", "C"}));
    EXPECT_TRUE(list.Remove(a));
    EXPECT_TRUE(list.Remove(list.FindByName("C")));
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(ProfileList, FindByNameIsExactAndTheHeadmostWins) {
    CProfileList list;
    CProfile* first = list.AddTail(Named("Temp"));
    list.AddTail(Named("Temp"));
    list.AddTail(Named("Temp Files"));
    EXPECT_EQ(list.FindByName("Temp"), first);
    EXPECT_EQ(list.FindByName("temp"), nullptr);
    EXPECT_EQ(list.FindByName("Temp "), nullptr);
    EXPECT_EQ(list.FindByName("Temp Files")->m_strName, "Temp Files");
    EXPECT_EQ(list.FindByName(""), nullptr);
}

TEST(ProfileList, LocalMidnightNormalisesAndReachesBeyond2038) {
    std::time_t t;
    ASSERT_TRUE(LocalMidnight(2, 31, 2001, t)); // 31 February rolls into March
    std::tm tm{};
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_mon + 1, 3);
    EXPECT_EQ(tm.tm_mday, 3);

    ASSERT_TRUE(LocalMidnight(12, 31, 2100, t));
    EXPECT_GT(t, std::time_t{4102444800} - 2 * 86400); // around 2100-12-31
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_year + 1900, 2100);
    EXPECT_EQ(tm.tm_hour, 0);

    ASSERT_TRUE(LocalMidnight(7, 4, 1960, t));
    EXPECT_LT(t, 0);
    EXPECT_FALSE(LocalMidnight(1, 1, 2000000000, t));
}
