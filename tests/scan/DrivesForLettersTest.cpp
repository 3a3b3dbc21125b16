// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The drives of a "/d" value, named from the mount table and the stored letters alone.
#include "framework/DriveLetterStore.h"
#include "scan/DrivesForLetters.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtCore/QSettings>
#include <gtest/gtest.h>

namespace {

class DrivesForLettersTest : public ::testing::Test {
protected:
    CTestOptionsFolder m_config;

};

} // namespace

TEST_F(DrivesForLettersTest, ReadOnlyTheMountTableAndKeepLettersUnlessPreviewing) {
    TempDir tmp;
    const std::string mountInfo = (tmp.path() / "mountinfo").string();
    // The share and the disk do not exist on this machine: asking them anything would fail
    // or, for a dead share, hang; the mapping needs only the table.
    WriteTextFile(mountInfo,
                  "26 1 254:0 / / rw - ext4 /dev/vda rw\n"
                  "40 26 8:2 / /srv/data rw - ext4 /dev/sdz2 rw\n"
                  "41 26 0:50 / /mnt/dead\\040share rw - nfs4 nas:/export rw\n"
                  "42 26 0:51 / /mnt/cifs rw - cifs //nas/c rw\n");
    CDriveLetterStore store;
    store.Save({{"/mnt/dead share", 'S'}});

    std::string missing;
    const auto onMissing = [&missing](char letter) { missing += letter; };
    std::vector<ScanDrive> drives = DrivesForLetters("sCQd", store, onMissing, mountInfo);
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].letter, 'S');
    EXPECT_EQ(drives[0].root, "/mnt/dead share");
    EXPECT_EQ(drives[1].letter, 'C');
    EXPECT_EQ(drives[1].root, "/");
    EXPECT_EQ(drives[2].letter, 'D');
    EXPECT_EQ(drives[2].root, "/srv/data");
    EXPECT_EQ(missing, "Q");
    // A scheduled run keeps the letters it gave.
    EXPECT_EQ(store.Load(), (std::map<std::string, char>{
                                {"/mnt/cifs", 'E'}, {"/mnt/dead share", 'S'}, {"/srv/data", 'D'}}));

    // A preview names the drives for itself and leaves the stored letters alone.
    store.Save({{"/mnt/dead share", 'S'}});
    CDriveLetterStore readOnly(CDriveLetterStore::Mode::ReadOnly);
    drives = DrivesForLetters("DE", readOnly, nullptr, mountInfo);
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[1].root, "/mnt/cifs");
    EXPECT_EQ(store.Load(), (std::map<std::string, char>{{"/mnt/dead share", 'S'}}));

    // No letters: the mount table is not even read.
    EXPECT_TRUE(DrivesForLetters("", store, onMissing, (tmp.path() / "none").string()).empty());
    EXPECT_TRUE(DrivesForLetters("D", store, onMissing, (tmp.path() / "none").string()).empty());
    EXPECT_EQ(missing, "QD");
}
