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
    in.exeDirWritable = true;
    EXPECT_EQ(ResolveProgramDir(in), "/some/where/");
    in.fernwickHome = "/some/where/";
    EXPECT_EQ(ResolveProgramDir(in), "/some/where/");
}

TEST(ProgramDir, WritableExecutableFolderIsUsedAsItIs) {
    TempDir data;
    const std::string xdg = data.path().string();
    ProgramDirInputs in;
    in.exeDir = "/opt/fernwick/";
    in.exeDirWritable = true;
    in.xdgDataHome = xdg.c_str();
    EXPECT_EQ(ResolveProgramDir(in), "/opt/fernwick/");
    EXPECT_FALSE(fs::exists(data.path() / "Fernwick"));
}

TEST(ProgramDir, ReadOnlyInstallUsesDataFolderSeededOnce) {
    TempDir install, data;
    WriteTextFile(install.path() / kUpdateFileName, "shipped profiles\n");
    const std::string xdg = (data.path() / "share").string();
    ProgramDirInputs in;
    in.exeDir = install.dir();
    in.exeDirWritable = false;
    in.xdgDataHome = xdg.c_str();

    const std::string dir = ResolveProgramDir(in);
    EXPECT_EQ(dir, xdg + "/Fernwick/");
    EXPECT_EQ(ReadTextFile(dir + kUpdateFileName), "shipped profiles\n");

    // Once merged, the update file is removed; it must not come back at the next start.
    fs::remove(dir + kUpdateFileName);
    EXPECT_EQ(ResolveProgramDir(in), dir);
    EXPECT_FALSE(fs::exists(dir + kUpdateFileName));
}

TEST(ProgramDir, DataFolderFallsBackToHomeWithoutXdgDataHome) {
    TempDir home, install;
    const std::string h = home.path().string();
    ProgramDirInputs in;
    in.exeDir = install.dir();
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

TEST(ProgramDir, InstalledUpdateFileIsSeededOnlyWhenItIsAFile) {
    TempDir install, data;
    ASSERT_EQ(::mkfifo((install.path() / kUpdateFileName).c_str(), 0600), 0);
    const std::string xdg = (data.path() / "share").string();
    // In a child: copying from a FIFO would wait for a writer for ever.
    const ChildOutcome child = RunGuarded([&] {
        ProgramDirInputs in;
        in.exeDir = install.dir();
        in.xdgDataHome = xdg.c_str();
        return ResolveProgramDir(in) == xdg + "/Fernwick/" ? 0 : 1;
    });
    EXPECT_TRUE(child.Exited(0)) << "signal " << child.signal;
    EXPECT_TRUE(fs::is_directory(xdg + "/Fernwick"));
    EXPECT_FALSE(fs::exists(xdg + "/Fernwick/" + kUpdateFileName));
    EXPECT_TRUE(fs::is_fifo(install.path() / kUpdateFileName));
}
