// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// What a scheduled cleaning tells the desktop: the counts, the method and where, the log.
#include "app/RunNotice.h"
#include "schedule/CatchUpRun.h"
#include "dispose/DisposalMethod.h"

#include <gtest/gtest.h>

namespace {

UnattendedOutcome Outcome(int found, int reached, int disposed, std::uint64_t bytes,
                          bool stopped = false) {
    UnattendedOutcome o;
    o.found = found;
    o.reached = reached;
    o.disposed = disposed;
    o.cleanedBytes = bytes;
    o.stopped = stopped;
    return o;
}

const std::string kLog = "/home/u/.local/share/fernwick/fwlog.txt";

} // namespace

TEST(RunNotice, SaysWhatWasCleanedWhereAndWhereTheLogIs) {
    const auto all = NoticeOfRun(Outcome(3, 3, 3, 1234567), METHOD_RECYCLE, "", kLog);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->appName, "Fernwick");
    EXPECT_EQ(all->desktopEntry, "com.quenbyworks.fernwick");
    EXPECT_EQ(all->summary, "Scheduled cleaning done");
    EXPECT_EQ(all->body, "3 files (1,234,567 bytes) were moved to the trash.\n"
                         "Each file is in the log: " + kLog);

    const auto one = NoticeOfRun(Outcome(1, 1, 1, 1), METHOD_MOVE, "/home/u/Old", kLog);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->body, "1 file (1 byte) was moved to /home/u/Old.\n"
                         "Each file is in the log: " + kLog);

    const auto zip = NoticeOfRun(Outcome(2, 2, 2, 10), METHOD_ZIP, "/a/old.zip", kLog);
    ASSERT_TRUE(zip);
    EXPECT_TRUE(zip->body.starts_with("2 files (10 bytes) were zipped into /a/old.zip.\n"));
    const auto del = NoticeOfRun(Outcome(2, 2, 2, 10), METHOD_PERMANENT_DELETE, "", kLog);
    ASSERT_TRUE(del);
    EXPECT_TRUE(del->body.starts_with("2 files (10 bytes) were permanently deleted.\n"));
}

TEST(RunNotice, FilesLeftAndStoppedRunsAreSaidAsSuch) {
    const auto some = NoticeOfRun(Outcome(5, 5, 3, 300), METHOD_DELETE, "", kLog);
    ASSERT_TRUE(some);
    EXPECT_EQ(some->summary, "Scheduled cleaning: 2 files left");
    EXPECT_EQ(some->body, "3 files (300 bytes) were deleted.\n2 files could not be deleted.\n"
                          "Each file is in the log: " + kLog);

    const auto none = NoticeOfRun(Outcome(1, 1, 0, 0), METHOD_MOVE, "/x", kLog);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->summary, "Scheduled cleaning: 1 file left");
    EXPECT_EQ(none->body, "1 file could not be moved to /x.\nEach file is in the log: " + kLog);

    const auto stopped = NoticeOfRun(Outcome(10, 4, 4, 40, true), METHOD_DELETE, "", kLog);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(stopped->summary, "Scheduled cleaning stopped");
    EXPECT_EQ(stopped->body, "4 files (40 bytes) were deleted.\n"
                             "The run was stopped; 6 files were left as they were.\n"
                             "Each file is in the log: " + kLog);
}

TEST(RunNotice, NothingFoundIsNothingToSay) {
    EXPECT_FALSE(NoticeOfRun(Outcome(0, 0, 0, 0), METHOD_DELETE, "", kLog));
}

TEST(RunNotice, ControlCharactersInPathsStayOnTheirLine) {
    const auto n = NoticeOfRun(Outcome(1, 1, 1, 1), METHOD_MOVE, "/a\nb", "/log\r");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->body, "1 file (1 byte) was moved to /a\\x0ab.\nEach file is in the log: /log\\x0d");
}

TEST(RunNotice, ARefusedRunSaysWhyEveryRunWillBeRefused) {
    const DesktopNotice n = NoticeOfRefusal("no /x switch names the disposal method", kLog);
    EXPECT_EQ(n.summary, "Scheduled cleaning refused");
    EXPECT_EQ(n.body, "The scheduled cleaning did not run: no /x switch names the disposal "
                      "method\nSee the log: " + kLog);
}

TEST(RunNotice, ACatchUpSaysWhichMissedCleaningItWas) {
    const std::time_t due = 1765350840;
    const auto n = NoticeOfRun(Outcome(2, 2, 1, 10), METHOD_DELETE, "", kLog, due);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->summary, "Missed scheduled cleaning: 1 file left");
    EXPECT_EQ(n->body, "Caught up at login: the cleaning was due at " + LocalDateTime(due) +
                           ", while the computer was off.\n1 file (10 bytes) was deleted.\n"
                           "1 file could not be deleted.\nEach file is in the log: " + kLog);
    EXPECT_EQ(NoticeOfRun(Outcome(1, 1, 1, 1), METHOD_DELETE, "", kLog, due)->summary,
              "Missed scheduled cleaning done");
}
