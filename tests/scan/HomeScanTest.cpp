// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Profiles whose scan folders start at "~", loaded and scanned as the program does: a home
// that is no folder of its own is never walked, and the log says why.
#include "ScanTree.h"
#include "profiles/CProfileList.h"
#include "profiles/SettingsFile.h"
#include "scan/ScanPlan.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

namespace {

// settings.dat with one profile that scans the given folders for "*.old".
void WriteSettings(const ScopedTestHome& env, const Lines& folders) {
    std::string text = std::string(kSettingsMagic) + "\n1\nBackup Copies\n1068\n" +
                       std::to_string(folders.size()) + "\n";
    for (const std::string& f : folders)
        text += f + "\n";
    text += "1\n*.old\n0\n0\n0\n0\n1\n1\n1980\n";
    WriteTextFile(env.program() / kSettingsFileName, text);
}

const Lines& FoldersOf(const CProfileList& store) { return store.begin()->m_lstScanFolders; }

// A scan as the unattended run makes it: reports go to the log.
struct HomeScan {
    CStopEvent stop;
    RecordingSink sink;
    Lines log;
    ScanRequest request;
    HomeScan() {
        request.isSelected = [](const CProfile&) { return true; };
        request.log = [this](const std::string& s) { log.push_back(s); };
    }
    // A stop as soon as a walk enters a folder: a home that is "/" is not walked for long.
    void RunWithoutWalking(const CProfileList& store) {
        const Lines searched = FoldersOf(store);
        sink.onFolder = [this, searched](const std::string& folder) {
            if (std::find(searched.begin(), searched.end(), folder) == searched.end())
                stop.Set();
        };
        Run(store);
    }
    void Run(const CProfileList& store) { RunScanPlan(store, request, stop, sink); }
};

const std::string kRootIsNoHome = "the home folder \"/\" is not a folder of its own.";

} // namespace

TEST(HomeScan, AHomeThatIsTheRootIsNeitherExpandedNorScannedAndTheLogSaysWhy) {
    ScopedTestHome env;
    WriteSettings(env, {"~", "~/.cache"});
    const ScopedEnv rootHome("HOME", "/");
    CProfileList store;
    store.LoadAndMerge(false);
    // Checked before any walk: the folders planned are not the root.
    ASSERT_EQ(FoldersOf(store), (Lines{"~", "~/.cache"}));

    HomeScan scan;
    scan.RunWithoutWalking(store);
    EXPECT_FALSE(scan.stop.IsSet()) << "walked " << scan.sink.folders.back();
    EXPECT_TRUE(scan.sink.files.empty());
    EXPECT_EQ(scan.log, (Lines{"Scanning for Backup Copies", "~/ was not scanned: " + kRootIsNoHome,
                               "~/.cache was not scanned: " + kRootIsNoHome}));

    // The preview's way: the reports go where it sends them, the log keeps its own lines.
    HomeScan preview;
    Lines reports;
    preview.request.report = [&reports](const std::string& s) { reports.push_back(s); };
    preview.RunWithoutWalking(store);
    EXPECT_EQ(preview.log, Lines{"Scanning for Backup Copies"});
    EXPECT_EQ(reports, (Lines{"~/ was not scanned: " + kRootIsNoHome,
                              "~/.cache was not scanned: " + kRootIsNoHome}));
}

TEST(HomeScan, AKeptTildeIsNeverLookedForInTheCurrentFolder) {
    ScanTree t;
    t.file("work/~/a.old");
    t.file("work/~/.cache/b.old");
    t.file("home/c.old");
    CProfileList store;
    auto p = std::make_unique<CProfile>();
    p->m_strName = "Backup Copies";
    p->m_nScanScope = SCOPE_LISTED_FOLDERS;
    p->m_lstScanFolders = {"~", "~/.cache"};
    p->m_lstPatterns = {"*.old"};
    store.AddTail(std::move(p));

    const fs::path before = fs::current_path();
    fs::current_path(t.at("work"));
    HomeScan relativeHome;
    {
        const ScopedEnv home("HOME", "home");
        relativeHome.RunWithoutWalking(store);
    }
    HomeScan noHome;
    {
        const ScopedEnv home("HOME", "");
        noHome.RunWithoutWalking(store);
    }
    // Once there is a home, the kept "~" stands for it.
    HomeScan goodHome;
    {
        const ScopedEnv home("HOME", t.at("home"));
        goodHome.Run(store);
    }
    fs::current_path(before);

    EXPECT_TRUE(relativeHome.sink.files.empty());
    EXPECT_EQ(relativeHome.log,
              (Lines{"Scanning for Backup Copies",
                     "~/ was not scanned: the home folder \"home\" is not a full path.",
                     "~/.cache was not scanned: the home folder \"home\" is not a full path."}));
    EXPECT_TRUE(noHome.sink.files.empty());
    EXPECT_EQ(noHome.log, (Lines{"Scanning for Backup Copies",
                                 "~/ was not scanned: HOME is set but empty.",
                                 "~/.cache was not scanned: HOME is set but empty."}));
    EXPECT_EQ(goodHome.sink.Relative(t.root()), Lines{"home/c.old"});
    // The second search's folder is missing under the home, and told as any missing folder.
    ASSERT_EQ(goodHome.log.size(), 2u);
    EXPECT_TRUE(goodHome.log[1].starts_with("~/.cache was not scanned: " + t.at("home/.cache")))
        << goodHome.log[1];
}

TEST(HomeScan, AHomeTreeGivenThroughHomeIsScannedAsBefore) {
    ScopedTestHome env;
    ScanTree t;
    t.file("home/a.old");
    t.file("home/sub/b.old");
    t.file("home/sub/keep.txt");
    t.file("outside/c.old");
    WriteSettings(env, {"~", "~/sub"});
    const ScopedEnv home("HOME", t.at("home") + "/");
    CProfileList store;
    store.LoadAndMerge(false);
    ASSERT_EQ(FoldersOf(store), (Lines{t.at("home"), t.at("home/sub")}));

    HomeScan scan;
    scan.Run(store);
    // Each search hands over what it finds; the nested one shares the walk of the home.
    EXPECT_EQ(scan.sink.Relative(t.root()), (Lines{"home/a.old", "home/sub/b.old",
                                                   "home/sub/b.old"}));
    EXPECT_EQ(scan.log, Lines{"Scanning for Backup Copies"});
}
