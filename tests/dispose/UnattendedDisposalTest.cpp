// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The scheduled cleaning's disposal: each method's effect on disk and the log it leaves.
#include "dispose/UnattendedDisposal.h"
#include "support/ChildProcess.h"
#include "support/HoldingChild.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

// Three files of 10, 12 and 10 bytes, one with a blank in its name.
struct Batch {
    TempDir dir;
    Lines log;
    Lines progress;
    std::vector<std::string> paths;
    std::map<std::string, FileSeen> seen; // as a scan saw each file when it was made
    Batch() {
        fs::create_directories(dir.path() / "src");
        for (const char* name : {"a.tmp", "b b.tmp", "c.tmp"}) {
            WriteTextFile(dir.path() / "src" / name, std::string(name) + " data");
            paths.push_back((dir.path() / "src" / name).string());
            struct stat st {};
            ::lstat(paths.back().c_str(), &st);
            seen[paths.back()] = FileSeen::Of(st);
        }
    }
    std::uint64_t Dispose(const std::string& method, const std::string& dest) {
        UnattendedDisposalIo io;
        io.log = [this](const std::string& s) { log.push_back(s); };
        io.progress = [this](const std::string& s) { progress.push_back(s); };
        std::vector<DisposalFile> files;
        for (const std::string& p : paths)
            files.push_back({p, seen[p]});
        return RunUnattendedDisposal(files, method, dest, io).cleanedBytes;
    }
    std::string At(const std::string& rel) const { return (dir.path() / rel).string(); }
    bool AllSourcesThere() const {
        for (const auto& p : paths)
            if (!fs::exists(p))
                return false;
        return true;
    }
};


} // namespace

TEST(UnattendedDisposal, DeleteLogsEachFileOnceDeletedThenTheTotal) {
    Batch r;
    EXPECT_EQ(r.Dispose("1022", ""), 32u);
    EXPECT_FALSE(fs::exists(r.paths[0]) || fs::exists(r.paths[1]) || fs::exists(r.paths[2]));
    EXPECT_EQ(r.log, (Lines{r.paths[0] + " Deleted", r.paths[1] + " Deleted",
                            r.paths[2] + " Deleted", "32 bytes were Deleted by Fernwick"}));
    EXPECT_EQ(r.progress, (Lines{"1 of 3 files being Deleted", "2 of 3 files being Deleted",
                                 "3 of 3 files being Deleted"}));
}

TEST(UnattendedDisposal, FilesInUseAreLoggedAsSuchAndVanishedFilesAsGone) {
    Batch r;
    LockingChild child(r.paths[1]);
    fs::remove(r.paths[2]);
    r.paths.push_back(r.paths[0]); // found twice: the second attempt finds it gone
    EXPECT_EQ(r.Dispose("1022", ""), 10u);
    EXPECT_TRUE(fs::exists(r.paths[1]));
    ASSERT_EQ(r.log.size(), 6u);
    EXPECT_EQ(r.log[0], r.paths[0] + " Deleted");
    EXPECT_NE(r.log[1].find(r.paths[1]), std::string::npos) << r.log[1]; // the cause, named
    EXPECT_NE(r.log[1].find("lock"), std::string::npos) << r.log[1];
    EXPECT_EQ(r.log[2], r.paths[1] + " is in use and cannot be Deleted.");
    // A file that is gone is not in use.
    EXPECT_EQ(r.log[3], r.paths[2] + " was changed after the scan and was not Deleted: it is no longer there.");
    EXPECT_EQ(r.log[4], r.paths[0] + " was changed after the scan and was not Deleted: it is no longer there.");
    EXPECT_EQ(r.log[5], "10 bytes were Deleted by Fernwick");
}

TEST(UnattendedDisposal, OnlyTheFileTheScanSawIsDisposedOf) {
    Batch r;
    WriteTextFile(r.At("other"), "a.tmp DATA"); // as many bytes
    fs::rename(r.At("other"), r.paths[0]);
    EXPECT_EQ(r.Dispose("1022", ""), 22u);
    EXPECT_EQ(ReadTextFile(r.paths[0]), "a.tmp DATA");
    EXPECT_EQ(r.log[0], r.paths[0] + " was changed after the scan and was not Deleted: it is another file now.");
    EXPECT_EQ(r.log.back(), "22 bytes were Deleted by Fernwick");
}

TEST(UnattendedDisposal, MoveNeverReplacesAndReportsWhatFailed) {
    Batch r;
    fs::create_directories(r.dir.path() / "dest");
    WriteTextFile(r.dir.path() / "dest" / "c.tmp", "already here");
    EXPECT_EQ(r.Dispose("1024", r.At("dest") + "/"), 22u);
    EXPECT_EQ(ReadTextFile(r.dir.path() / "dest" / "a.tmp"), "a.tmp data");
    EXPECT_EQ(ReadTextFile(r.dir.path() / "dest" / "b b.tmp"), "b b.tmp data");
    EXPECT_EQ(ReadTextFile(r.dir.path() / "dest" / "c.tmp"), "already here");
    EXPECT_EQ(ReadTextFile(r.paths[2]), "c.tmp data");
    // The file left where it was has no "Moved" line, only its failure.
    ASSERT_EQ(r.log.size(), 4u);
    EXPECT_EQ(r.log[1], r.paths[1] + " Moved");
    EXPECT_EQ(r.log[2], r.paths[2] + " could not be Moved: the destination already has a file of that name.");
    EXPECT_EQ(r.log[3], "22 bytes were Moved by Fernwick");
}

TEST(UnattendedDisposal, MoveOrZipWithoutDestinationTouchesNothing) {
    for (const char* method : {"1024", "1023"}) {
        Batch r;
        EXPECT_EQ(r.Dispose(method, ""), 0u);
        EXPECT_TRUE(r.AllSourcesThere());
        ASSERT_EQ(r.log.size(), 2u) << method;
        EXPECT_NE(r.log[0].find("No destination"), std::string::npos);
        EXPECT_TRUE(r.log[1].starts_with("0 bytes were ")) << r.log[1];
    }
}


TEST(UnattendedDisposal, ZipAndPermanentDeleteCountWhatTheyDid) {
    Batch zip;
    EXPECT_EQ(zip.Dispose("1023", zip.At("old.zip")), 32u);
    EXPECT_TRUE(fs::is_regular_file(zip.At("old.zip")));
    EXPECT_TRUE(zip.AllSourcesThere()); // zipped files are kept
    EXPECT_EQ(zip.log.back(), "32 bytes were Zipped by Fernwick");

    Batch wipe;
    EXPECT_EQ(wipe.Dispose("1026", ""), 32u);
    for (const auto& p : wipe.paths)
        EXPECT_FALSE(fs::exists(p));
    EXPECT_EQ(wipe.log[0], wipe.paths[0] + " Permanently Deleted");
    EXPECT_EQ(wipe.log.back(), "32 bytes were Permanently Deleted by Fernwick");
}

TEST(UnattendedDisposal, NothingFoundWritesOnlyTheClosingLine) {
    Batch r;
    r.paths.clear();
    EXPECT_EQ(r.Dispose("1025", ""), 0u);
    EXPECT_EQ(r.log, Lines{"0 bytes were Moved to Recycle Bin by Fernwick"});
    EXPECT_TRUE(r.progress.empty());
}

TEST(UnattendedDisposal, MethodCodesReadAsTheirLeadingNumber) {
    EXPECT_EQ(ParseMethodCode("1025"), 1025);
    EXPECT_EQ(ParseMethodCode(" 1022x"), 1022);
    EXPECT_EQ(ParseMethodCode(""), 0);
    EXPECT_EQ(ParseMethodCode("abc"), 0);
}

TEST(UnattendedDisposal, AFileAProgramOpensDuringTheRunIsInUseAtItsTurn) {
    Batch r;
    std::unique_ptr<HoldingChild> opener;
    UnattendedDisposalIo io;
    io.log = [&r](const std::string& s) { r.log.push_back(s); };
    // After the first file's turn a program opens the last file and keeps it open.
    io.progress = [&](const std::string&) {
        if (!opener)
            opener = std::make_unique<HoldingChild>([&r] {
                return ::open(r.paths[2].c_str(), O_RDONLY) >= 0;
            });
    };
    std::vector<DisposalFile> files;
    for (const std::string& p : r.paths)
        files.push_back({p, r.seen[p]});
    const UnattendedOutcome out = RunUnattendedDisposal(files, "1026", "", io);
    ASSERT_TRUE(opener && opener->ready());
    EXPECT_EQ(ReadTextFile(r.paths[2]), "c.tmp data"); // not overwritten under the program
    EXPECT_EQ(out.disposed, 2);
    EXPECT_TRUE(std::find(r.log.begin(), r.log.end(),
                          r.paths[2] + " is in use and cannot be Permanently Deleted.") != r.log.end());
}

TEST(UnattendedDisposal, AFileLeasedByAnotherProgramIsInUseNotFailed) {
    Batch r;
    HoldingChild leaser([&r] {
        ::signal(SIGIO, SIG_IGN); // told of our attempt, and staying
        const int fd = ::open(r.paths[1].c_str(), O_RDONLY);
        return fd >= 0 && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0;
    });
    ASSERT_TRUE(leaser.ready());
    EXPECT_EQ(r.Dispose("1022", ""), 20u); // a.tmp and c.tmp
    EXPECT_TRUE(fs::exists(r.paths[1]));
    EXPECT_TRUE(std::find(r.log.begin(), r.log.end(),
                          r.paths[1] + " is in use and cannot be Deleted.") != r.log.end())
        << r.log[1];
}
