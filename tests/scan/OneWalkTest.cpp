// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// One walk for every search of a folder tree: what the sink, the log and the reports get is
// exactly what the searches give when each walks alone, in turn.
#include "ScanTree.h"
#include "profiles/CProfileList.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanPlan.h"

#include <gtest/gtest.h>

#include <map>

using Paths = std::vector<std::string>;

namespace {

// Everything a scan shows, in the order shown: log lines, reports and files taken.
class TraceSink : public CScanSink {
public:
    Paths trace;
    std::vector<std::string> folders; // as the walk reads them, and as the searches give them
    CStopEvent* stop = nullptr;
    size_t stopAtFile = 0; // the stop is set when this many files were taken; never when 0
    size_t files = 0;
    void OnFolder(const std::string& f) override { folders.push_back(f); }
    void OnFileTaken(const FoundFile& f) override {
        trace.push_back("file " + f.path + " " + (f.size ? std::to_string(*f.size) : "?") + " " +
                        std::to_string(f.mtime) + " " + std::to_string(f.ino));
        if (++files == stopAtFile && stop)
            stop->Set();
    }
};

CProfile* Add(CProfileList& store, const std::string& name, int scope, Paths folders,
              Paths patterns, Paths folderNames = {}) {
    auto p = std::make_unique<CProfile>();
    p->m_strName = name;
    p->m_nScanScope = scope;
    p->m_lstScanFolders = std::move(folders);
    p->m_lstPatterns = std::move(patterns);
    p->m_lstFolders = std::move(folderNames);
    return store.AddTail(std::move(p));
}

// A tree where the profiles overlap: listed folders inside each other and inside the drives,
// folders that some profiles take whole and others walk, a folder listed twice, and one that
// is not there.
struct Overlap {
    ScanTree t;
    CProfileList store;
    std::vector<ScanDrive> drives;
    Overlap() {
        const char* names[] = {"a.tmp", "B.TMP", "c.bak", "~d.txt", "e.log", "f.txt", "g.tmp"};
        const char* dirs[] = {"home", "home/u", "home/u/Downloads", "home/u/Downloads/TEMP",
                              "home/u/Downloads/TEMP/inner", "home/u/cache", "home/u/cache/x",
                              "home/v", "home/v/TEMP", "var", "var/cache", "var/tmp/deep/er"};
        int n = 0;
        for (const char* d : dirs)
            for (const char* f : names) {
                ++n;
                t.file(std::string(d) + "/" + f, static_cast<std::uint64_t>(1 + n % 9),
                       100000 + n * 1000);
            }
        t.link(t.at("var"), "home/u/to-var"); // never followed
        t.file("top.tmp", 3);
        const std::string home = t.at("home"), u = t.at("home/u");
        const std::string dl = t.at("home/u/Downloads");
        Add(store, "Temp", SCOPE_LISTED_FOLDERS, {home, dl, t.at("missing"), dl + "/"},
            {"*.tmp", "~*.*"}, {"TEMP"});
        CProfile* b = Add(store, "Backups", SCOPE_LISTED_FOLDERS, {u}, {"*.bak", "*.tmp"},
                          {"cache"});
        b->m_bUseLimits = true;
        b->m_dwMinSize = 5; // small ones only, whatever their date
        b->m_dwMaxSize = 0xffffffff;
        b->m_timeOlderThan = 0;
        Add(store, "Logs", SCOPE_ALL_FOLDERS, {}, {"*.log", "*.tmp"}, {"TEMP", "cache"});
        Add(store, "Not chosen", SCOPE_ALL_FOLDERS, {u}, {"*.*"});
        Add(store, "Downloads", SCOPE_ALL_FOLDERS, {dl}, {"*.txt"}, {"inner"});
        drives = {{'C', t.root().string()}, {'D', u}, {'E', t.at("var")}};
    }

    // The trace of a scan: one walk with folders read ahead, or each search alone.
    Paths Scan(bool oneWalk, size_t stopAtFile, bool stopEndsPlan,
               std::vector<std::string>* folders = nullptr) {
        CStopEvent stop;
        TraceSink sink;
        sink.stop = &stop;
        sink.stopAtFile = stopAtFile;
        ScanRequest r;
        r.isSelected = [](const CProfile& p) { return p.m_strName != "Not chosen"; };
        r.drivePass = true;
        r.drives = drives;
        r.stopEndsPlan = stopEndsPlan;
        r.log = [&](const std::string& s) { sink.trace.push_back("log " + s); };
        r.report = [&](const std::string& s) { sink.trace.push_back("report " + s); };
        r.how.oneWalk = oneWalk;
        r.how.readAheadThreads = oneWalk ? 3 : 0;
        r.how.readAheadAlways = true;
        const bool completed = RunScanPlan(store, r, stop, sink);
        sink.trace.push_back(completed ? "completed" : "given up");
        if (folders)
            *folders = sink.folders;
        return sink.trace;
    }
};

} // namespace

TEST(OneWalk, GivesWhatEachSearchAloneGivesInTurnAlsoWhenStoppedAnywhere) {
    Overlap o;
    const Paths whole = o.Scan(false, 0, false);
    size_t files = 0;
    for (const std::string& line : whole)
        files += line.starts_with("file ") ? 1 : 0;
    ASSERT_GT(files, 100u); // every profile finds something, most files several times
    EXPECT_EQ(o.Scan(true, 0, false), whole);
    EXPECT_EQ(o.Scan(true, 0, true), o.Scan(false, 0, true));
    // A stop at every file taken, by either caller: the interactive scan writes the remaining
    // log lines, the unattended one gives up at the next folder.
    for (size_t at = 1; at <= files; ++at) {
        EXPECT_EQ(o.Scan(true, at, false), o.Scan(false, at, false)) << "stopped at file " << at;
        EXPECT_EQ(o.Scan(true, at, true), o.Scan(false, at, true)) << "stopped at file " << at;
    }
}

TEST(OneWalk, FindsWhatTheProfilesDescribeReportsOnceInTurnAndWalksEachFolderOnce) {
    Overlap o;
    std::vector<std::string> together, alone;
    const Paths trace = o.Scan(true, 0, false, &together);
    o.Scan(false, 0, false, &alone);
    // The missing folder is told in the place of its search: after Temp's first two folders.
    const auto at = [&](const std::string& line) {
        return std::find(trace.begin(), trace.end(), line) - trace.begin();
    };
    const std::string missing = "report " + o.t.at("missing") + " was not scanned: " +
                                o.t.at("missing") + ": No such file or directory.";
    ASSERT_LT(at(missing), static_cast<long>(trace.size()));
    EXPECT_LT(at("log Scanning for Temp"), at(missing));
    EXPECT_LT(at(missing), at("log Scanning for Backups"));
    // The link is neither followed nor taken; Backups' limit keeps its larger files out.
    for (const std::string& line : trace)
        EXPECT_EQ(line.find("to-var"), std::string::npos) << line;
    // Folders read by the walk end in "/": each is read once, however many searches and
    // listed folders hold it; alone, the searches read them again and again. Each search also
    // shows its folder as given once, here only Temp's second listing of Downloads with a "/".
    std::map<std::string, int> readTogether, readAlone;
    for (const std::string& f : together)
        if (f.ends_with("/"))
            ++readTogether[f];
    for (const std::string& f : alone)
        if (f.ends_with("/"))
            ++readAlone[f];
    --readTogether[o.t.at("home/u/Downloads") + "/"];
    --readAlone[o.t.at("home/u/Downloads") + "/"];
    for (const auto& [folder, times] : readTogether)
        EXPECT_EQ(times, 1) << folder;
    EXPECT_EQ(readTogether.size(), readAlone.size());
    EXPECT_GT(readAlone[o.t.at("home/u/Downloads") + "/"], 4);
}

TEST(OneWalk, AStoppedScanHandsOverNothingOfTheSearchesAfterIt) {
    Overlap o;
    // Stopped at Temp's first file: nothing of the searches that shared its walk follows.
    const Paths trace = o.Scan(true, 1, false);
    size_t files = 0;
    for (const std::string& line : trace)
        files += line.starts_with("file ") ? 1 : 0;
    EXPECT_EQ(files, 1u);
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "log Scanning for Logs"), 2);
    EXPECT_EQ(trace.back(), "completed");
    EXPECT_EQ(o.Scan(true, 1, true).back(), "given up");
}

TEST(OneWalk, AListedFolderThatAnotherProfileTakesWholeIsWalkedForItsOwn) {
    ScanTree t;
    t.file("outer/a.tmp");
    t.file("outer/inner/b.tmp");
    CProfileList store;
    Add(store, "Inner", SCOPE_LISTED_FOLDERS, {t.at("outer/inner")}, {"*.tmp"});
    Add(store, "Outer", SCOPE_LISTED_FOLDERS, {t.at("outer")}, {"*.tmp"}, {"inner"});
    ScanRequest r;
    r.isSelected = [](const CProfile&) { return true; };
    CStopEvent stop;
    CFoundFileList found;
    ASSERT_TRUE(RunScanPlan(store, r, stop, found));
    // Outer takes inner whole: the walk does not walk it for Outer, but does for Inner.
    EXPECT_EQ(found.Paths(), (Paths{t.at("outer/inner/b.tmp"), t.at("outer/a.tmp")}));
}

TEST(OneWalk, TheFirstSearchsFilesArriveAsTheWalkFindsThemTheOthersAfterIt) {
    ScanTree t;
    for (const char* d : {"a", "b", "c"})
        t.file(std::string(d) + "/x.tmp");
    CProfileList store;
    Add(store, "First", SCOPE_LISTED_FOLDERS, {t.root().string()}, {"*.tmp"});
    Add(store, "Second", SCOPE_LISTED_FOLDERS, {t.root().string()}, {"x.*"});
    struct : CScanSink {
        Paths events;
        void OnFolder(const std::string& f) override { events.push_back("folder " + f); }
        void OnFileTaken(const FoundFile& f) override { events.push_back("file " + f.path); }
    } sink;
    ScanRequest r;
    r.isSelected = [](const CProfile&) { return true; };
    CStopEvent stop;
    ASSERT_TRUE(RunScanPlan(store, r, stop, sink));
    const std::string root = t.root().string();
    // The walk reads each folder once; First's file of a folder comes right after it is read,
    // Second's files after the whole walk, when its turn comes, in the same order.
    ASSERT_EQ(sink.events.size(), 11u);
    EXPECT_EQ(sink.events[0], "folder " + root);
    Paths first;
    for (size_t i = 1; i < 7; i += 2) {
        ASSERT_TRUE(sink.events[i].starts_with("folder " + root + "/")) << sink.events[i];
        const std::string folder = sink.events[i].substr(7);
        EXPECT_EQ(sink.events[i + 1], "file " + folder + "x.tmp");
        first.push_back(sink.events[i + 1]);
    }
    EXPECT_EQ(sink.events[7], "folder " + root);
    EXPECT_EQ(Paths(sink.events.begin() + 8, sink.events.end()), first);
}
