// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// What a scheduled disposal reports back: a run stopped between files, the files it left, and
// the command lines it refuses.
#include "dispose/UnattendedDisposal.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

// Four files of 5 bytes each; the run is stopped before file number stopBefore (from 1).
struct StoppedRun {
    TempDir dir;
    Lines log;
    std::vector<DisposalFile> files;
    int asked = 0;
    StoppedRun() {
        for (const char* name : {"a.tmp", "b.tmp", "c.tmp", "d.tmp"}) {
            const fs::path path = dir.path() / "src" / name;
            WriteTextFile(path, "12345");
            struct stat st {};
            ::lstat(path.c_str(), &st);
            files.push_back({path.string(), FileSeen::Of(st)});
        }
    }
    UnattendedOutcome Dispose(const std::string& method, const std::string& dest, int stopAt) {
        UnattendedDisposalIo io;
        io.log = [this](const std::string& s) { log.push_back(s); };
        io.stopReason = [this, stopAt] { return ++asked >= stopAt ? "SIGTERM" : ""; };
        return RunUnattendedDisposal(files, method, dest, io);
    }
    bool There(size_t i) const { return fs::exists(files[i].path); }
};

} // namespace

TEST(UnattendedOutcome, AStopEndsTheRunBetweenFilesAndSaysHowFarItGot) {
    StoppedRun r;
    const UnattendedOutcome out = r.Dispose("1022", "", 3); // asked before each file
    EXPECT_TRUE(out.stopped);
    EXPECT_FALSE(out.Complete());
    EXPECT_EQ(out.found, 4);
    EXPECT_EQ(out.reached, 2);
    EXPECT_EQ(out.disposed, 2);
    EXPECT_EQ(out.cleanedBytes, 10u);
    EXPECT_FALSE(r.There(0) || r.There(1));
    EXPECT_TRUE(r.There(2) && r.There(3));
    EXPECT_EQ(r.log, (Lines{r.files[0].path + " Deleted", r.files[1].path + " Deleted",
                            "The run was stopped by SIGTERM after 2 of 4 files; 2 were Deleted, "
                            "the others were left alone.",
                            "10 bytes were Deleted by Fernwick"}));
}

TEST(UnattendedOutcome, AStopBeforeTheFirstFileTouchesNone) {
    StoppedRun r;
    const UnattendedOutcome out = r.Dispose("1026", "", 1);
    EXPECT_TRUE(out.stopped);
    EXPECT_EQ(out.reached, 0);
    for (size_t i = 0; i < r.files.size(); ++i)
        EXPECT_TRUE(r.There(i));
    ASSERT_EQ(r.log.size(), 2u);
    EXPECT_EQ(r.log[0], "The run was stopped by SIGTERM after 0 of 4 files; 0 were Permanently "
                        "Deleted, the others were left alone.");
    EXPECT_EQ(r.log[1], "0 bytes were Permanently Deleted by Fernwick");
}

TEST(UnattendedOutcome, AStopBeforeTheArchiveIsWrittenLeavesNoArchive) {
    // Zip acts after the last file: a stop that comes before it writes nothing at all.
    StoppedRun r;
    const std::string archive = r.dir.path() / "old.zip";
    // Asked before each of the 4 files, then before the archive.
    const UnattendedOutcome out = r.Dispose("1023", archive, 5);
    EXPECT_TRUE(out.stopped);
    EXPECT_EQ(out.reached, 4);
    EXPECT_EQ(out.disposed, 0);
    EXPECT_EQ(out.cleanedBytes, 0u);
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_EQ(r.log[r.log.size() - 2], "The run was stopped by SIGTERM after 4 of 4 files; 0 were "
                                       "Zipped, the others were left alone.");
}

TEST(UnattendedOutcome, CompleteOnlyWhenEveryFileWasDisposedOf) {
    {
        StoppedRun r;
        const UnattendedOutcome out = r.Dispose("1022", "", 1000); // never stopped
        EXPECT_FALSE(out.stopped);
        EXPECT_TRUE(out.Complete());
        EXPECT_EQ(out.disposed, 4);
        EXPECT_EQ(r.asked, 4); // before each file; no step waits after the last one
    }
    {
        StoppedRun r;
        r.files.clear();
        EXPECT_TRUE(r.Dispose("1025", "", 1000).Complete()); // nothing found, nothing left
    }
    {
        StoppedRun r;
        LockingChild lock(r.files[1].path);
        const UnattendedOutcome out = r.Dispose("1022", "", 1000);
        EXPECT_FALSE(out.stopped);
        EXPECT_FALSE(out.Complete());
        EXPECT_EQ(out.disposed, 3);
    }
    {
        // A move that would replace a file.
        StoppedRun r;
        WriteTextFile(r.dir.path() / "dest" / "c.tmp", "taken");
        const UnattendedOutcome out = r.Dispose("1024", r.dir.path() / "dest", 1000);
        EXPECT_FALSE(out.Complete());
        EXPECT_EQ(out.disposed, 3);
        EXPECT_TRUE(r.There(2));
    }
    {
        // No method: every file is looked at, none touched, so the run is not complete.
        StoppedRun r;
        const UnattendedOutcome out = r.Dispose("", "", 1000);
        EXPECT_FALSE(out.Complete());
        EXPECT_EQ(out.disposed, 0);
    }
}

TEST(UnattendedOutcome, CommandLinesARunCannotUse) {
    struct Case {
        const char* method;
        const char* destination;
        const char* says; // empty: usable
    };
    const Case cases[] = {
        {"1022", "", ""},
        {"1025", "", ""},
        {"1026", "/ignored", ""},
        {"1024", "/tmp/dest", ""},
        {"1023", "/tmp/old.zip", ""},
        {" 1022", "", ""}, // read as its leading number
        {"", "", "no /x switch names the disposal method"},
        {"9999", "", "the /x switch names no disposal method (\"9999\")"},
        {"0", "", "the /x switch names no disposal method (\"0\")"},
        {"delete", "", "the /x switch names no disposal method (\"delete\")"},
        {"1021", "", "the /x switch names no disposal method"},
        {"1027", "", "the /x switch names no disposal method"},
        {"1024", "", "the files are to be Moved, but no /m switch names the destination folder"},
        {"1023", "", "the files are to be Zipped, but no /m switch names the archive"},
    };
    for (const Case& c : cases) {
        const std::string refused = RefuseUnattendedCommand(c.method, c.destination).Text();
        if (*c.says == '\0') {
            EXPECT_EQ(refused, "") << c.method;
            continue;
        }
        EXPECT_TRUE(refused.starts_with(c.says)) << c.method << ": " << refused;
        EXPECT_TRUE(refused.ends_with("Nothing was scanned or disposed of.")) << refused;
    }
}
