// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// A scan made for a run never takes what that run's own disposal put in place: the files lying
// in its Move destination folder and its Zip archive, even inside the folders it scans.
#include "ScanTree.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanPlan.h"

#include <gtest/gtest.h>

using Paths = std::vector<std::string>;

namespace {

struct DestinationFixture {
    ScanTree t;
    CProfileList store;
    ScanRequest request;
    DestinationFixture() {
        t.file("home/a.tmp");
        t.file("home/moved/b.tmp");
        t.file("home/moved/deeper/c.tmp");
        t.file("home/old.tmp.zip");
        auto p = std::make_unique<CProfile>();
        p->m_strName = "Temp";
        p->m_nScanScope = SCOPE_LISTED_FOLDERS;
        p->m_lstScanFolders = {t.at("home")};
        p->m_lstPatterns = {"*.tmp", "*.zip"};
        store.AddTail(std::move(p));
        request.isSelected = [](const CProfile&) { return true; };
    }
    Paths Found() {
        CStopEvent stop;
        CFoundFileList found;
        RunScanPlan(store, request, stop, found);
        Paths rel;
        for (const std::string& p : found.Paths())
            rel.push_back(std::filesystem::path(p).lexically_relative(t.root()).string());
        std::sort(rel.begin(), rel.end());
        return rel;
    }
};

} // namespace

TEST(RunDestination, WithoutOneEverythingMatchingIsTaken) {
    DestinationFixture f;
    EXPECT_EQ(f.Found(), (Paths{"home/a.tmp", "home/moved/b.tmp", "home/moved/deeper/c.tmp",
                                "home/old.tmp.zip"}));
}

TEST(RunDestination, FilesInTheMoveFolderItselfAreNotTaken) {
    DestinationFixture f;
    // Named through a link and with a trailing slash: the folder is known by its real path.
    f.t.link(f.t.at("home/moved"), "to-moved");
    f.request.destination.moveFolder = f.t.at("to-moved") + "/";
    EXPECT_EQ(f.Found(), (Paths{"home/a.tmp", "home/moved/deeper/c.tmp", "home/old.tmp.zip"}));
}

TEST(RunDestination, TheArchiveIsNotTakenHoweverItIsNamed) {
    DestinationFixture f;
    f.request.destination.archive = f.t.at("home/../home/old.tmp.zip");
    EXPECT_EQ(f.Found(), (Paths{"home/a.tmp", "home/moved/b.tmp", "home/moved/deeper/c.tmp"}));
    // An archive not there yet takes nothing else with it.
    f.request.destination.archive = f.t.at("home/new.zip");
    EXPECT_EQ(f.Found().size(), 4u);
}
