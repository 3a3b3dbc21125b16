// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// What "~" in a scan folder stands for: the rule for a home, and what the settings file keeps
// when there is no usable one.
#include "profiles/CProfileList.h"
#include "profiles/HomeFolder.h"
#include "profiles/SettingsFile.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Lookup = std::function<std::optional<std::string>()>;

std::optional<std::string> NoDatabaseEntry() { return std::nullopt; }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string NotOwn(const std::string& home) {
    return "the home folder " + Quoted(home) + " is not a folder of its own";
}

struct HomeCase {
    std::string homeVariable;
    std::optional<std::string> database; // the password database's home
    std::string path;                        // expected home, or
    std::string problem;                     // why there is none
};

std::vector<std::string> ScanFoldersOf(const CProfileList& store, const std::string& name) {
    const CProfile* p = store.FindByName(name);
    return p ? p->m_lstScanFolders : std::vector<std::string>{{"<no profile " + name + ">"}};
}

} // namespace

TEST(HomeFolder, OnlyAnAbsoluteExistingFolderOtherThanTheRootIsAHome) {
    TempDir dir;
    const std::string good = (dir.path() / "home").string();
    fs::create_directories(good);
    const std::string file = (dir.path() / "file").string();
    WriteTextFile(file, "x");
    const std::string rootLink = (dir.path() / "root-link").string();
    fs::create_symlink("/", rootLink);
    const std::string homeLink = (dir.path() / "home-link").string();
    fs::create_symlink(good, homeLink);
    const std::string missing = good + "/missing";
    const std::string upToRoot = good + "/../../../../../../../../../../../../..";

    const HomeCase cases[] = {
        {"/", "/elsewhere", {}, NotOwn("/")},
        {"//", {}, {}, NotOwn("//")},
        {"/./", {}, {}, NotOwn("/./")},
        {"/.", {}, {}, NotOwn("/.")},
        {"/..", {}, {}, NotOwn("/..")},
        {upToRoot, {}, {}, NotOwn(upToRoot)},
        {rootLink, {}, {}, NotOwn(rootLink)},
        {"", good, {}, "HOME is set but empty"},
        {"home", {}, {}, "the home folder \"home\" is not a full path"},
        {".", {}, {}, "the home folder \".\" is not a full path"},
        {"~", {}, {}, "the home folder \"~\" is not a full path"},
        {missing, {}, {}, "the home folder " + Quoted(missing) + " does not exist"},
        {file, {}, {}, "the home folder " + Quoted(file) + " is not a folder"},
        {file + "/", {}, {},
         "the home folder " + Quoted(file + "/") + " cannot be looked at: Not a directory"},
        {good, "/elsewhere", good, {}},
        {good + "/", {}, good, {}},
        {good + "///", {}, good, {}},
        {homeLink, {}, homeLink, {}},
    };
    for (const HomeCase& c : cases) {
        const Lookup lookup = [&c]() { return c.database; };
        const HomeFolder home = FindHomeFolder(c.homeVariable.c_str(), lookup);
        EXPECT_EQ(home.path, c.path) << "HOME=" << c.homeVariable;
        EXPECT_EQ(home.problem.Text(), c.problem) << "HOME=" << c.homeVariable;
        EXPECT_EQ(home.Usable(), !c.path.empty());
    }
}

TEST(HomeFolder, WithHomeUnsetThePasswordDatabaseIsAskedAndJudgedAlike) {
    TempDir dir;
    const std::string good = dir.path().string();
    const HomeFolder fromDatabase = FindHomeFolder(nullptr, [&] { return std::optional(good); });
    EXPECT_EQ(fromDatabase.path, good);
    EXPECT_EQ(fromDatabase.problem.Text(), "");

    const HomeFolder rootHome =
        FindHomeFolder(nullptr, [] { return std::optional<std::string>("/"); });
    EXPECT_FALSE(rootHome.Usable());
    EXPECT_EQ(rootHome.problem.Text(), "HOME is not set, and " + NotOwn("/") +
                                    " (from the password database)");

    const HomeFolder none = FindHomeFolder(nullptr, NoDatabaseEntry);
    EXPECT_FALSE(none.Usable());
    EXPECT_EQ(none.problem.Text(), "HOME is not set, and the password database has no entry for user " +
                                std::to_string(::getuid()));

    // A HOME that is set, however bad, is never second-guessed by the database.
    int asked = 0;
    FindHomeFolder("/", [&] {
        ++asked;
        return std::optional(good);
    });
    EXPECT_EQ(asked, 0);
}

TEST(HomeFolder, WithHomeUnsetTheUsersEntryIsTakenNeverTheCurrentFolder) {
    TempDir work;
    const fs::path before = fs::current_path();
    fs::current_path(work.path());
    const ScopedEnv unset("HOME", nullptr);
    const HomeFolder home = FindHomeFolder();
    fs::current_path(before);

    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    const HomeFolder expected = JudgeHomeFolder(entry->pw_dir);
    EXPECT_EQ(home.path, expected.path);
    EXPECT_NE(home.path, work.path().string());
    if (!expected.Usable()) {
        EXPECT_EQ(home.problem.Text(),
                  "HOME is not set, and " + expected.problem.Text() + " (from the password database)");
    }
}

TEST(HomeFolder, OnlyATildeAloneOrBeforeASlashNamesTheHome) {
    const HomeFolder home{"/home/u", {}};
    const HomeFolder none{{}, FsError::Told(ENOENT, NotOwn("/"))};
    const struct {
        const char* folder;
        bool names;
        const char* expanded;
    } cases[] = {
        {"~", true, "/home/u"},          {"~/", true, "/home/u/"},
        {"~/.cache", true, "/home/u/.cache"}, {"~user", false, "~user"},
        {"~user/x", false, "~user/x"},   {"/srv/~/x", false, "/srv/~/x"},
        {"x~", false, "x~"},             {"", false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NamesHomeFolder(c.folder), c.names) << c.folder;
        EXPECT_EQ(ExpandHomeFolder(c.folder, home), c.expanded) << c.folder;
        EXPECT_EQ(ExpandHomeFolder(c.folder, none), c.folder) << c.folder;
    }
}

// --- The settings file ----------------------------------------------------------------------

TEST(HomeInSettings, WithoutAHomeTheTildeIsKeptAndSavedAndExpandedOnALaterStart) {
    ScopedTestHome env;
    WriteTextFile(env.program() / kSettingsFileName,
                  "Fernwick 2.0, Data Stream Version 1.1\n1\nCaches\n1068\n3\n~/.cache\n~\n"
                  "/srv/x\n1\n*.tmp\n0\n0\n0\n0\n1\n1\n1980\n");
    {
        const ScopedEnv rootHome("HOME", "/");
        CProfileList store;
        store.LoadAndMerge();
        EXPECT_EQ(ScanFoldersOf(store, "Caches"),
                  (std::vector<std::string>{"~/.cache", "~", "/srv/x"}));
        ASSERT_EQ(store.Save().Text(), "");
        const std::string saved = ReadTextFile(env.program() / kSettingsFileName);
        EXPECT_NE(saved.find("\n3\n~/.cache\n~\n/srv/x\n"), std::string::npos) << saved;
    }
    const std::string h = env.home().string();
    CProfileList later;
    later.LoadAndMerge();
    EXPECT_EQ(ScanFoldersOf(later, "Caches"),
              (std::vector<std::string>{h + "/.cache", h, "/srv/x"}));
}

TEST(HomeInSettings, ShippedProfilesMergedWithoutAHomeKeepTheirTilde) {
    ScopedTestHome env;
    fs::copy_file(FW_DEFAULT_PROFILES, env.program() / "newntsettings.dat");
    {
        const ScopedEnv rootHome("HOME", "/");
        CProfileList store;
        store.LoadAndMerge();
        ASSERT_FALSE(fs::exists(env.program() / "newntsettings.dat"));
        EXPECT_EQ(ScanFoldersOf(store, "Backup Copies"), std::vector<std::string>{"~"});
        // Nothing home-only was turned into the root or a folder under it.
        for (const CProfile& p : store)
            for (const std::string& f : p.m_lstScanFolders)
                EXPECT_TRUE(f == "~" || f.starts_with("~/") || f.starts_with("/tmp") ||
                            f.starts_with("/var/"))
                    << p.m_strName << ": " << f;
    }
    for (const char* missing : {"", "/no/such/home"}) {
        const ScopedEnv badHome("HOME", missing);
        CProfileList store;
        store.LoadAndMerge(false);
        EXPECT_EQ(ScanFoldersOf(store, "Thumbnail Cache"), std::vector<std::string>{"~/.cache"});
    }
    CProfileList later;
    later.LoadAndMerge();
    EXPECT_EQ(ScanFoldersOf(later, "Backup Copies"),
              std::vector<std::string>{env.home().string()});
    EXPECT_EQ(ScanFoldersOf(later, "Temporary Files"),
              (std::vector<std::string>{env.home().string(), "/tmp", "/var/tmp"}));
}
