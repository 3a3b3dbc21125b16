// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/ProfileSelection.h"

#include <gtest/gtest.h>

namespace {
CProfileList Store(std::initializer_list<const char*> names) {
    CProfileList store;
    for (const char* n : names) {
        auto p = std::make_unique<CProfile>();
        p->m_strName = n;
        store.AddTail(std::move(p));
    }
    return store;
}
using Names = std::unordered_set<std::string>;
} // namespace

TEST(ProfileSelection, WholeNamesOnlyWithTheLongestWinning) {
    const CProfileList store = Store({"Temp", "Temp Files", "Backups", "Files"});
    EXPECT_EQ(SelectProfilesByNameList(store, "Temp Files "), Names{"Temp Files"});
    EXPECT_EQ(SelectProfilesByNameList(store, "Temp Files Temp "), (Names{"Temp Files", "Temp"}));
    EXPECT_EQ(SelectProfilesByNameList(store, "Temp Backups "), (Names{"Temp", "Backups"}));
    EXPECT_EQ(SelectProfilesByNameList(store, "temp "), Names{}); // case counts
    EXPECT_EQ(SelectProfilesByNameList(store, ""), Names{});
    EXPECT_EQ(SelectProfilesByNameList(store, " "), Names{});
}

TEST(ProfileSelection, TheLastNameNeedsNoTrailingBlank) {
    const CProfileList store = Store({"Temp", "Temp Files", "Backups", "Files"});
    // The name ends the value: it is named, and no shorter name inside it is.
    EXPECT_EQ(SelectProfilesByNameList(store, "Temp Files"), Names{"Temp Files"});
    EXPECT_EQ(SelectProfilesByNameList(store, "Temp"), Names{"Temp"});
    EXPECT_EQ(SelectProfilesByNameList(store, "Backups"), Names{"Backups"});
    EXPECT_EQ(SelectProfilesByNameList(store, "Backups Temp Files"),
              (Names{"Backups", "Temp Files"}));
    EXPECT_EQ(SelectProfilesByNameList(store, "Backups Temp"), (Names{"Backups", "Temp"}));
    // A value cut inside a name names nothing there.
    EXPECT_EQ(SelectProfilesByNameList(store, "Temp Fil"), Names{"Temp"});
    EXPECT_EQ(SelectProfilesByNameList(store, "Back"), Names{});
    EXPECT_EQ(SelectProfilesByNameList(store, "Temp Filesystem"), Names{"Temp"});
}

TEST(ProfileSelection, UnknownNamesArePassedOver) {
    const CProfileList store = Store({"Temp", "Backups"});
    EXPECT_EQ(SelectProfilesByNameList(store, "Gone Backups "), Names{"Backups"});
    EXPECT_EQ(SelectProfilesByNameList(store, "Gone  Temp "), Names{"Temp"});
    EXPECT_EQ(SelectProfilesByNameList(store, "Tempest Temp "), Names{"Temp"});
}
