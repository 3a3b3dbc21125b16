// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Truncated, garbled and hostile settings files: never a crash, a hang or a runaway.
#include "profiles/CProfileList.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

const std::string kTwoProfiles =
    "Fernwick 2.0, Data Stream Version 1.1\n2\n"
    "First\n1068\n2\n/a\n/b\n1\n*.tmp\n1\nTEMP\n1\n10\n-1\n6\n7\n2001\n"
    "Second\n1069\n0\n2\n*.bak\n*.old\n0\n0\n5\n6\n2\n3\n2002\n";

size_t CountLines(const std::string& s) { return std::count(s.begin(), s.end(), '\n') + 1; }

class SettingsRobustness : public ::testing::Test {
protected:
    ScopedTestHome home;
    CProfileList LoadText(const std::string& text) {
        WriteTextFile(home.program() / "settings.dat", text);
        CProfileList list;
        list.Load("settings.dat", list);
        return list;
    }
};

} // namespace

TEST_F(SettingsRobustness, FileCutShortAnywhereKeepsWhatWasRead) {
    const size_t firstName = kTwoProfiles.find("First");
    const size_t secondName = kTwoProfiles.find("Second");
    const size_t minSize = kTwoProfiles.find("\n10\n") + 1;
    for (size_t cut = 0; cut <= kTwoProfiles.size(); ++cut) {
        const std::string text = kTwoProfiles.substr(0, cut);
        CProfileList list = LoadText(text);
        const bool hasFirst = cut > firstName;
        const bool hasSecond = cut > secondName;
        ASSERT_EQ(list.GetCount(), size_t(hasFirst) + size_t(hasSecond)) << "cut at " << cut;
        if (!hasFirst)
            continue;
        const CProfile& first = *list.begin();
        // Cut inside a name: the name is what was read (never empty).
        EXPECT_FALSE(first.m_strName.empty());
        EXPECT_LE(first.m_lstScanFolders.size(), 2u);
        if (hasSecond) { // the first block was complete
            EXPECT_EQ(first.m_lstScanFolders, (std::vector<std::string>{"/a", "/b"}));
            EXPECT_EQ(first.m_dwMaxSize, 4294967295u);
        } else if (cut <= minSize) {
            EXPECT_EQ(first.m_dwMinSize, 0u); // not reached: the default
        }
    }
}

TEST_F(SettingsRobustness, HugeCountsAreBoundedByTheFile) {
    CProfileList list = LoadText("Fernwick 2.0, Data Stream Version 1.1\n2147483647\n"
                                 "Only\n1068\n2147483647\n/x\n");
    ASSERT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.begin()->m_lstScanFolders, std::vector<std::string>{"/x"});
    EXPECT_TRUE(list.begin()->m_lstPatterns.empty());

    EXPECT_EQ(LoadText("Fernwick 2.0, Data Stream Version 1.1\n99999999999999999999\nA\n").GetCount(),
              1u);
}

TEST_F(SettingsRobustness, RandomAndMutatedFilesLoadSafely) {
    std::mt19937 rng(20261208);
    auto byte = [&] { return static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng)); };
    const std::string pieces[] = {"\n", "\r\n", ";", "-1", "2147483647", "-2147483648", " ",
                                  "\t", "\0", "9999999999999", "Fernwick 2.0, Data Stream Version 1.1\n"};
    for (int round = 0; round < 1500; ++round) {
        std::string text = kTwoProfiles;
        const int edits = std::uniform_int_distribution<int>(1, 12)(rng);
        for (int e = 0; e < edits; ++e) {
            const size_t at = std::uniform_int_distribution<size_t>(0, text.size())(rng);
            switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
            case 0:
                text.insert(at, 1, byte());
                break;
            case 1:
                if (at < text.size())
                    text.erase(at, std::uniform_int_distribution<size_t>(1, 20)(rng));
                break;
            case 2:
                text.insert(at, pieces[std::uniform_int_distribution<size_t>(0, 10)(rng)]);
                break;
            default:
                text.resize(at);
            }
        }
        if (round % 10 == 0) { // now and then pure noise behind a valid head
            text = "Fernwick 2.0, Data Stream Version 1.1\n";
            for (int i = std::uniform_int_distribution<int>(0, 600)(rng); i > 0; --i)
                text += byte();
        }
        CProfileList list = LoadText(text);
        ASSERT_LE(list.GetCount(), CountLines(text)) << "round " << round;
        for (const CProfile& p : list) {
            ASSERT_FALSE(p.m_strName.empty());
            ASSERT_LE(p.m_lstScanFolders.size() + p.m_lstPatterns.size() + p.m_lstFolders.size(),
                      CountLines(text));
        }
        // Whatever was read can be written and read back to the same number of profiles.
        ASSERT_EQ(list.Save().Text(), "");
        CProfileList again;
        again.Load("settings.dat", again);
        ASSERT_EQ(again.GetCount(), list.GetCount()) << "round " << round;
    }
}
