// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The two passes of a scan, their log lines, and the unattended sink.
#include "ScanTree.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanPlan.h"

#include <gtest/gtest.h>

using Paths = std::vector<std::string>;

namespace {

CProfile* Add(CProfileList& store, const std::string& name, int scope, Paths folders,
              Paths patterns) {
    auto p = std::make_unique<CProfile>();
    p->m_strName = name;
    p->m_nScanScope = scope;
    p->m_lstScanFolders = std::move(folders);
    p->m_lstPatterns = std::move(patterns);
    return store.AddTail(std::move(p));
}

struct PlanFixture {
    ScanTree t;
    CProfileList store;
    Paths log;
    ScanRequest request;
    PlanFixture() {
        t.file("listed/a.tmp", 10);
        t.file("listed/a.bak", 20);
        t.file("drive1/b.tmp", 30);
        t.file("drive2/c.bak", 40);
        Add(store, "Temp", SCOPE_LISTED_FOLDERS, {t.at("listed")}, {"*.tmp"});
        Add(store, "Skipped", SCOPE_ALL_FOLDERS, {t.at("listed")}, {"*.*"});
        Add(store, "Backups", SCOPE_ALL_FOLDERS, {t.at("listed")}, {"*.bak", "*.tmp"});
        request.isSelected = [](const CProfile& p) { return p.m_strName != "Skipped"; };
        request.drivePass = true;
        request.drives = {{'D', t.at("drive1")}, {'E', t.at("drive2")}};
        request.log = [this](const std::string& s) { log.push_back(s); };
    }
};

} // namespace

TEST(ScanPlan, ListedFoldersFirstThenDrivesProfileOutsideDriveInside) {
    PlanFixture f;
    CStopEvent stop;
    CFoundFileList found;
    EXPECT_TRUE(RunScanPlan(f.store, f.request, stop, found));
    EXPECT_EQ(f.log, (Paths{"Scanning for Temp", "Scanning for Backups", "Scanning for Backups",
                            "D: " + f.t.at("drive1"), "E: " + f.t.at("drive2")}));
    // a.tmp is reached by two profiles but listed and counted once.
    EXPECT_EQ(found.Paths(), (Paths{f.t.at("listed/a.tmp"), f.t.at("listed/a.bak"),
                                    f.t.at("drive1/b.tmp"), f.t.at("drive2/c.bak")}));
    EXPECT_EQ(found.TotalBytes(), 100u);
    EXPECT_EQ(found.Sizes(), (std::vector<std::uint64_t>{10, 20, 30, 40}));
}

TEST(ScanPlan, WithoutTheDrivePassOnlyListedFoldersAreSearched) {
    PlanFixture f;
    f.request.drivePass = false;
    CStopEvent stop;
    CFoundFileList found;
    RunScanPlan(f.store, f.request, stop, found);
    EXPECT_EQ(f.log, (Paths{"Scanning for Temp", "Scanning for Backups"}));
    EXPECT_EQ(found.Paths().size(), 2u);
}

TEST(ScanPlan, AStopEndsTheUnattendedPlanButTheInteractiveOneStillLogs) {
    PlanFixture f;
    CStopEvent stop;
    stop.Set();
    CFoundFileList found;
    f.request.stopEndsPlan = true;
    EXPECT_FALSE(RunScanPlan(f.store, f.request, stop, found));
    EXPECT_EQ(f.log, Paths{"Scanning for Temp"});
    EXPECT_TRUE(found.Paths().empty());

    f.log.clear();
    f.request.stopEndsPlan = false;
    EXPECT_TRUE(RunScanPlan(f.store, f.request, stop, found));
    EXPECT_EQ(f.log.size(), 5u); // every line is still written
    EXPECT_TRUE(found.Paths().empty());
}

TEST(ScanPlan, FoldersThatCannotBeScannedAreToldToTheReportOrElseTheLog) {
    PlanFixture f;
    f.request.drivePass = false;
    f.store.begin()->m_lstScanFolders.push_back(f.t.at("gone"));
    CStopEvent stop;
    CFoundFileList found;
    RunScanPlan(f.store, f.request, stop, found);
    EXPECT_EQ(f.log, (Paths{"Scanning for Temp",
                            f.t.at("gone") + " was not scanned: " + f.t.at("gone") +
                                ": No such file or directory.",
                            "Scanning for Backups"}));

    Paths reports;
    f.log.clear();
    f.request.report = [&](const std::string& s) { reports.push_back(s); };
    RunScanPlan(f.store, f.request, stop, found);
    EXPECT_EQ(f.log, (Paths{"Scanning for Temp", "Scanning for Backups"}));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].starts_with(f.t.at("gone") + " was not scanned")) << reports[0];
}
