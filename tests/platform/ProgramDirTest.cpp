// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/ProgramDir.h"
#include "support/GuardedChild.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(ProgramDir, FernwickHomeWinsAndGetsATrailingSlash) {
    ProgramDirInputs in;
    in.fernwickHome = "/some/where";
    in.exeDir = "/usr/bin/";
    in.inBuildTree = true;
    EXPECT_EQ(ResolveProgramDir(in), "/some/where/");
    in.fernwickHome = "/some/where/";
    EXPECT_EQ(ResolveProgramDir(in), "/some/where/");
}

TEST(ProgramDir, BuildTreeKeepsItsFilesBesideTheProgram) {
    TempDir data;
    const std::string xdg = data.path().string();
    ProgramDirInputs in;
    in.exeDir = "/src/build/app";
    in.inBuildTree = true;
    in.xdgDataHome = xdg.c_str();
    EXPECT_EQ(ResolveProgramDir(in), "/src/build/app/");
    EXPECT_FALSE(fs::exists(data.path() / "Fernwick"));
}

// An installed copy run as root once wrote its settings and log into /usr/local/bin and used up
// the update file every user shares there: a writable program folder is no reason to use it.
TEST(ProgramDir, InstalledProgramUsesTheDataFolderSeededOnceFromThePrefix) {
    TempDir prefix, data;
    const fs::path bin = prefix.path() / "bin";
    fs::create_directories(bin);
    WriteTextFile(bin / kUpdateFileName, "left beside the program\n");
    WriteTextFile(prefix.path() / "share/fernwick" / kUpdateFileName, "shipped profiles\n");
    const std::string xdg = (data.path() / "share").string();
    ProgramDirInputs in;
    in.exeDir = bin.string() + "/";
    in.shippedDir = InstalledDataDir(in.exeDir);
    in.xdgDataHome = xdg.c_str();

    const std::string dir = ResolveProgramDir(in);
    EXPECT_EQ(dir, xdg + "/Fernwick/");
    EXPECT_EQ(ReadTextFile(dir + kUpdateFileName), "shipped profiles\n");
    // The shared copy stays for the next user.
    EXPECT_TRUE(fs::exists(prefix.path() / "share/fernwick" / kUpdateFileName));

    // Once merged, the update file is removed; it must not come back at the next start.
    fs::remove(dir + kUpdateFileName);
    EXPECT_EQ(ResolveProgramDir(in), dir);
    EXPECT_FALSE(fs::exists(dir + kUpdateFileName));
}

TEST(ProgramDir, InstalledDataDirFollowsThePrefix) {
    EXPECT_EQ(InstalledDataDir(""), "");
    TempDir prefix;
    fs::create_directories(prefix.path() / "bin");
    WriteTextFile(prefix.path() / "share/fernwick/marker", "x");
    for (const std::string& exe : {prefix.dir() + "bin/", prefix.dir() + "bin"}) {
        const std::string shipped = InstalledDataDir(exe);
        ASSERT_FALSE(shipped.empty());
        EXPECT_EQ(shipped.back(), '/');
        EXPECT_TRUE(fs::equivalent(shipped, prefix.path() / "share/fernwick")) << shipped;
    }
}

TEST(ProgramDir, WithoutAnyDataFolderNothingIsWrittenBesideTheProgram) {
    ProgramDirInputs in;
    in.exeDir = "/usr/bin/";
    in.shippedDir = "/usr/share/fernwick/";
    EXPECT_EQ(ResolveProgramDir(in), "");
    TempDir notAFolder;
    WriteTextFile(notAFolder.path() / "file", "x");
    const std::string xdg = (notAFolder.path() / "file").string();
    in.xdgDataHome = xdg.c_str();
    EXPECT_EQ(ResolveProgramDir(in), "");
}

TEST(ProgramDir, DataFolderFallsBackToHomeWithoutXdgDataHome) {
    TempDir home, install;
    const std::string h = home.path().string();
    ProgramDirInputs in;
    in.exeDir = install.dir();
    in.shippedDir = install.dir();
    in.home = h.c_str();
    in.xdgDataHome = "relative/is/ignored";
    EXPECT_EQ(ResolveProgramDir(in), h + "/.local/share/Fernwick/");
    EXPECT_TRUE(fs::is_directory(h + "/.local/share/Fernwick"));
    // Without an update file installed there is nothing to seed, and that is no error.
    EXPECT_FALSE(fs::exists(h + "/.local/share/Fernwick/" + kUpdateFileName));
}

TEST(ProgramDir, ProcessUsesFernwickHomeAndKnowsItsExecutable) {
    TempDir home;
    ::setenv("FERNWICK_HOME", home.path().c_str(), 1);
    EXPECT_EQ(GetProgramDir(), home.dir());
    const std::string exe = GetExecutableDir();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back(), '/');
    EXPECT_TRUE(fs::exists(exe + "platform_tests"));
    EXPECT_TRUE(IsWindowsNT());
}

// The test program has no build-tree marker beside it: it behaves as an installed program.
TEST(ProgramDir, ProcessWithoutMarkerUsesTheDataFolder) {
    ASSERT_FALSE(fs::exists(GetExecutableDir() + kBuildTreeMarker));
    TempDir data;
    ::unsetenv("FERNWICK_HOME");
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    EXPECT_EQ(GetProgramDir(), data.dir() + "Fernwick/");
    EXPECT_TRUE(fs::is_directory(data.path() / "Fernwick"));
}

TEST(ProgramDir, InstalledUpdateFileIsSeededOnlyWhenItIsAFile) {
    TempDir install, data;
    ASSERT_EQ(::mkfifo((install.path() / kUpdateFileName).c_str(), 0600), 0);
    const std::string xdg = (data.path() / "share").string();
    // In a child: copying from a FIFO would wait for a writer for ever.
    const ChildOutcome child = RunGuarded([&] {
        ProgramDirInputs in;
        in.shippedDir = install.dir();
        in.xdgDataHome = xdg.c_str();
        return ResolveProgramDir(in) == xdg + "/Fernwick/" ? 0 : 1;
    });
    EXPECT_TRUE(child.Exited(0)) << "signal " << child.signal;
    EXPECT_TRUE(fs::is_directory(xdg + "/Fernwick"));
    EXPECT_FALSE(fs::exists(xdg + "/Fernwick/" + kUpdateFileName));
    EXPECT_TRUE(fs::is_fifo(install.path() / kUpdateFileName));
}
