// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The one builder of a scheduled scan, shared by the unattended run and the preview.
#include "schedule/ScheduledRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

struct MemoryLetters : IDriveLetterStore {
    std::map<std::string, char> letters;
    int saves = 0;
    std::map<std::string, char> Load() override { return letters; }
    void Save(const std::map<std::string, char>& l) override {
        letters = l;
        ++saves;
    }
};

void AddProfile(CProfileList& store, const std::string& name) {
    auto p = std::make_unique<CProfile>();
    p->m_strName = name;
    store.AddTail(std::move(p));
}

const CProfile& Named(const CProfileList& store, const std::string& name) {
    for (const CProfile& p : store)
        if (p.m_strName == name)
            return p;
    throw std::runtime_error("no profile " + name);
}

} // namespace

TEST(ScheduledScan, SelectsTheNamedProfilesAndDrives) {
    TempDir tmp;
    const std::string mountInfo = (tmp.path() / "mountinfo").string();
    WriteTextFile(mountInfo, "26 1 254:0 / / rw - ext4 /dev/vda rw\n"
                             "40 26 8:2 / /srv/data rw - ext4 /dev/sdz2 rw\n");
    CProfileList store;
    for (const char* n : {"Temp", "Temp Files", "Backups", "Say \"cheese\""})
        AddProfile(store, n);
    MemoryLetters letters;
    std::string missing;

    ScheduledSwitches sw{"Temp Files Say \"cheese\" ", "cQd", "1022", ""};
    ScheduledScan scan = BuildScheduledScan(
        store, sw, letters, [&missing](char l) { missing += l; }, mountInfo);
    EXPECT_EQ(scan.profileCount, 2u);
    EXPECT_TRUE(scan.request.isSelected(Named(store, "Temp Files")));
    EXPECT_TRUE(scan.request.isSelected(Named(store, "Say \"cheese\"")));
    EXPECT_FALSE(scan.request.isSelected(Named(store, "Temp")));
    EXPECT_FALSE(scan.request.isSelected(Named(store, "Backups")));
    EXPECT_TRUE(scan.request.drivePass);
    ASSERT_EQ(scan.request.drives.size(), 2u);
    EXPECT_EQ(scan.request.drives[0].Text(), "C: /");
    EXPECT_EQ(scan.request.drives[1].Text(), "D: /srv/data");
    EXPECT_EQ(missing, "Q");
    // Log, report and stop stay the caller's.
    EXPECT_FALSE(scan.request.log);
    EXPECT_FALSE(scan.request.report);
    EXPECT_FALSE(scan.request.stopEndsPlan);

    // No /d: no whole-drive pass and the mount table is not read; no /p: nothing selected.
    ScheduledScan none = BuildScheduledScan(store, {}, letters, [&missing](char l) { missing += l; },
                                            (tmp.path() / "absent").string());
    EXPECT_EQ(none.profileCount, 0u);
    EXPECT_FALSE(none.request.drivePass);
    EXPECT_TRUE(none.request.drives.empty());
    EXPECT_FALSE(none.request.isSelected(Named(store, "Temp")));
    EXPECT_EQ(missing, "Q");
}

TEST(ScheduledScan, TheRequestOwnsItsSelection) {
    CProfileList store;
    AddProfile(store, "Junk");
    MemoryLetters letters;
    ScanRequest request;
    {
        const ScheduledSwitches sw{"Junk ", "", "1022", ""};
        request = BuildScheduledScan(store, sw, letters, nullptr).request;
    } // the switches and the builder's locals are gone, as when a worker thread runs it
    EXPECT_TRUE(request.isSelected(Named(store, "Junk")));
}

TEST(ScheduledScan, TheRunsOwnDestinationIsGivenToTheScan) {
    CProfileList store;
    MemoryLetters letters;
    ScheduledSwitches sw;
    sw.destination = "/srv/out";
    sw.method = "1024";
    ScanRequest move = BuildScheduledScan(store, sw, letters, nullptr).request;
    EXPECT_EQ(move.destination.moveFolder, "/srv/out");
    EXPECT_EQ(move.destination.archive, "");
    sw.method = "1023";
    ScanRequest zip = BuildScheduledScan(store, sw, letters, nullptr).request;
    EXPECT_EQ(zip.destination.moveFolder, "");
    EXPECT_EQ(zip.destination.archive, "/srv/out");
    sw.method = "1022"; // a destination given to a method that has none is nothing of the run's
    ScanRequest del = BuildScheduledScan(store, sw, letters, nullptr).request;
    EXPECT_EQ(del.destination.moveFolder + del.destination.archive, "");
}
