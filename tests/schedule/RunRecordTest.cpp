// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/RunRecord.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(RunRecord, NotesEachCommandsLastRunAndReadsItBack) {
    TempDir dir;
    const std::string path = (dir.path() / CRunRecord::kFileName).string();
    CRunRecord record;
    EXPECT_FALSE(record.Load(path)); // none yet: empty, no failure
    EXPECT_EQ(record.LastRun("fernwick /r"), std::nullopt);
    record.Note("'/usr/bin/fernwick' '/r' '/pTemp Files '", 1765000000);
    record.Note("fernwick\t/r", 5);
    record.Note("fernwick\t/r", 7); // the later run counts
    record.Note("two\nlines", 9);   // cannot be a crontab command: not kept
    ASSERT_EQ(record.Save(path), FsError());
    EXPECT_EQ(ReadTextFile(path), "1765000000\t'/usr/bin/fernwick' '/r' '/pTemp Files '\n"
                                  "7\tfernwick\t/r\n");

    CRunRecord again;
    ASSERT_EQ(again.Load(path), FsError());
    EXPECT_EQ(again.LastRun("'/usr/bin/fernwick' '/r' '/pTemp Files '"), 1765000000);
    EXPECT_EQ(again.LastRun("fernwick\t/r"), 7);
    EXPECT_EQ(again.LastRun("two\nlines"), std::nullopt);
    EXPECT_EQ(again.LastRun("fernwick /r"), std::nullopt);
}

TEST(RunRecord, ADamagedRecordIsKeptAsideAndCountsAsNeverRun) {
    TempDir dir;
    const std::string path = (dir.path() / CRunRecord::kFileName).string();
    for (const char* damaged : {"1765000000\tfernwick /r\nnot a time\tx\n",
                                "1765000000\tfernwick /r", "\tfernwick\n", "12\t\n"}) {
        WriteTextFile(path, damaged);
        CRunRecord record;
        EXPECT_EQ(record.Load(path), FsError()) << damaged;
        EXPECT_EQ(record.LastRun("fernwick /r"), std::nullopt) << damaged;
        EXPECT_FALSE(fs::exists(path)) << damaged;
        EXPECT_TRUE(fs::exists(path + ".damaged")) << damaged;
        EXPECT_EQ(ReadTextFile(path + ".damaged"), damaged);
        fs::remove(path + ".damaged");
    }
}
