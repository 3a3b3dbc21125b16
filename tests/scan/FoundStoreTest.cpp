// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/CFoundStore.h"

#include <gtest/gtest.h>

#include <string>

namespace {

FoundFile File(std::string path, std::uint64_t size = 1, std::time_t mtime = 1000) {
    FoundFile f;
    f.path = std::move(path);
    f.size = size;
    f.mtime = mtime;
    f.mtimeNsec = 7;
    f.dev = 3;
    f.ino = 4;
    return f;
}

std::string Numbered(std::size_t i) { return "/data/folder " + std::to_string(i % 97) + "/file " + std::to_string(i) + ".tmp"; }

} // namespace

TEST(FoundStore, KeepsEachPathOnceInTheOrderFound) {
    CFoundStore store;
    EXPECT_TRUE(store.Empty());
    EXPECT_TRUE(store.Add(File("/b", 5), 2));
    EXPECT_TRUE(store.Add(File("/a", 7), 1));
    EXPECT_FALSE(store.Add(File("/b", 9), 3)); // reached again: the first stays
    EXPECT_TRUE(store.Add(File("/b/", 1)));    // another path, not the same
    ASSERT_EQ(store.Count(), 3u);
    EXPECT_EQ(store.Path(0), "/b");
    EXPECT_EQ(store.Path(1), "/a");
    EXPECT_EQ(store.Path(2), "/b/");
    EXPECT_EQ(store.Size(0), 5u);
    EXPECT_EQ(store.Profile(0), 2);
    EXPECT_EQ(store.Profile(1), 1);
    EXPECT_EQ(store.TotalBytes(), 13u);
    EXPECT_EQ(store.Find("/a"), 1);
    EXPECT_EQ(store.Find("/c"), -1);
}

TEST(FoundStore, HoldsWhatTheScanSawAndAFileWithoutASize) {
    CFoundStore store;
    store.Add(File("/seen", 42, 1700000000));
    FoundFile vanished = File("/vanished");
    vanished.size.reset();
    store.Add(vanished);
    EXPECT_EQ(store.Seen(0), (FileSeen{3, 4, 42, 1700000000, 7}));
    EXPECT_EQ(store.Time(0), 1700000000);
    EXPECT_TRUE(store.HasSize(0));
    EXPECT_FALSE(store.HasSize(1));
    EXPECT_EQ(store.Size(1), 0u);
    EXPECT_EQ(store.TotalBytes(), 42u);
}

TEST(FoundStore, PathsStayPutAsTheStoreGrowsPastItsBlocks) {
    CFoundStore store;
    // Past several record blocks, path blocks and look-up tables; a path longer than a block
    // and an empty one on the way.
    const std::string longPath = "/" + std::string(3 << 20, 'x');
    const std::string_view first = (store.Add(File(Numbered(0))), store.Path(0));
    constexpr std::size_t kFiles = 70000;
    for (std::size_t i = 1; i < kFiles; ++i) {
        ASSERT_TRUE(store.Add(File(Numbered(i), i)));
        if (i == 33333) {
            ASSERT_TRUE(store.Add(File(longPath)));
        }
    }
    ASSERT_EQ(store.Count(), kFiles + 1);
    EXPECT_EQ(first.data(), store.Path(0).data()); // never moved
    EXPECT_EQ(store.Path(33334), longPath);
    for (std::size_t i = 0; i < kFiles; i += 997) {
        const std::size_t at = i <= 33333 ? i : i + 1;
        EXPECT_EQ(store.Path(at), Numbered(i));
        EXPECT_EQ(store.Find(Numbered(i)), static_cast<std::ptrdiff_t>(at));
        EXPECT_FALSE(store.Add(File(Numbered(i))));
    }
    EXPECT_EQ(store.Count(), kFiles + 1);
}

TEST(FoundStore, ClearingAndMovingLeaveNothingBehind) {
    CFoundStore store;
    store.Add(File("/x", 3));
    CFoundStore moved = std::move(store);
    EXPECT_EQ(moved.Path(0), "/x");
    moved.Clear();
    EXPECT_TRUE(moved.Empty());
    EXPECT_EQ(moved.TotalBytes(), 0u);
    EXPECT_EQ(moved.Find("/x"), -1);
    EXPECT_TRUE(moved.Add(File("/x")));
}
