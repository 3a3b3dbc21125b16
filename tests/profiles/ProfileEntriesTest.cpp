// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "profiles/CProfileList.h"
#include "profiles/ProfileEntries.h"
#include "profiles/SettingsFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string DateText(std::time_t t) {
    const CalendarDate d = LocalDateOf(t);
    return std::to_string(d.month) + "/" + std::to_string(d.day) + "/" + std::to_string(d.year);
}

} // namespace

TEST(ProfileEntries, ProgramFilePatternsAreRefusedAnywhereInAnyCase) {
    for (const char* refused :
         {"*.EXE", "*.exe", "*.Exe", "setup.exe", "*.exe*", "a.dll.old", "readme.drv.txt",
          "control.OCX", "*.DlL", "x.EXEC", "..exe"})
        EXPECT_FALSE(IsAllowedPattern(refused)) << refused;
    for (const char* allowed : {"*.ex", "*.EX", "*.DL", "*.dr", "*.oc", "exe", "dll.txt", "*.e xe",
                                "*.TMP", "~*.*", ""})
        EXPECT_TRUE(IsAllowedPattern(allowed)) << allowed;
}

TEST(ProfileEntries, EntriesTheSettingsFileCannotCarryAreNamed) {
    struct Case {
        const char* entry;
        const char* problem; // part of the refusal; null when the entry is carried
    };
    const Case cases[] = {
        {"", "cannot be empty or only blanks."},
        {"   ", "cannot be empty or only blanks."},
        {" \t ", "cannot be empty or only blanks."},
        {"a\nb", "cannot hold a line break"},
        {"a\rb", "cannot hold a line break"},
        {";x", "cannot begin with \";\""},
        {";", "cannot begin with \";\""},
        {"x ", "cannot end with a blank or a tab"},
        {"x\t", "cannot end with a blank or a tab"},
        {"*.TMP", nullptr},
        {" ;x", nullptr}, // a leading blank is kept by the reader, so this is no comment
        {" x", nullptr},
        {"a;b", nullptr},
        {"Temp Files", nullptr},
    };
    for (const Case& c : cases) {
        const std::string problem = EntryProblem(EntryKind::Pattern, c.entry).Text();
        if (!c.problem)
            EXPECT_EQ(problem, "") << c.entry;
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.entry << ": " << problem;
    }
    EXPECT_EQ(EntryProblem(EntryKind::Pattern, "").Text(),
              "A file pattern cannot be empty or only blanks.");
    EXPECT_EQ(EntryProblem(EntryKind::FolderName, ";cache").Text(),
              "A folder name cannot begin with \";\": Fernwick's settings file would read that "
              "line as a comment.");
    EXPECT_EQ(EntryProblem(EntryKind::ProfileName, "a\nb").Text(),
              "A Profile name cannot hold a line break: Fernwick's settings file keeps one value "
              "per line.");
    EXPECT_EQ(EntryProblem(EntryKind::ScanFolder, "/tmp/x ").Text(),
              "The path of a folder to scan cannot end with a blank or a tab: Fernwick's "
              "settings file would drop it.");
}

TEST(ProfileEntries, TrimRemovesWhiteSpaceAtBothEndsOnly) {
    EXPECT_EQ(TrimWhiteSpace("  Temp Files \t\r\n"), "Temp Files");
    EXPECT_EQ(TrimWhiteSpace("\n\t "), "");
    EXPECT_EQ(TrimWhiteSpace("a  b"), "a  b");
    EXPECT_EQ(TrimWhiteSpace(""), "");
}

TEST(ProfileEntries, CopyStringListReplacesEverythingInOrder) {
    std::vector<std::string> dest{"old 1", "old 2", "old 3"};
    CopyStringList(dest, {"b", "a"});
    EXPECT_EQ(dest, (std::vector<std::string>{"b", "a"}));
    CopyStringList(dest, {});
    EXPECT_TRUE(dest.empty());
    std::vector<std::string> self{"x", "y"};
    CopyStringList(self, self);
    EXPECT_EQ(self, (std::vector<std::string>{"x", "y"}));
}

TEST(ProfileEntries, SortedListsIgnoreCaseAndKeepEqualEntriesInArrivalOrder) {
    EXPECT_LT(CompareNoCase("A.y", "b.x"), 0);
    EXPECT_GT(CompareNoCase("b.x", "A.y"), 0);
    EXPECT_EQ(CompareNoCase("*.TMP", "*.tmp"), 0);
    EXPECT_LT(CompareNoCase("abc", "ABCD"), 0);
    EXPECT_LT(CompareNoCase("", "a"), 0);

    std::vector<std::string> list;
    for (const char* entry : {"b.x", "A.y", "*.tmp", "a.Y", "c"})
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(SortedInsertPosition(list, entry)),
                    entry);
    EXPECT_EQ(list, (std::vector<std::string>{"*.tmp", "A.y", "a.Y", "b.x", "c"}));

    EXPECT_EQ(FindNoCase(list, "*.TMP"), 0);
    EXPECT_EQ(FindNoCase(list, "A.Y"), 1);
    EXPECT_EQ(FindNoCase(list, "b"), -1);  // whole entries only
    EXPECT_EQ(FindNoCase(list, "b.x "), -1);
    EXPECT_EQ(FindNoCase({}, "b"), -1);
}

TEST(ProfileEntries, StandardPatternsSplitByteForByteAndJoinInTheirOrder) {
    StandardPatternChecks checks{};
    checks.fill(true);
    std::vector<std::string> others{"left over"};
    SplitPatterns({"*.tmp", "b.x", "*.~*", "*.TMP", "A.y", "*.BAK"}, checks, others);
    // Only the exact upper-case forms check their boxes.
    EXPECT_EQ(checks, (StandardPatternChecks{true, true, false, false, false, true}));
    EXPECT_EQ(others, (std::vector<std::string>{"*.tmp", "b.x", "A.y"}));

    EXPECT_EQ(JoinPatterns(kStandardPatternDefaults, {"A.y", "b.x"}),
              (std::vector<std::string>{"*.TMP", "*.CHK", "~*.*", "*.~*", "A.y", "b.x"}));
    EXPECT_EQ(JoinPatterns({true, true, true, true, true, true}, {}),
              (std::vector<std::string>{"*.BAK", "*.TMP", "*.CHK", "*.OLD", "~*.*", "*.~*"}));
    EXPECT_TRUE(JoinPatterns({}, {}).empty());
}

TEST(ProfileEntries, SheetValuesReplaceTheProfilesValuesAndListsShrink) {
    CProfile p;
    p.m_strName = "Old";
    p.m_nScanScope = SCOPE_LISTED_FOLDERS;
    p.m_lstScanFolders = {"/a", "/b", "/c"};
    p.m_lstPatterns = {"*.1", "*.2", "*.3"};
    p.m_lstFolders = {"x", "y"};
    ProfileSheetValues v;
    v.name = "New";
    v.scanScope = SCOPE_LISTED_FOLDERS;
    v.scanFolders = {"/z"};
    v.patterns = {"*.TMP"};
    v.folderNames = {};
    v.useLimits = true;
    v.minSize = 12;
    v.maxSize = 100000;
    v.olderThan = {12, 31, 2100};
    SaveSheetValues(v, p);
    EXPECT_EQ(p.m_strName, "New");
    EXPECT_EQ(p.m_lstScanFolders, std::vector<std::string>{"/z"});
    EXPECT_EQ(p.m_lstPatterns, std::vector<std::string>{"*.TMP"});
    EXPECT_TRUE(p.m_lstFolders.empty());
    EXPECT_TRUE(p.m_bUseLimits);
    EXPECT_EQ(p.m_dwMinSize, 12u);
    EXPECT_EQ(p.m_dwMaxSize, 100000u);
    EXPECT_EQ(DateText(p.m_timeOlderThan), "12/31/2100");
    std::tm tm{};
    ASSERT_TRUE(localtime_r(&p.m_timeOlderThan, &tm));
    EXPECT_EQ(tm.tm_hour, 0);
    EXPECT_EQ(tm.tm_min, 0);

    // Days beyond the month roll over.
    v.olderThan = {4, 31, 2001};
    SaveSheetValues(v, p);
    EXPECT_EQ(DateText(p.m_timeOlderThan), "5/1/2001");
    v.olderThan = {2, 30, 2001};
    SaveSheetValues(v, p);
    EXPECT_EQ(DateText(p.m_timeOlderThan), "3/2/2001");
}

TEST(ProfileEntries, OnlyListedFolderProfilesTakeTheFoldersPagesList) {
    ProfileSheetValues v;
    v.name = "Drives";
    v.scanScope = SCOPE_ALL_FOLDERS;
    v.scanFolders = {"/left/over/from/an/earlier/use"};
    CProfile added;
    SaveSheetValues(v, added);
    EXPECT_TRUE(added.m_lstScanFolders.empty());

    CProfile edited;
    edited.m_lstScanFolders = {"/kept"};
    SaveSheetValues(v, edited);
    EXPECT_EQ(edited.m_lstScanFolders, std::vector<std::string>{"/kept"});

    v.scanScope = SCOPE_LISTED_FOLDERS;
    SaveSheetValues(v, edited);
    EXPECT_EQ(edited.m_lstScanFolders, v.scanFolders);
}

TEST(ProfileEntries, DatesUpTo2100AreStoredAsTheyAre) {
    ScopedTestHome home;
    CProfileList store;
    auto p = std::make_unique<CProfile>();
    ProfileSheetValues v;
    v.name = "Far Future";
    v.patterns = {"*.TMP"};
    v.olderThan = {7, 4, 2100};
    SaveSheetValues(v, *p);
    store.AddHead(std::move(p));
    EXPECT_EQ(store.Save().Text(), "");
    EXPECT_EQ(ReadTextFile(home.program() / kSettingsFileName),
              std::string(kSettingsMagic) +
                  "\n1\nFar Future\n1069\n0\n1\n*.TMP\n0\n0\n0\n-1\n7\n4\n2100\n");
    CProfileList loaded;
    store.Load(kSettingsFileName, loaded);
    ASSERT_EQ(loaded.GetCount(), 1u);
    EXPECT_EQ(loaded.begin()->m_timeOlderThan, store.begin()->m_timeOlderThan);
    EXPECT_EQ(DateText(loaded.begin()->m_timeOlderThan), "7/4/2100");
}

TEST(ProfileEntries, AFailedSaveIsToldWithTheSystemsReason) {
    ScopedTestHome home;
    CProfileList store;
    store.AddHead(std::make_unique<CProfile>())->m_strName = "Kept in memory";
    const std::string gone = (home.root() / "no such folder").string();
    ::setenv("FERNWICK_HOME", gone.c_str(), 1);
    const std::string told = ProfilesNotSavedText(store.Save());
    EXPECT_EQ(told, "Fernwick could not save your profiles to " + gone +
                        "/settings.dat: No such file or directory.\n\nThe change holds until "
                        "Fernwick ends.");
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_EQ(store.GetCount(), 1u);
}

TEST(ProfileEntries, ScannableFoldersAreAbsoluteFoldersReachedThroughTrustedLinksOnly) {
    TempDir dir;
    const fs::path folder = dir.path() / "folder";
    fs::create_directories(folder / "inner");
    WriteTextFile(dir.path() / "file", "x");
    fs::create_symlink(folder, dir.path() / "my link");
    EXPECT_TRUE(IsScannableFolder(folder.string()));
    EXPECT_TRUE(IsScannableFolder(folder.string() + "/"));
    EXPECT_TRUE(IsScannableFolder((dir.path() / "my link").string())); // our own link
    EXPECT_TRUE(IsScannableFolder("/"));
    EXPECT_FALSE(IsScannableFolder(""));
    EXPECT_FALSE(IsScannableFolder("folder"));
    EXPECT_FALSE(IsScannableFolder((dir.path() / "file").string()));
    EXPECT_FALSE(IsScannableFolder((dir.path() / "missing").string()));

    if (::geteuid() != 0)
        GTEST_SKIP() << "links of another user need root to be made";
    // A sticky folder anyone may write to, like /tmp: a stranger's link there is refused.
    const fs::path sticky = dir.path() / "sticky";
    fs::create_directory(sticky);
    ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
    const fs::path trap = sticky / "trap";
    fs::create_symlink(folder, trap);
    ASSERT_EQ(::lchown(trap.c_str(), 4242, 4242), 0);
    EXPECT_FALSE(IsScannableFolder(trap.string()));
    EXPECT_FALSE(IsScannableFolder((trap / "inner").string()));
    // Outside such a folder a link of a user who is neither root nor us is refused too.
    const fs::path foreign = dir.path() / "foreign";
    fs::create_symlink(folder, foreign);
    ASSERT_EQ(::lchown(foreign.c_str(), 4242, 4242), 0);
    EXPECT_FALSE(IsScannableFolder(foreign.string()));
}
