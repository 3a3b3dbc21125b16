// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Folders read ahead of the walk: read in the walk's order, each once, handed over open, within
// the bounds.
#include "ScanTree.h"
#include "scan/ReadAhead.h"
#include "scan/SearchRun.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <set>

#include <sched.h>
#include <unistd.h>

namespace {

struct NoProgress : CWalkProgress {
    void Pump() override {}
};

// What a read-ahead over a tree needs besides its window: the tree's root open, the searches of
// one profile (which must outlive it), and a fresh scan context and stop event.
struct ReadAheadSetup {
    WalkTargets targets;
    UniqueFd root;
    const CScanContext context = CScanContext::AtScanStart();
    CStopEvent stop;
    NoProgress progress;

    ReadAheadSetup(const ScanTree& t, const CProfile& p)
        : root(::open(t.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        targets.Add(p);
    }
};

size_t OpenDescriptors() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// A tree with more folders than the read-ahead's window, each with a file to take and one not.
struct WideTree {
    ScanTree t;
    size_t folders = 1; // the root
    CProfile profile;
    WideTree() {
        for (int a = 0; a < 24; ++a) {
            const std::string top = "d" + std::to_string(a);
            t.file(top + "/g.tmp");
            ++folders;
            for (int b = 0; b < 16; ++b) {
                const std::string sub = top + "/e" + std::to_string(b);
                t.file(sub + "/f.tmp", 1 + a * 16 + b);
                t.file(sub + "/keep.txt");
                ++folders;
            }
        }
        profile.m_lstPatterns = {"*.tmp"};
    }
    std::vector<std::string> Scan(unsigned threads, WalkStats* stats) {
        SearchRunOptions how;
        how.readAheadThreads = threads;
        how.readAheadAlways = true;
        how.stats = stats;
        CStopEvent stop;
        RecordingSink sink;
        const CScanContext context = CScanContext::AtScanStart();
        CSearchRun({{&profile, t.root().string()}}, stop, sink, context, how).Run(0);
        std::vector<std::string> r;
        for (const FoundFile& f : sink.files)
            r.push_back(f.path + " " + std::to_string(f.size.value_or(0)) + " " +
                        std::to_string(f.ino));
        return r;
    }
};

} // namespace

TEST(ReadAhead, ReadsQueuedFoldersInTheWalksOrderAndDropsWhatTheWalkWentPast) {
    ScanTree t;
    t.file("one/x.tmp", 4);
    t.file("one/keep.txt");
    t.dir("one/sub");
    t.file("two/TEMP/y.txt", 6);
    t.file("three/z.tmp");
    CProfile p;
    p.m_lstPatterns = {"*.tmp"};
    p.m_lstFolders = {"TEMP"};
    ReadAheadSetup r(t, p);
    CReadAhead ra(r.root.get(), t.root().string() + "/", r.targets, r.context, r.stop, 2);
    const std::string subfolders = std::string("one") + '\0' + "two" + '\0' + "three" + '\0';
    ra.QueueChildren({}, "", subfolders, 0, {0});
    ra.WaitUntilRead();

    auto one = ra.Take({0}, r.progress);
    ASSERT_TRUE(one && one->usable);
    ASSERT_EQ(one->files.size(), 1u);
    EXPECT_STREQ(one->NameOf(one->files[0]), "x.tmp");
    EXPECT_EQ(one->files[0].size, 4u);
    EXPECT_TRUE(one->files[0].seen && one->files[0].regular);
    EXPECT_EQ(one->subfolders, std::string("sub") + '\0');
    struct stat st {};
    ASSERT_EQ(::stat(t.at("one").c_str(), &st), 0);
    EXPECT_EQ(one->id, (FolderId{st.st_dev, st.st_ino}));
    // A subfolder the profile names is read for all its files, and only those.
    auto temp = ra.Take({1, 0}, r.progress);
    ASSERT_TRUE(temp && temp->usable);
    EXPECT_TRUE(temp->all);
    EXPECT_FALSE(temp->subs);
    ASSERT_EQ(temp->files.size(), 1u);
    EXPECT_EQ(temp->files[0].size, 6u);
    // The walk is past "one/sub" and "two": they are gone.
    EXPECT_EQ(ra.Take({0, 0}, r.progress), nullptr);
    EXPECT_EQ(ra.Take({1}, r.progress), nullptr);
    auto three = ra.Take({2}, r.progress);
    ASSERT_TRUE(three && three->usable);
    EXPECT_EQ(three->files.size(), 1u);
    EXPECT_EQ(ra.Take({3}, r.progress), nullptr); // never queued
}

TEST(ReadAhead, AFolderThatIsALinkNowIsNotReadAhead) {
    ScanTree t;
    t.file("elsewhere/a.tmp");
    t.link(t.at("elsewhere"), "linked");
    CProfile p;
    p.m_lstPatterns = {"*.tmp"};
    ReadAheadSetup r(t, p);
    CReadAhead ra(r.root.get(), t.root().string() + "/", r.targets, r.context, r.stop, 1);
    ra.QueueChildren({}, "", std::string("linked") + '\0', 0, {0});
    ra.WaitUntilRead();
    auto data = ra.Take({0}, r.progress);
    ASSERT_TRUE(data);
    EXPECT_FALSE(data->usable);
    EXPECT_TRUE(data->files.empty());
}

TEST(ReadAhead, AWalkWiderThanTheWindowGivesWhatTheWalkAloneGivesReadingNoFolderTwice) {
    WideTree w;
    const std::vector<std::string> alone = w.Scan(0, nullptr);
    ASSERT_EQ(alone.size(), 24u * 17u);
    for (int round = 0; round < 3; ++round) {
        WalkStats stats;
        EXPECT_EQ(w.Scan(3, &stats), alone) << "round " << round;
        // Every folder read, and read again only when its read-ahead made room for a nearer one.
        EXPECT_GE(stats.walkReads + stats.workerReads, w.folders);
        EXPECT_LE(stats.walkReads + stats.workerReads, w.folders + stats.evicted);
        EXPECT_LE(stats.handedOver, stats.workerReads);
        EXPECT_LE(stats.mostHeld, CReadAhead::kHeldDescriptors);
    }
}

TEST(ReadAhead, KeepsWhatItReadOpenForTheWalkWithinAQuarterOfTheOpenFileLimit) {
    ScanTree t;
    std::string subfolders;
    for (int i = 0; i < 300; ++i) {
        t.file("s" + std::to_string(i) + "/x.tmp", 2);
        subfolders += "s" + std::to_string(i) + '\0';
    }
    CProfile p;
    p.m_lstPatterns = {"*.tmp"};
    ReadAheadSetup r(t, p);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = 128;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const size_t before = OpenDescriptors();
    {
        CReadAhead ra(r.root.get(), t.root().string() + "/", r.targets, r.context, r.stop, 3);
        ra.QueueChildren({}, "", subfolders, 0, {0});
        ra.WaitUntilRead();
        // The window is full: the kept descriptors are open, and at most one per worker that
        // is about to close the folder it read.
        EXPECT_LE(OpenDescriptors(), before + 32 + 3);
        size_t open = 0;
        for (std::uint32_t i = 0; i < 300; ++i) {
            if (i == CReadAhead::kWindow)
                ra.WaitUntilRead(); // the rest, read once there was room
            auto data = ra.Take({i}, r.progress);
            ASSERT_TRUE(data && data->usable) << i;
            ASSERT_EQ(data->files.size(), 1u);
            EXPECT_EQ(data->files[0].size, 2u);
            struct stat st {};
            ASSERT_EQ(::stat(t.at("s" + std::to_string(i)).c_str(), &st), 0);
            EXPECT_EQ(data->id, (FolderId{st.st_dev, st.st_ino}));
            if (data->fd) {
                ++open;
                // The descriptor handed over is the folder read.
                EXPECT_EQ(IdOf(data->fd.get()), data->id);
            }
        }
        EXPECT_GT(open, 0u);
        WalkStats stats;
        ra.AddStats(stats);
        EXPECT_LE(stats.mostHeld, 32u);
        EXPECT_EQ(stats.workerReads, 300u);
        EXPECT_EQ(stats.evicted, 0u);
    }
    // Nothing stays open once the read-ahead is gone.
    EXPECT_EQ(OpenDescriptors(), before);
    ::setrlimit(RLIMIT_NOFILE, &saved);
}

TEST(ReadAhead, ListsEachSubfoldersInodeAsTheListingGaveIt) {
    ScanTree t;
    t.file("one/a.tmp");
    t.dir("two");
    t.file("b.tmp");
    CProfile p;
    p.m_lstPatterns = {"*.tmp"};
    ReadAheadSetup r(t, p);
    std::vector<char> buffer(4096);
    FolderData data;
    ASSERT_TRUE(ReadFolderData(r.root.get(), r.targets, false, true, r.stop, buffer, data, nullptr));
    ASSERT_EQ(data.files.size(), 1u);
    std::vector<std::string> names;
    for (size_t pos = 0; pos < data.subfolders.size(); pos += names.back().size() + 1)
        names.emplace_back(data.subfolders.data() + pos);
    ASSERT_EQ(names.size(), 2u);
    ASSERT_EQ(data.subInos.size(), 2u);
    for (size_t i = 0; i < names.size(); ++i) {
        struct stat st {};
        ASSERT_EQ(::stat(t.at(names[i]).c_str(), &st), 0);
        EXPECT_EQ(data.subInos[i], st.st_ino) << names[i];
    }
    // Read again without the subfolders: none are noted.
    ASSERT_EQ(::lseek(r.root.get(), 0, SEEK_SET), 0);
    ASSERT_TRUE(ReadFolderData(r.root.get(), r.targets, false, false, r.stop, buffer, data, nullptr));
    EXPECT_TRUE(data.subfolders.empty());
    EXPECT_TRUE(data.subInos.empty());
}

namespace {

// The scheduling policies of this process's other threads, as the kernel has them now.
std::set<int> OtherThreadsPolicies() {
    std::set<int> policies;
    const std::string self = std::to_string(::gettid());
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/task")) {
        if (e.path().filename() == self)
            continue;
        const int policy = ::sched_getscheduler(std::stoi(e.path().filename().string()));
        if (policy >= 0)
            policies.insert(policy);
    }
    return policies;
}

// A sink that looks at the readers' priority from the walk's thread, as a window would run.
class WindowSink : public RecordingSink {
public:
    explicit WindowSink(bool window) : m_window(window) {}
    bool PumpsAWindow() const override { return m_window; }
    void Pump() override {
        for (int policy : OtherThreadsPolicies())
            seen.insert(policy);
    }
    std::set<int> seen;

private:
    bool m_window;
};

} // namespace

TEST(ReadAhead, ReadersGiveWayToAWalkThatKeepsAWindowAnswering) {
    WideTree w;
    for (const bool window : {false, true}) {
        SearchRunOptions how;
        how.readAheadThreads = 3;
        how.readAheadAlways = true;
        CStopEvent stop;
        WindowSink sink(window);
        const CScanContext context = CScanContext::AtScanStart();
        CSearchRun({{&w.profile, w.t.root().string()}}, stop, sink, context, how).Run(0);
        EXPECT_EQ(sink.files.size(), 24u * 17u);
        // The walk's own thread keeps its priority either way; the readers run at idle
        // priority only for a window's walk.
        EXPECT_EQ(::sched_getscheduler(0), SCHED_OTHER);
        // (A reader may be seen in the moment after it started, before it set its own.)
        ASSERT_FALSE(sink.seen.empty()) << "no reader was seen";
        EXPECT_EQ(sink.seen.count(SCHED_IDLE) > 0, window);
        if (!window) {
            EXPECT_EQ(sink.seen, std::set<int>{SCHED_OTHER});
        }
    }
}

TEST(ReadAhead, AFolderReadAheadIsHandedOverPumpingForEveryFile) {
    // A window's events are processed from the pumps: a folder of thousands of files read
    // ahead must not be handed over in one stretch without them.
    ScanTree t;
    for (int d = 0; d < 10; ++d)
        for (int i = 0; i < 600; ++i)
            t.file("sub" + std::to_string(d) + "/f" + std::to_string(i) + ".tmp");
    CProfile profile;
    profile.m_lstPatterns = {"*.tmp"};
    SearchRunOptions how;
    how.readAheadThreads = 2;
    how.readAheadAlways = true;
    WalkStats stats;
    how.stats = &stats;
    CStopEvent stop;
    struct : RecordingSink {
        bool PumpsAWindow() const override { return true; }
    } sink;
    size_t pumps = 0;
    sink.onPump = [&pumps] { ++pumps; };
    const CScanContext context = CScanContext::AtScanStart();
    CSearchRun({{&profile, t.root().string()}}, stop, sink, context, how).Run(0);
    EXPECT_EQ(sink.files.size(), 6000u);
    EXPECT_GE(stats.handedOver, 1u) << "no folder was read ahead";
    EXPECT_GE(pumps, 6000u);
}
