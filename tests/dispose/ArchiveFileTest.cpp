// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The archive on disk below the zip writer: the new version's permissions from its first byte,
// what is left after a kill, a name that is taken or replaced meanwhile, buffered writes with
// seeks; the lock two runs take turns on; reading a written archive back.
#include "dispose/ArchiveFile.h"
#include "dispose/ArchiveLock.h"
#include "dispose/ArchiveSource.h"
#include "dispose/CZip.h"
#include "dispose/StopPoll.h"
#include "support/FileFacts.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ArchiveFileTest : public testing::Test {
  protected:
    fs::path Archive() const { return m_dir.path() / "a.zip"; }

    // Opens the archive's folder and what is at its name now, for writing a new version.
    void Open(ArchiveFile& file, bool unnamed) {
        file.AllowUnnamed(unnamed);
        ASSERT_FALSE(file.OpenFolder(Archive().string()));
        ASSERT_FALSE(file.OpenExisting());
    }

    TempDir m_dir;
};

TEST_F(ArchiveFileTest, ANamedNewVersionIsPrivateBeforeItsFirstByteAndGoesWhenDropped) {
    const ScopedUmask umask(0);
    ArchiveFile file;
    Open(file, false);
    ASSERT_FALSE(file.BeginWrite());
    ASSERT_FALSE(file.TempName().empty());
    const fs::path temp = m_dir.path() / file.TempName();
    EXPECT_EQ(temp.filename().string()[0], '.'); // hidden
    EXPECT_EQ(ModeOf(temp), 0600u);
    EXPECT_EQ(fs::file_size(temp), 0u);
    ASSERT_FALSE(file.Write("data", 4));
    file.Discard();
    EXPECT_TRUE(NamesIn(m_dir.path()).empty());
}

TEST_F(ArchiveFileTest, ANewVersionOfAnOldArchiveHasItsPermissionsFromTheStart) {
    WriteTextFile(Archive(), "old");
    ASSERT_EQ(::chmod(Archive().c_str(), 0640), 0);
    const ScopedUmask umask(077);
    for (const bool unnamed : {false, true}) {
        ArchiveFile file;
        Open(file, unnamed);
        ASSERT_TRUE(file.Exists());
        ASSERT_FALSE(file.BeginWrite());
        if (!unnamed)
            EXPECT_EQ(ModeOf(m_dir.path() / file.TempName()), 0640u);
        else
            EXPECT_EQ(NamesIn(m_dir.path()), std::set<std::string>{"a.zip"}); // no name yet
        const std::string text = unnamed ? "unnamed" : "named";
        ASSERT_FALSE(file.Write(text.data(), text.size()));
        ASSERT_FALSE(file.Commit());
        EXPECT_EQ(ReadTextFile(Archive()), text);
        EXPECT_EQ(ModeOf(Archive()), 0640u);
        EXPECT_EQ(NamesIn(m_dir.path()), std::set<std::string>{"a.zip"});
    }
}

TEST_F(ArchiveFileTest, AKilledWriteLeavesNothingBesideTheArchive) {
    WriteTextFile(Archive(), "old");
    const std::set<std::string> before = NamesIn(m_dir.path());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ArchiveFile file;
        std::vector<char> block(std::size_t{1} << 20, 'x');
        if (file.OpenFolder(Archive().string()) || file.OpenExisting() || file.BeginWrite() ||
            file.Write(block.data(), block.size()) || file.SeekWrite(0) || file.Write("PK", 2))
            ::_exit(1);
        const char said = file.TempName().empty() ? 'u' : 'n';
        if (::write(ready[1], &said, 1) != 1)
            ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    ASSERT_GT(pid, 0);
    char said = 0;
    EXPECT_EQ(::read(ready[0], &said, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(said, 'u') << "this file system has unnamed files";
    EXPECT_EQ(NamesIn(m_dir.path()), before); // a megabyte written, no name for it
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(NamesIn(m_dir.path()), before);
    EXPECT_EQ(ReadTextFile(Archive()), "old");
}

TEST_F(ArchiveFileTest, ANameTakenMeanwhileIsNeverReplaced) {
    for (const bool unnamed : {false, true}) {
        fs::remove(Archive());
        ArchiveFile file;
        Open(file, unnamed);
        ASSERT_FALSE(file.Exists());
        ASSERT_FALSE(file.BeginWrite());
        ASSERT_FALSE(file.Write("new", 3));
        WriteTextFile(Archive(), "someone else's");
        const FsError e = file.Commit();
        EXPECT_EQ(e.Text(), refusal::kArchiveNameTaken);
        file.Discard();
        EXPECT_EQ(ReadTextFile(Archive()), "someone else's");
        EXPECT_EQ(NamesIn(m_dir.path()), std::set<std::string>{"a.zip"}) << unnamed;
    }
}

TEST_F(ArchiveFileTest, AnArchiveReplacedMeanwhileIsLeftToWhatReplacedIt) {
    for (const bool unnamed : {false, true}) {
        for (const bool byLink : {false, true}) {
            fs::remove(Archive());
            WriteTextFile(Archive(), "old");
            ArchiveFile file;
            Open(file, unnamed);
            ASSERT_FALSE(file.BeginWrite());
            ASSERT_FALSE(file.Write("new", 3));
            const fs::path other = m_dir.path() / "other";
            WriteTextFile(other, "other");
            if (byLink) {
                fs::remove(Archive());
                fs::create_symlink(other, Archive());
            } else {
                fs::rename(other, Archive());
            }
            EXPECT_EQ(file.Commit().Text(), refusal::kArchiveReplaced);
            file.Discard();
            EXPECT_EQ(fs::is_symlink(Archive()), byLink);
            EXPECT_EQ(ReadTextFile(Archive()), "other");
            std::set<std::string> expected = {"a.zip"};
            if (byLink)
                expected.insert("other");
            EXPECT_EQ(NamesIn(m_dir.path()), expected) << unnamed << byLink;
            fs::remove(m_dir.path() / "other");
        }
    }
}

TEST_F(ArchiveFileTest, BufferedWritesAndSeeksLandWhereTheyWereMeant) {
    // Around the buffer's size: one short of it, exactly it, one past it.
    const std::size_t buffer = std::size_t{256} << 10;
    for (const std::size_t big : {buffer - 1, buffer, buffer + 1}) {
        ArchiveFile file;
        Open(file, true);
        ASSERT_FALSE(file.BeginWrite());
        std::string expected;
        const auto write = [&](const std::string& text) {
            ASSERT_FALSE(file.Write(text.data(), text.size()));
            expected += text;
        };
        write("header....");
        write(std::string(big, 'b'));
        write("tail");
        EXPECT_EQ(file.TellWrite(), expected.size());
        EXPECT_EQ(file.WriteEnd(), expected.size());
        // Back to fill in the header, as libzip does once an entry's size is known.
        ASSERT_FALSE(file.SeekWrite(6));
        ASSERT_FALSE(file.Write("FIXD", 4));
        expected.replace(6, 4, "FIXD");
        EXPECT_EQ(file.TellWrite(), 10u);
        ASSERT_FALSE(file.SeekWrite(file.WriteEnd()));
        write("end");
        ASSERT_FALSE(file.Commit());
        EXPECT_EQ(ReadTextFile(Archive()), expected) << big;
        fs::remove(Archive());
    }
}

TEST(ArchiveLock, ASecondHolderWaitsAndGivesUpOrIsStoppedUntilTheFirstLetsGo) {
    TempDir dir;
    const UniqueFd folder(::open(dir.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(folder);
    const std::function<bool()> never = [] { return false; };
    StopPoll noStop(never);
    std::size_t waited = 0;
    const auto count = [&] { ++waited; };
    auto first = std::make_unique<ArchiveLock>();
    ASSERT_EQ(first->Acquire(folder.get(), std::chrono::milliseconds(0), noStop, count),
              ArchiveLock::Outcome::Locked);
    EXPECT_EQ(waited, 0u);

    ArchiveLock second;
    EXPECT_EQ(second.Acquire(folder.get(), std::chrono::milliseconds(200), noStop, count),
              ArchiveLock::Outcome::TimedOut);
    EXPECT_FALSE(second.Held());
    EXPECT_GE(waited, 2u);

    const std::function<bool()> afterThree = [&] { return waited >= 3; };
    StopPoll stop(afterThree);
    waited = 0;
    EXPECT_EQ(second.Acquire(folder.get(), std::chrono::minutes(30), stop, count),
              ArchiveLock::Outcome::Stopped);
    EXPECT_EQ(waited, 3u);

    first.reset();
    EXPECT_EQ(second.Acquire(folder.get(), std::chrono::milliseconds(0), noStop, count),
              ArchiveLock::Outcome::Locked);
    EXPECT_TRUE(second.Held());
}

TEST_F(ArchiveFileTest, ReadingBackFindsEntriesByNameAndSizeOnly) {
    const fs::path a = m_dir.path() / "in" / "a.txt";
    const fs::path b = m_dir.path() / "in" / "b.txt";
    WriteTextFile(a, "alpha");
    WriteTextFile(b, "bravo!");
    ASSERT_TRUE(CZIP().AddFiles(Archive().string(), {a.string(), b.string()}).empty());
    const std::string nameA = a.string().substr(1), nameB = b.string().substr(1);

    ArchiveFile file;
    ASSERT_FALSE(file.OpenFolder(Archive().string()));
    std::string error;
    EXPECT_TRUE(EntriesNotFound(file, {{nameA, 5}, {nameB, 6}}, error).empty());
    EXPECT_EQ(error, "");
    EXPECT_EQ(EntriesNotFound(file, {{nameA, 5}, {nameB, 7}, {"in/c.txt", 1}, {nameA, 0}}, error),
              (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(error, "");

    // Not an archive at all (any more): every entry is missing, and why is said.
    WriteTextFile(Archive(), "not an archive");
    EXPECT_EQ(EntriesNotFound(file, {{nameA, 5}, {nameB, 6}}, error),
              (std::vector<std::size_t>{0, 1}));
    EXPECT_FALSE(error.empty());
    fs::remove(Archive());
    fs::create_symlink(a, Archive());
    EXPECT_EQ(EntriesNotFound(file, {{nameA, 5}}, error), (std::vector<std::size_t>{0}));
    EXPECT_EQ(error, refusal::kArchiveIsLink);
}

} // namespace
