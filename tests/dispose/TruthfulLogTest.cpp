// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The log says what happened: a file's "<path> <verb>" line only once its disposal has
// succeeded, only a failure line for a file that failed, and a run never takes what its own
// disposal put in place.
#include "dispose/UnattendedDisposal.h"
#include "support/SmallTmpfs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

DisposalFile Seen(const fs::path& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return {path.string(), FileSeen::Of(st)};
}

std::string Incompressible(std::size_t bytes) {
    std::mt19937 gen(7);
    std::string data(bytes, '\0');
    for (char& c : data)
        c = static_cast<char>(gen());
    return data;
}

struct LoggedRun {
    Lines log;
    Lines logAtProgress; // the log as it stood after each file's turn
    UnattendedOutcome outcome;

    void Dispose(const std::vector<DisposalFile>& files, const std::string& method,
                 const std::string& dest) {
        UnattendedDisposalIo io;
        io.log = [this](const std::string& s) { log.push_back(s); };
        io.progress = [this](const std::string&) {
            logAtProgress.insert(logAtProgress.end(), log.begin() + static_cast<long>(logAtProgress.size()), log.end());
        };
        outcome = RunUnattendedDisposal(files, method, dest, io);
    }
    size_t CountEndingWith(const std::string& suffix) const {
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const std::string& l) {
            return l.ends_with(suffix);
        }));
    }
};

} // namespace

TEST(TruthfulLog, AFileThatCannotBeDeletedGetsOnlyItsFailureLine) {
    SmallTmpfs disk(1 << 20);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    WriteTextFile(disk.path() / "a.tmp", "aaaa");
    WriteTextFile(disk.path() / "b.tmp", "bbbbbb");
    const std::vector<DisposalFile> files{Seen(disk.path() / "a.tmp"), Seen(disk.path() / "b.tmp")};
    ASSERT_TRUE(disk.MakeReadOnly());

    LoggedRun r;
    r.Dispose(files, "1022", "");
    EXPECT_TRUE(fs::exists(files[0].path) && fs::exists(files[1].path));
    EXPECT_EQ(r.log, (Lines{files[0].path + " could not be Deleted: Read-only file system.",
                            files[1].path + " could not be Deleted: Read-only file system.",
                            "0 bytes were Deleted by Fernwick"}));
    EXPECT_EQ(r.outcome.disposed, 0);
    EXPECT_FALSE(r.outcome.Complete());
}

TEST(TruthfulLog, ZippedIsWrittenOnlyOnceTheArchiveIsOnDisk) {
    TempDir dir;
    std::vector<DisposalFile> files;
    for (const char* name : {"a.tmp", "b.tmp", "c.tmp"}) {
        WriteTextFile(dir.path() / "src" / name, name);
        files.push_back(Seen(dir.path() / "src" / name));
    }
    LoggedRun r;
    r.Dispose(files, "1023", (dir.path() / "out.zip").string());
    // Nothing said "Zipped" while the files were only queued.
    EXPECT_TRUE(r.logAtProgress.empty()) << r.logAtProgress.front();
    EXPECT_EQ(r.log, (Lines{files[0].path + " Zipped", files[1].path + " Zipped",
                            files[2].path + " Zipped", "15 bytes were Zipped by Fernwick"}));
    EXPECT_TRUE(r.outcome.Complete());
}

TEST(TruthfulLog, AnArchiveThatFillsTheDiskLeavesNoZippedLine) {
    SmallTmpfs disk(256 << 10);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    TempDir src;
    std::vector<DisposalFile> files;
    for (const char* name : {"a.bin", "b.bin"}) {
        WriteTextFile(src.path() / name, Incompressible(512 << 10));
        files.push_back(Seen(src.path() / name));
    }
    LoggedRun r;
    r.Dispose(files, "1023", (disk.path() / "out.zip").string());
    EXPECT_EQ(r.CountEndingWith(" Zipped"), 0u);
    ASSERT_EQ(r.log.size(), 3u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_TRUE(r.log[i].starts_with(files[i].path + " could not be Zipped: ")) << r.log[i];
    EXPECT_EQ(r.log[2], "0 bytes were Zipped by Fernwick");
    EXPECT_EQ(r.outcome.disposed, 0);
    EXPECT_FALSE(fs::exists(disk.path() / "out.zip"));
    EXPECT_TRUE(fs::is_empty(disk.path())) << "nothing of the failed archive is left behind";
}

TEST(TruthfulLog, AFileInTheMoveDestinationItselfIsRefusedWithItsOwnReason) {
    TempDir dir;
    WriteTextFile(dir.path() / "dest" / "there.tmp", "already moved");
    WriteTextFile(dir.path() / "dest" / "deeper" / "x.tmp", "x");
    WriteTextFile(dir.path() / "src" / "a.tmp", "a");
    const std::vector<DisposalFile> files{Seen(dir.path() / "dest" / "there.tmp"),
                                          Seen(dir.path() / "dest" / "deeper" / "x.tmp"),
                                          Seen(dir.path() / "src" / "a.tmp")};
    LoggedRun r;
    r.Dispose(files, "1024", (dir.path() / "dest").string());
    EXPECT_EQ(r.log[0], files[0].path + " could not be Moved: it lies in the destination folder "
                                        "itself, where this run moves the files to.");
    EXPECT_EQ(r.log[1], files[1].path + " Moved"); // a subfolder's file is an ordinary one
    EXPECT_EQ(r.log[2], files[2].path + " Moved");
    EXPECT_EQ(ReadTextFile(dir.path() / "dest" / "there.tmp"), "already moved");
    EXPECT_EQ(r.outcome.disposed, 2);
}

TEST(TruthfulLog, TheArchiveItselfIsNeverZippedIntoItself) {
    TempDir dir;
    WriteTextFile(dir.path() / "a.tmp", "a");
    const std::string archive = (dir.path() / "out.zip").string();
    LoggedRun first;
    first.Dispose({Seen(dir.path() / "a.tmp")}, "1023", archive);
    ASSERT_TRUE(first.outcome.Complete());

    const std::uintmax_t size = fs::file_size(archive);
    LoggedRun r;
    r.Dispose({Seen(archive)}, "1023", archive);
    EXPECT_EQ(r.log, (Lines{archive + " could not be Zipped: it is the archive the files are "
                                      "being zipped into.",
                            "0 bytes were Zipped by Fernwick"}));
    EXPECT_EQ(fs::file_size(archive), size);
}

TEST(TruthfulLog, WithoutAMethodNoFileIsReportedAsDone) {
    TempDir dir;
    WriteTextFile(dir.path() / "a.tmp", "a");
    LoggedRun r;
    r.Dispose({Seen(dir.path() / "a.tmp")}, "", "");
    EXPECT_EQ(r.log, (Lines{(dir.path() / "a.tmp").string() +
                                " was left alone: no disposal method was given.",
                            "0 bytes were  by Fernwick"}));
    EXPECT_TRUE(fs::exists(dir.path() / "a.tmp"));
}
