// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The per-user options file when something else has its name, and the real program with
// FIFOs in place of its files and relative XDG folders in its environment.
#include "framework/Registry.h"
#include "platform/DataFile.h"
#include "support/ChildProcess.h"
#include "support/GuardedChild.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class OptionsFile : public ::testing::Test {
protected:
    CTestOptionsFolder m_config;

    void SetUp() override {
        fs::create_directories(m_config.path() / "Quenby Works");
    }
    fs::path Ini() const { return m_config.path() / "Quenby Works" / "Fernwick.ini"; }

    // Reads and writes an option in a child that can neither hang the run nor eat the
    // machine's memory; 0 when both fell back as they should for an unusable file.
    static ChildOutcome UseOptionsGuarded() {
        return RunGuarded([] {
#ifndef __SANITIZE_ADDRESS__
            const rlimit limit{rlim_t(1) << 30, rlim_t(1) << 30};
            ::setrlimit(RLIMIT_AS, &limit);
#endif
            std::uint32_t value = 7;
            const bool read = RegReadDword(kRegShowFolderError, value, 1);
            const bool written = RegWriteDword(kRegFirstRun, 1);
            return !read && value == 1 && !written ? 0 : 1;
        });
    }
    std::string LeftAlone(const std::string& what) const {
        return "fernwick: " + Ini().string() + " is " + what +
               ", not a regular file; it was left alone and the options take their defaults.\n";
    }
};

} // namespace

TEST_F(OptionsFile, PathIsWhereQtKeepsTheUsersIniFiles) {
    EXPECT_EQ(QFile::encodeName(OptionsFileQtPath()).toStdString(), Ini().string());
}

TEST_F(OptionsFile, FifoInItsPlaceIsLeftAloneWithoutWaiting) {
    ASSERT_EQ(::mkfifo(Ini().c_str(), 0600), 0);
    const ChildOutcome child = UseOptionsGuarded();
    EXPECT_TRUE(child.Exited(0)) << "signal " << child.signal << ": " << child.err;
    EXPECT_EQ(child.err, LeftAlone("a FIFO"));
    EXPECT_TRUE(fs::is_fifo(Ini()));
}

TEST_F(OptionsFile, FolderOrDeviceInItsPlaceIsLeftAlone) {
    fs::create_directory(Ini());
    WriteTextFile(Ini() / "inside", "keep");
    ChildOutcome child = UseOptionsGuarded();
    EXPECT_TRUE(child.Exited(0)) << "signal " << child.signal << ": " << child.err;
    EXPECT_EQ(child.err, LeftAlone("a folder"));
    EXPECT_EQ(ReadTextFile(Ini() / "inside"), "keep");

    // Read to its end, /dev/zero would never end.
    fs::remove_all(Ini());
    fs::create_symlink("/dev/zero", Ini());
    child = UseOptionsGuarded();
    EXPECT_TRUE(child.Exited(0)) << "signal " << child.signal << ": " << child.err;
    EXPECT_EQ(child.err, LeftAlone("a character device"));
    EXPECT_EQ(fs::read_symlink(Ini()), fs::path("/dev/zero"));
}

TEST_F(OptionsFile, OversizedFileIsLeftAlone) {
    {
        UniqueFd fd(::open(Ini().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd);
        ASSERT_EQ(::ftruncate(fd.get(), static_cast<off_t>(kMaxDataFileSize + 1)), 0);
    }
    const ChildOutcome child = UseOptionsGuarded();
    EXPECT_TRUE(child.Exited(0)) << "signal " << child.signal << ": " << child.err;
    EXPECT_EQ(child.err, "fernwick: " + Ini().string() +
                             " is larger than 64 MiB; it was left alone and the options take "
                             "their defaults.\n");
    EXPECT_EQ(fs::file_size(Ini()), kMaxDataFileSize + 1);
}

TEST_F(OptionsFile, LinkToAFileIsUsedAndStaysALink) {
    const fs::path target = m_config.path() / "dotfiles" / "fernwick.ini";
    WriteTextFile(target, "[General]\nShow%20Folder%20Error=0\n");
    fs::create_symlink(target, Ini());
    std::uint32_t value = 1;
    EXPECT_TRUE(RegReadDword(kRegShowFolderError, value, 1));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(RegWriteDword(kRegFirstRun, 1));
    EXPECT_TRUE(fs::is_symlink(Ini()));
    EXPECT_TRUE(Contains(ReadTextFile(target), "First%20Run=1"));
}

// --- The real program -----------------------------------------------------------------------

namespace {

// A profile that cleans *.tmp in tree, for a scheduled run.
struct ProgramHome {
    ScopedTestHome home;
    fs::path tree = home.root() / "tree";
    fs::path work = home.root() / "work";
    ProgramHome() {
        fs::create_directories(work);
        WriteTextFile(home.program() / "settings.dat",
                      "Fernwick 2.0, Data Stream Version 1.1\n1\nTemp\n1068\n1\n" +
                          tree.string() + "\n1\n*.tmp\n0\n0\n0\n0\n1\n1\n1980\n");
        WriteTextFile(tree / "old.tmp", "12345");
    }
};

} // namespace

TEST(ProgramFiles, FifosInPlaceOfItsFilesNeitherHangItNorVanish) {
    ProgramHome p;
    const fs::path ini = p.home.root() / "config" / "Quenby Works" / "Fernwick.ini";
    fs::create_directories(ini.parent_path());
    const fs::path fifos[] = {p.home.program() / "settings.dat",
                              p.home.program() / "newntsettings.dat",
                              p.home.program() / "fwlog.txt", ini};
    fs::remove(fifos[0]);
    for (const fs::path& f : fifos)
        ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0) << f;

    // The outer time limit ends a hung program well before the run's own.
    const CommandResult r =
        RunCommand("timeout -s KILL 60", FW_BINARY, "/r /pTemp /dC /x1022 /m");
    // It ends on its own; a run whose log could not be written does not report success.
    EXPECT_EQ(r.exitCode, 1) << r.out;
    for (const fs::path& f : fifos) {
        EXPECT_TRUE(fs::is_fifo(f)) << f;
        EXPECT_TRUE(Contains(r.out, f.string() + " is a FIFO, not a regular file")) << r.out;
    }
    // No profile could be read, so nothing was cleaned.
    EXPECT_TRUE(fs::exists(p.tree / "old.tmp"));
}

TEST(ProgramFiles, RelativeXdgFoldersAreIgnored) {
    ProgramHome p;
    // Started in work with relative folders: as the rule says, the defaults under HOME hold.
    const std::string env = "cd '" + p.work.string() + "' && HOME='" + p.home.home().string() +
                            "' XDG_DATA_HOME=data XDG_CONFIG_HOME=config XDG_CACHE_HOME=cache "
                            "XDG_STATE_HOME=state XDG_RUNTIME_DIR=runtime";
    const CommandResult r = RunCommand(env, FW_BINARY, "/r /pTemp /dC /x1025 /m");
    EXPECT_EQ(r.exitCode, 0) << r.out;

    EXPECT_FALSE(fs::exists(p.tree / "old.tmp"));
    const fs::path trash = p.home.home() / ".local" / "share" / "Trash";
    EXPECT_EQ(ReadTextFile(trash / "files" / "old.tmp"), "12345");
    EXPECT_TRUE(fs::exists(trash / "info" / "old.tmp.trashinfo"));
    // Nothing at all was made in the folder the program was started in.
    EXPECT_TRUE(fs::is_empty(p.work)) << fs::directory_iterator(p.work)->path();
}
