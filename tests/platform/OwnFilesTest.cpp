// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Knowing Fernwick's own files, by identity and by real path.
#include "platform/OwnFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct stat StatOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st;
}

bool ContainsFile(const COwnFiles& own, const fs::path& p) {
    const struct stat st = StatOf(p);
    return own.Contains(st.st_dev, st.st_ino);
}

} // namespace

TEST(OwnFiles, KnowsTheProgramFilesAndTheOptionsFileByIdentityAndPath) {
    TempDir dir;
    const fs::path prog = dir.path() / "program";
    for (const char* name :
         {"settings.dat", "newntsettings.dat", "settings.dat.damaged.3", "other.dat"})
        WriteTextFile(prog / name, "x");
    WriteTextFile(dir.path() / "config" / "Fernwick.ini", "x");
    // Known through a link to the folder: paths are real paths.
    fs::create_symlink(prog, dir.path() / "via-link");

    const COwnFiles own = COwnFiles::Find((dir.path() / "via-link").string() + "/",
                                          (dir.path() / "config" / "Fernwick.ini").string());
    for (const char* name : {"settings.dat", "newntsettings.dat", "settings.dat.damaged.3"}) {
        EXPECT_TRUE(ContainsFile(own, prog / name)) << name;
        EXPECT_TRUE(own.Contains((prog / name).string())) << name;
    }
    EXPECT_TRUE(ContainsFile(own, dir.path() / "config" / "Fernwick.ini"));
    EXPECT_TRUE(own.Contains((dir.path() / "config" / "Fernwick.ini").string()));
    // Not there yet, known by path: the log written during a cleaning, the other update file.
    EXPECT_TRUE(own.Contains((prog / "fwlog.txt").string()));
    EXPECT_TRUE(own.Contains((prog / "new95settings.dat").string()));
    EXPECT_TRUE(own.Contains((prog / "settings.dat.damaged").string()));
    // Anything else is not Fernwick's.
    EXPECT_FALSE(ContainsFile(own, prog / "other.dat"));
    EXPECT_FALSE(own.Contains((prog / "other.dat").string()));
    EXPECT_FALSE(own.Contains((dir.path() / "via-link" / "settings.dat").string()));
}

TEST(OwnFiles, ASettingsFileThatIsALinkMakesItsTargetOurs) {
    TempDir dir;
    WriteTextFile(dir.path() / "dotfiles" / "fernwick.dat", "settings");
    WriteTextFile(dir.path() / "dotfiles" / "other.dat", "x");
    fs::create_directories(dir.path() / "program");
    fs::create_symlink(dir.path() / "dotfiles" / "fernwick.dat",
                       dir.path() / "program" / "settings.dat");
    const COwnFiles own = COwnFiles::Find(dir.dir() + "program", "");
    EXPECT_TRUE(ContainsFile(own, dir.path() / "dotfiles" / "fernwick.dat"));
    EXPECT_TRUE(own.Contains((dir.path() / "dotfiles" / "fernwick.dat").string()));
    EXPECT_FALSE(ContainsFile(own, dir.path() / "dotfiles" / "other.dat"));
}

TEST(OwnFiles, TheOptionsFileFollowsTheXdgRule) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const std::string config = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    ::setenv("HOME", "/home/anna", 1);
    ::setenv("XDG_CONFIG_HOME", "/etc/anna/", 1);
    EXPECT_EQ(OptionsFilePath(), "/etc/anna/Quenby Works/Fernwick.ini");
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1); // not absolute: ignored
    EXPECT_EQ(OptionsFilePath(), "/home/anna/.config/Quenby Works/Fernwick.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(OptionsFilePath(), "/home/anna/.config/Quenby Works/Fernwick.ini");
    ::unsetenv("HOME");
    EXPECT_EQ(OptionsFilePath(), "");
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
}
