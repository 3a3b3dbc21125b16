// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Start-up merge of the update file and the all-or-nothing save.
#include "profiles/CProfileList.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string File(std::initializer_list<std::pair<const char*, const char*>> profiles) {
    std::string s = "Fernwick 2.0, Data Stream Version 1.1\n" + std::to_string(profiles.size()) + "\n";
    for (auto [name, pattern] : profiles)
        s += std::string(name) + "\n1069\n0\n1\n" + pattern + "\n0\n0\n0\n0\n1\n1\n1980\n";
    return s;
}

std::vector<std::string> Names(const CProfileList& list) {
    std::vector<std::string> names;
    for (const CProfile& p : list)
        names.push_back(p.m_strName);
    return names;
}

class SettingsMerge : public ::testing::Test {
protected:
    ScopedTestHome home;
    fs::path At(const char* name) { return home.program() / name; }
};

} // namespace

TEST_F(SettingsMerge, NewNamesAreAppendedAndTheUsersProfilesWin) {
    WriteTextFile(At("settings.dat"), File({{"Mine", "*.mine"}, {"Temp", "*.user"}}));
    WriteTextFile(At("newntsettings.dat"), File({{"Temp", "*.shipped"}, {"Logs", "*.log"}}));
    CProfileList store;
    store.LoadAndMerge();
    EXPECT_EQ(Names(store), (std::vector<std::string>{"Mine", "Temp", "Logs"}));
    EXPECT_EQ(store.FindByName("Temp")->m_lstPatterns, std::vector<std::string>{"*.user"});
    EXPECT_FALSE(fs::exists(At("newntsettings.dat")));

    CProfileList reread;
    reread.Load("settings.dat", reread);
    EXPECT_EQ(Names(reread), Names(store));
}

TEST_F(SettingsMerge, UpdateFileIsConsumedEvenWhenEveryNameExists) {
    const std::string user = File({{"Temp", "*.user"}});
    WriteTextFile(At("settings.dat"), "; hand-edited\n" + user);
    WriteTextFile(At("newntsettings.dat"), File({{"Temp", "*.shipped"}}));
    WriteTextFile(At("new95settings.dat"), File({{"Old", "*.old"}}));
    CProfileList store;
    store.LoadAndMerge();
    EXPECT_EQ(Names(store), std::vector<std::string>{"Temp"});
    EXPECT_FALSE(fs::exists(At("newntsettings.dat")));
    EXPECT_FALSE(fs::exists(At("new95settings.dat"))); // never read, but removed with it
    EXPECT_EQ(ReadTextFile(At("settings.dat")), user);  // rewritten: the comment is gone
}

TEST_F(SettingsMerge, UpdateFileWithoutProfilesStaysAndNothingIsWritten) {
    for (const std::string& update :
         {std::string("not a settings file\n1\n"), File({}), std::string()}) {
        WriteTextFile(At("newntsettings.dat"), update);
        WriteTextFile(At("new95settings.dat"), File({{"Old", "*.old"}}));
        CProfileList store;
        store.LoadAndMerge();
        EXPECT_TRUE(store.IsEmpty());
        EXPECT_TRUE(fs::exists(At("newntsettings.dat")));
        EXPECT_TRUE(fs::exists(At("new95settings.dat")));
        EXPECT_FALSE(fs::exists(At("settings.dat")));
    }
}

TEST_F(SettingsMerge, MissingSettingsFileIsCreatedFromTheUpdate) {
    WriteTextFile(At("newntsettings.dat"), File({{"A", "*.a"}, {"B", "*.b"}}));
    CProfileList store;
    store.LoadAndMerge();
    EXPECT_EQ(Names(store), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(ReadTextFile(At("settings.dat")), File({{"A", "*.a"}, {"B", "*.b"}}));
}

TEST_F(SettingsMerge, UnwritableSettingsKeepTheUpdateFileForTheNextStart) {
    fs::create_directory(At("settings.dat")); // a folder where the file should be
    WriteTextFile(At("newntsettings.dat"), File({{"A", "*.a"}}));
    CProfileList store;
    store.LoadAndMerge();
    EXPECT_EQ(Names(store), std::vector<std::string>{"A"});
    EXPECT_TRUE(fs::exists(At("newntsettings.dat")));
}

TEST_F(SettingsMerge, FailedSaveLeavesTheOldFileByteForByte) {
    const std::string old = "; the user's own file\n" + File({{"Keep", "*.keep"}});
    WriteTextFile(At("settings.dat"), old);
    CProfileList store;
    store.Load("settings.dat", store);
    for (int i = 0; i < 50; ++i) {
        auto p = std::make_unique<CProfile>();
        p->m_strName = "Profile " + std::to_string(i);
        p->m_lstPatterns.assign(20, "*.pattern-that-takes-room");
        store.AddTail(std::move(p));
    }

    // A full disk, made with a file size limit: writes beyond 64 bytes fail with EFBIG.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = !store.Save();
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(ReadTextFile(At("settings.dat")), old);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(home.program()), fs::directory_iterator()), 1);

    // In a folder that does not exist nothing can be written either, and nothing crashes.
    ::setenv("FERNWICK_HOME", (home.root() / "missing").c_str(), 1);
    EXPECT_NE(store.Save().Text(), "");
}

TEST_F(SettingsMerge, SaveKeepsTheFilesPermissions) {
    WriteTextFile(At("settings.dat"), File({{"A", "*.a"}}));
    fs::permissions(At("settings.dat"), fs::perms::owner_read | fs::perms::owner_write |
                                            fs::perms::group_read);
    CProfileList store;
    store.Load("settings.dat", store);
    ASSERT_EQ(store.Save().Text(), "");
    EXPECT_EQ(fs::status(At("settings.dat")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
