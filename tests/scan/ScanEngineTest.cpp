// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The engine on real folders.
#include "ScanTree.h"
#include "scan/ScanEngine.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cstring>
#include <sys/stat.h>

using Paths = std::vector<std::string>;

namespace {
CProfile Profile(Paths patterns, Paths folders = {}) {
    CProfile p;
    p.m_lstPatterns = std::move(patterns);
    p.m_lstFolders = std::move(folders);
    return p;
}

std::time_t Day(int y, int m, int d) {
    std::time_t t = 0;
    LocalMidnight(m, d, y, t);
    return t;
}
} // namespace

TEST(ScanEngine, OwnFilesPatternByPatternThenSubfoldersDepthFirst) {
    ScanTree t;
    t.file("a.bak");
    t.file("b.tmp");
    t.file("keep.txt");
    t.file("sub/c.tmp");
    t.file("sub/deeper/d.bak");
    t.file("Backup.old/e.tmp"); // a dot in a folder's name does not stop the walk
    t.file(".cache/f.bak");
    CStopEvent stop;
    RecordingSink sink;
    SearchFolder(t.root().string(), Profile({"*.TMP", "*.BAK"}), stop, sink);

    const Paths got = sink.Relative(t.root());
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0], "b.tmp"); // the first pattern's files first
    EXPECT_EQ(got[1], "a.bak");
    auto pos = [&](const std::string& p) { return std::find(got.begin(), got.end(), p) - got.begin(); };
    EXPECT_LT(pos("sub/c.tmp"), pos("sub/deeper/d.bak")); // a folder before its subfolders
    EXPECT_NE(pos("Backup.old/e.tmp"), 6);
    EXPECT_NE(pos(".cache/f.bak"), 6);
    // Every taken file carries its size and time.
    for (const FoundFile& f : sink.files)
        EXPECT_EQ(f.size, std::optional<std::uint64_t>(1)) << f.path;
}

TEST(ScanEngine, NamedFoldersGiveUpTheirOwnFilesOnly) {
    ScanTree t;
    t.file("TEMP/anything.doc");
    t.file("TEMP/.hidden");
    t.file("TEMP/inner/not-taken.doc");
    t.file("TEMP/inner/pattern.tmp"); // not entered, so not even the pattern finds it
    t.file("Temp/wrong-case.doc");
    t.file("deep/down/TEMP/x.dat");
    t.file("Temp/y.tmp");
    CStopEvent stop;
    RecordingSink sink;
    SearchFolder(t.root().string(), Profile({"*.tmp"}, {"TEMP"}), stop, sink);
    Paths got = sink.Relative(t.root());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (Paths{"TEMP/.hidden", "TEMP/anything.doc", "Temp/y.tmp", "deep/down/TEMP/x.dat"}));
}

TEST(ScanEngine, LimitsTakeOlderSmallerOrLargerStrictly) {
    ScanTree t;
    const std::time_t date = Day(2001, 6, 1);
    t.file("old.tmp", 500, date - 1);
    t.file("same-date.tmp", 500, date);
    t.file("small.tmp", 99, date + 86400);
    t.file("min-size.tmp", 100, date + 86400);
    t.file("max-size.tmp", 1000, date + 86400);
    t.file("large.tmp", 1001, date + 86400);
    t.file("empty.tmp", 0, date + 86400);
    CProfile p = Profile({"*.tmp"});
    p.m_bUseLimits = true;
    p.m_dwMinSize = 100;
    p.m_dwMaxSize = 1000;
    p.m_timeOlderThan = date;
    CStopEvent stop;
    RecordingSink sink;
    SearchFolder(t.root().string(), p, stop, sink);
    Paths got = sink.Relative(t.root());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (Paths{"empty.tmp", "large.tmp", "old.tmp", "small.tmp"}));

    // Minimum 0 never takes by size; maximum 0 takes every file that is not empty.
    p.m_dwMinSize = 0;
    p.m_dwMaxSize = 0;
    p.m_timeOlderThan = Day(1980, 1, 1);
    RecordingSink sink2;
    SearchFolder(t.root().string(), p, stop, sink2);
    EXPECT_EQ(sink2.files.size(), 6u);
    for (const FoundFile& f : sink2.files)
        EXPECT_NE(f.path, t.at("empty.tmp"));

    // Without limits the same values change nothing.
    p.m_bUseLimits = false;
    RecordingSink sink3;
    SearchFolder(t.root().string(), p, stop, sink3);
    EXPECT_EQ(sink3.files.size(), 7u);
}

TEST(ScanEngine, SizesAreSixtyFourBitAndComparedInFull) {
    ScanTree t;
    t.file("huge.tmp", 3000000000ull); // sparse
    CProfile p = Profile({"*.tmp"});
    p.m_bUseLimits = true;
    p.m_dwMinSize = 0;
    p.m_dwMaxSize = 4294967295u;
    p.m_timeOlderThan = Day(1980, 1, 1);
    CStopEvent stop;
    RecordingSink sink;
    SearchFolder(t.root().string(), p, stop, sink);
    EXPECT_TRUE(sink.files.empty()); // 3,000,000,000 is not above 4294967295
    EXPECT_EQ(GetFileSizeText(t.at("huge.tmp")), "3000000000");
    t.file("bigger.tmp", 5000000000ull);
    SearchFolder(t.root().string(), p, stop, sink);
    ASSERT_EQ(sink.files.size(), 1u);
    EXPECT_EQ(sink.files[0].size, std::optional<std::uint64_t>(5000000000ull));
    EXPECT_EQ(GetFileSizeText(t.at("missing")), "");
}

TEST(ScanEngine, ListedFolderWithOrWithoutSlashAndMissingFolders) {
    ScanTree t;
    t.file("list/a.tmp");
    t.file("list/sub/b.tmp");
    CStopEvent stop;
    RecordingSink with, without, missing;
    SearchFolder(t.at("list") + "/", Profile({"*.tmp"}), stop, with);
    SearchFolder(t.at("list"), Profile({"*.tmp"}), stop, without);
    EXPECT_EQ(with.Relative(t.root()), (Paths{"list/a.tmp", "list/sub/b.tmp"}));
    EXPECT_EQ(without.Relative(t.root()), with.Relative(t.root()));
    EXPECT_EQ(without.folders.front(), t.at("list")); // shown as given

    SearchFolder(t.at("nowhere"), Profile({"*.*"}), stop, missing);
    SearchFolder(t.at("list/a.tmp"), Profile({"*.*"}), stop, missing); // a file, not a folder
    EXPECT_TRUE(missing.files.empty());
}

TEST(ScanEngine, RelativeFoldersBecomeAbsolute) {
    ScanTree t;
    t.file("rel/a.tmp");
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(t.root());
    CStopEvent stop;
    RecordingSink sink;
    SearchFolder("rel", Profile({"*.tmp"}), stop, sink);
    std::filesystem::current_path(old);
    ASSERT_EQ(sink.files.size(), 1u);
    EXPECT_EQ(sink.files[0].path, t.at("rel/a.tmp"));
}

TEST(ScanEngine, AFileVanishingBeforeItsSizeIsReadIsStillRecorded) {
    ScanTree t;
    t.file("gone.tmp", 10);
    t.file("stays.tmp", 10);
    CStopEvent stop;
    RecordingSink sink;
    sink.onPump = [&] { std::filesystem::remove(t.at("gone.tmp")); };
    SearchFolder(t.root().string(), Profile({"*.tmp"}), stop, sink);
    ASSERT_EQ(sink.files.size(), 2u);
    for (const FoundFile& f : sink.files)
        EXPECT_EQ(f.size.has_value(), f.path == t.at("stays.tmp")) << f.path;
}

TEST(ScanEngine, StopMidWalkKeepsWhatWasFound) {
    ScanTree t;
    for (int i = 0; i < 20; ++i)
        t.file("d" + std::to_string(i) + "/f.tmp");
    CStopEvent stop;
    RecordingSink sink;
    int pumps = 0;
    sink.onPump = [&] {
        if (sink.files.size() == 5 && ++pumps)
            stop.Set();
    };
    SearchFolder(t.root().string(), Profile({"*.tmp"}), stop, sink);
    EXPECT_EQ(sink.files.size(), 5u);
    EXPECT_GT(pumps, 0);
    // A search that starts with the stop set does nothing.
    RecordingSink none;
    SearchFolder(t.root().string(), Profile({"*.tmp"}), stop, none);
    EXPECT_TRUE(none.files.empty());
}

TEST(ScanEngine, LinksFifosAndLoopsAreNeitherFollowedNorTaken) {
    ScanTree t;
    t.file("real/a.tmp");
    t.file("outside/secret.tmp");
    t.link(t.at("outside"), "real/to-outside");    // a link to a folder
    t.link(t.at("real"), "real/loop");             // a loop
    t.link(t.at("outside/secret.tmp"), "real/l.tmp"); // a link to a file
    t.link(t.at("nothing"), "real/dangling.tmp");
    ASSERT_EQ(::mkfifo(t.at("real/pipe.tmp").c_str(), 0600), 0);
    CStopEvent stop;
    RecordingSink sink;
    SearchFolder(t.at("real"), Profile({"*.tmp"}, {"to-outside"}), stop, sink);
    EXPECT_EQ(sink.Relative(t.root()), Paths{"real/a.tmp"});

    // A listed folder that is itself a link (ours) is resolved and found by its real path.
    RecordingSink viaLink;
    SearchFolder(t.at("real/to-outside"), Profile({"*.tmp"}), stop, viaLink);
    EXPECT_EQ(viaLink.Relative(t.root()), Paths{"outside/secret.tmp"});
}

TEST(ScanEngine, DoesNotCrossIntoAnotherFileSystem) {
    ScanTree t;
    t.file("top.tmp");
    t.dir("mnt");
    if (::mount("fernwick-test", t.at("mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
    t.file("mnt/inside.tmp");
    CStopEvent stop;
    RecordingSink sink;
    SearchFolder(t.root().string(), Profile({"*.tmp"}), stop, sink);
    ::umount(t.at("mnt").c_str());
    EXPECT_EQ(sink.Relative(t.root()), Paths{"top.tmp"});
}

TEST(ScanEngine, FileTimesReadAsTheResultsListShowsThem) {
    std::tm tm{};
    tm.tm_year = 98;
    tm.tm_mon = 6;
    tm.tm_mday = 14;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_sec = 7;
    tm.tm_isdst = -1;
    EXPECT_EQ(FormatFileTime(std::mktime(&tm)), "09:05:07 Tuesday, July 14, 1998");
}
