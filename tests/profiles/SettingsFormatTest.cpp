// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The settings file, both ways: what the writer puts down and what the reader takes.
#include "profiles/CProfileList.h"
#include "profiles/SettingsFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

std::string Lines(std::initializer_list<const char*> lines, const char* end = "\n") {
    std::string s;
    for (const char* l : lines)
        s += std::string(l) + end;
    return s;
}

std::time_t Midnight(int m, int d, int y) {
    std::time_t t = 0;
    EXPECT_TRUE(LocalMidnight(m, d, y, t));
    return t;
}

class SettingsFormat : public ::testing::Test {
protected:
    ScopedTestHome home;
    std::string Read(const char* name = "settings.dat") {
        return ReadTextFile(home.programDir() + name);
    }
    void Write(const std::string& text, const char* name = "settings.dat") {
        WriteTextFile(home.programDir() + name, text);
    }
    void LoadInto(CProfileList& list, const char* name = "settings.dat") { list.Load(name, list); }
};

const std::string kExample = Lines({"Fernwick 2.0, Data Stream Version 1.1", "1", "Temp Files",
                                    "1069", "0", "2", "*.TMP", "~*.*", "1", "TEMP", "0", "0",
                                    "-1", "1", "1", "1980"});

} // namespace

TEST_F(SettingsFormat, WritesTheDocumentedExampleLineForLine) {
    CProfileList list;
    auto p = std::make_unique<CProfile>();
    p->m_strName = "Temp Files";
    p->m_lstPatterns = {"*.TMP", "~*.*"};
    p->m_lstFolders = {"TEMP"};
    p->m_dwMaxSize = 4294967295u;
    p->m_timeOlderThan = Midnight(1, 1, 1980);
    list.AddTail(std::move(p));
    ASSERT_EQ(list.Save().Text(), "");
    EXPECT_EQ(Read(), kExample);
}

TEST_F(SettingsFormat, EveryFieldSurvivesARoundTrip) {
    struct Case {
        std::uint32_t minSize, maxSize;
        int m, d, y;
    };
    const Case cases[] = {{0, 0, 1, 1, 1980},
                          {2147483648u, 4294967295u, 12, 31, 2100},
                          {2147483647u, 100000, 7, 4, 1960},
                          {1, 2147483648u, 2, 29, 2040}};
    CProfileList out;
    int n = 0;
    for (const Case& c : cases) {
        auto p = std::make_unique<CProfile>();
        p->m_strName = " Leading blank kept " + std::to_string(n++);
        p->m_nScanScope = n % 2 ? SCOPE_LISTED_FOLDERS : SCOPE_ALL_FOLDERS;
        p->m_lstScanFolders = {"/home/user/Downloads", "/media/usb stick/old"};
        p->m_lstPatterns = {"*.TMP", "~*.*", "#*#", "  indented"};
        p->m_lstFolders = {"TEMP", "cache"};
        p->m_bUseLimits = n % 2;
        p->m_dwMinSize = c.minSize;
        p->m_dwMaxSize = c.maxSize;
        p->m_timeOlderThan = Midnight(c.m, c.d, c.y);
        out.AddTail(std::move(p));
    }
    ASSERT_EQ(out.Save().Text(), "");
    EXPECT_NE(Read().find("\n-2147483648\n-1\n12\n31\n2100\n"), std::string::npos);

    CProfileList in;
    LoadInto(in);
    ASSERT_EQ(in.GetCount(), out.GetCount());
    auto a = out.begin();
    for (auto b = in.begin(); b != in.end(); ++a, ++b) {
        EXPECT_EQ(b->m_strName, a->m_strName);
        EXPECT_EQ(b->m_nScanScope, a->m_nScanScope);
        EXPECT_EQ(b->m_lstScanFolders, a->m_lstScanFolders);
        EXPECT_EQ(b->m_lstPatterns, a->m_lstPatterns);
        EXPECT_EQ(b->m_lstFolders, a->m_lstFolders);
        EXPECT_EQ(b->m_bUseLimits, a->m_bUseLimits);
        EXPECT_EQ(b->m_dwMinSize, a->m_dwMinSize);
        EXPECT_EQ(b->m_dwMaxSize, a->m_dwMaxSize);
        EXPECT_EQ(b->m_timeOlderThan, a->m_timeOlderThan) << b->m_strName;
    }
}

TEST_F(SettingsFormat, SizesAreSigned32BitLinesReadBackUnsigned) {
    EXPECT_EQ(FormatSettingsSize(0), "0");
    EXPECT_EQ(FormatSettingsSize(2147483647u), "2147483647");
    EXPECT_EQ(FormatSettingsSize(2147483648u), "-2147483648");
    EXPECT_EQ(FormatSettingsSize(4294967295u), "-1");
    EXPECT_EQ(ParseSettingsSize("-1"), 4294967295u);
    EXPECT_EQ(ParseSettingsSize("-2147483648"), 2147483648u);
    // Written by hand as unsigned numbers.
    EXPECT_EQ(ParseSettingsSize("4294967295"), 4294967295u);
    EXPECT_EQ(ParseSettingsSize("99999999999"), 4294967295u);
    EXPECT_EQ(ParseSettingsSize("-99999999999"), 2147483648u);
    EXPECT_EQ(ParseSettingsSize("  +42kB"), 42u);
    EXPECT_EQ(ParseSettingsSize("abc"), 0u);
}

TEST_F(SettingsFormat, ReaderSkipsCommentsAndBlanksAndTrimsOnlyTheEnd) {
    Write("; a comment before the magic line\n\n" +
          Lines({"Fernwick 2.0, Data Stream Version 1.1", "   ", "; count follows", "1",
                 "  Indented Name \t", "1068", "", "1", "/tmp/a folder  ", ";", "1", "*.bak",
                 "0", "1", "  12 apples", "-1", "2", "3", "2004"},
                "\r\n"));
    CProfileList list;
    LoadInto(list);
    ASSERT_EQ(list.GetCount(), 1u);
    const CProfile& p = *list.begin();
    EXPECT_EQ(p.m_strName, "  Indented Name");
    EXPECT_EQ(p.m_nScanScope, SCOPE_LISTED_FOLDERS);
    EXPECT_EQ(p.m_lstScanFolders, std::vector<std::string>{"/tmp/a folder"});
    EXPECT_EQ(p.m_lstPatterns, std::vector<std::string>{"*.bak"});
    EXPECT_TRUE(p.m_lstFolders.empty());
    EXPECT_TRUE(p.m_bUseLimits);
    EXPECT_EQ(p.m_dwMinSize, 12u);
    EXPECT_EQ(p.m_dwMaxSize, 4294967295u);
    EXPECT_EQ(p.m_timeOlderThan, Midnight(2, 3, 2004));
}

TEST_F(SettingsFormat, LongValuesAreReadWhole) {
    const std::string longName(1000, 'n');
    const std::string longPath = "/" + std::string(5000, 'p');
    Write(Lines({"Fernwick 2.0, Data Stream Version 1.1", "1"}) + longName + "\n1068\n1\n" +
          longPath + "\n0\n0\n0\n0\n0\n1\n1\n1980\n");
    CProfileList list;
    LoadInto(list);
    ASSERT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.begin()->m_strName, longName);
    EXPECT_EQ(list.begin()->m_lstScanFolders, std::vector<std::string>{longPath});
}

TEST_F(SettingsFormat, WrongMagicAndNonPositiveCountsGiveNothing) {
    const std::string body = Lines({"X", "1069", "0", "0", "0", "0", "0", "0", "1", "1", "1980"});
    for (const std::string& head : {Lines({"Fernwick 2.0, Data Stream Version 1.0", "1"}),
                                    Lines({"fernwick 2.0, data stream version 1.1", "1"}),
                                    Lines({" Fernwick 2.0, Data Stream Version 1.1", "1"}),
                                    Lines({"Fernwick 2.0, Data Stream Version 1.1", "0"}),
                                    Lines({"Fernwick 2.0, Data Stream Version 1.1", "-3"}),
                                    Lines({"Fernwick 2.0, Data Stream Version 1.1", "many"})}) {
        Write(head + body);
        CProfileList list;
        LoadInto(list);
        EXPECT_TRUE(list.IsEmpty()) << head;
    }
}

TEST_F(SettingsFormat, NegativeListCountsReadNoLines) {
    Write(Lines({"Fernwick 2.0, Data Stream Version 1.1", "1", "N", "1069", "-5", "-1", "-2",
                 "1", "7", "8", "3", "4", "1999"}));
    CProfileList list;
    LoadInto(list);
    ASSERT_EQ(list.GetCount(), 1u);
    const CProfile& p = *list.begin();
    EXPECT_TRUE(p.m_lstScanFolders.empty() && p.m_lstPatterns.empty() && p.m_lstFolders.empty());
    EXPECT_EQ(p.m_dwMinSize, 7u);
    EXPECT_EQ(p.m_dwMaxSize, 8u);
    EXPECT_EQ(p.m_timeOlderThan, Midnight(3, 4, 1999));
}

TEST_F(SettingsFormat, AnEmptyStoreIsSavedAndLoadsEmpty) {
    Write(kExample);
    CProfileList list;
    LoadInto(list);
    ASSERT_TRUE(list.Remove(&*list.begin()));
    ASSERT_EQ(list.Save().Text(), "");
    EXPECT_EQ(Read(), "Fernwick 2.0, Data Stream Version 1.1\n0\n");
    CProfileList again;
    LoadInto(again);
    EXPECT_TRUE(again.IsEmpty());
}

TEST_F(SettingsFormat, ValuesTheFormatCannotCarryAreMadeSafeOnSave) {
    CProfileList list;
    auto p = std::make_unique<CProfile>();
    p->m_strName = "";
    p->m_lstPatterns = {"*.tmp  ", "", ";comment-like", "two\nlines", "   "};
    list.AddTail(std::move(p));
    auto q = std::make_unique<CProfile>();
    q->m_strName = "Second";
    list.AddTail(std::move(q));
    ASSERT_EQ(list.Save().Text(), "");

    CProfileList in;
    LoadInto(in);
    ASSERT_EQ(in.GetCount(), 2u);
    EXPECT_EQ(in.begin()->m_strName, "Unnamed profile");
    EXPECT_EQ(in.begin()->m_lstPatterns, (std::vector<std::string>{"*.tmp", "two lines"}));
    EXPECT_EQ(std::next(in.begin())->m_strName, "Second");
}

TEST_F(SettingsFormat, HomePrefixOfScanFoldersIsExpanded) {
    Write(Lines({"Fernwick 2.0, Data Stream Version 1.1", "1", "Caches", "1068", "3", "~/.cache",
                 "~", "/srv/~/x", "0", "0", "0", "0", "0", "1", "1", "1980"}));
    CProfileList list;
    LoadInto(list);
    ASSERT_EQ(list.GetCount(), 1u);
    const std::string h = home.home().string();
    EXPECT_EQ(list.begin()->m_lstScanFolders,
              (std::vector<std::string>{h + "/.cache", h, "/srv/~/x"}));
}

TEST_F(SettingsFormat, ShippedDefaultProfilesAreWellFormed) {
    WriteTextFile(home.program() / "newntsettings.dat", ReadTextFile(FW_DEFAULT_PROFILES));
    CProfileList list;
    LoadInto(list, "newntsettings.dat");
    ASSERT_GE(list.GetCount(), 6u);
    for (const CProfile& p : list) {
        EXPECT_FALSE(p.m_strName.empty());
        EXPECT_TRUE(p.m_nScanScope == SCOPE_ALL_FOLDERS || p.m_nScanScope == SCOPE_LISTED_FOLDERS);
        EXPECT_FALSE(p.m_lstPatterns.empty() && p.m_lstFolders.empty()) << p.m_strName;
        EXPECT_EQ(p.m_nScanScope == SCOPE_LISTED_FOLDERS, !p.m_lstScanFolders.empty())
            << p.m_strName;
        for (const auto& f : p.m_lstScanFolders)
            EXPECT_EQ(f.front(), '/') << f;
        EXPECT_FALSE(p.m_bUseLimits);
    }
    EXPECT_NE(list.FindByName("Temporary Files"), nullptr);
    EXPECT_NE(list.FindByName("Backup Copies"), nullptr);
    // The last profile must be complete: a miscounted block would shift it.
    std::tm tm{};
    localtime_r(&std::prev(list.end())->m_timeOlderThan, &tm);
    EXPECT_EQ(tm.tm_year + 1900, 1980);
}
