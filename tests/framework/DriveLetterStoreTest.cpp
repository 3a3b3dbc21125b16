// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The drive letters remembered in the per-user settings store.
#include "framework/DriveLetterStore.h"
#include "framework/Registry.h"
#include "support/TempDir.h"
#include "support/TestOptionsFolder.h"

#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <gtest/gtest.h>

namespace {

class DriveLetterStoreTest : public ::testing::Test {
protected:
    CTestOptionsFolder m_config;

    QString IniPath() const {
        return QString::fromStdString((m_config.path() / "Quenby Works" / "Fernwick.ini").string());
    }
    void WriteRaw(const QString& key, const QString& value) {
        QSettings raw(IniPath(), QSettings::IniFormat);
        raw.beginGroup(QString::fromUtf8(kRegDriveLetters));
        raw.setValue(key, value);
    }
};

MountEntry Mount(const std::string& mountPoint, unsigned minor) {
    MountEntry m;
    m.mountPoint = mountPoint;
    m.fsType = "ext4";
    m.major = 8;
    m.minor = minor;
    m.root = "/";
    return m;
}

} // namespace

TEST_F(DriveLetterStoreTest, RoundTripKeepsAnyMountPointAndOtherOptions) {
    ASSERT_TRUE(RegWriteDword(kRegFirstRun, 1));
    const std::map<std::string, char> letters = {
        {"/home", 'D'},         {"/media/alice/USB STICK", 'E'}, {"/mnt/a\\b", 'F'},
        {"/mnt/100%", 'G'},     {"/mnt/caf\xc3\xa9", 'H'},       {"/mnt/\xff\x01", 'I'},
        {"/mnt/x/", 'J'},       {"/mnt//x", 'K'},                {"/mnt/x", 'Z'}};
    CDriveLetterStore store;
    store.Save(letters);
    EXPECT_TRUE(QFile::exists(IniPath()));
    EXPECT_EQ(CDriveLetterStore().Load(), letters);

    // A save replaces what was there.
    store.Save({{"/srv", 'D'}});
    EXPECT_EQ(store.Load(), (std::map<std::string, char>{{"/srv", 'D'}}));
    std::uint32_t firstRun = 0;
    EXPECT_TRUE(RegReadDword(kRegFirstRun, firstRun, 0));
    EXPECT_EQ(firstRun, 1u);
}

TEST_F(DriveLetterStoreTest, BadValuesAndTwiceGivenLettersAreIgnored) {
    CDriveLetterStore store;
    store.Save({{"/ok", 'R'}, {"/a", 'D'}});
    const std::pair<const char*, const char*> bad[] = {
        {"/a", "d"},  {"/b", "DE"}, {"/c", "C"}, {"/d", ""},  {"/e", "\xc3\x84"},
        {"/f", "Q"},  {"/g", "Q"},  {"/h", "7"}, {"/", "E"},  {"relative", "F"},
        {"/i", "["},  {"/j", "B"}};
    for (const auto& [mountPoint, value] : bad)
        WriteRaw(DriveLetterKey(mountPoint), QString::fromUtf8(value));
    WriteRaw(QStringLiteral("%ZZ"), QStringLiteral("S"));
    EXPECT_EQ(store.Load(), (std::map<std::string, char>{{"/ok", 'R'}}));
}

TEST_F(DriveLetterStoreTest, TableKeepsLettersAcrossRuns) {
    std::vector<MountEntry> mounts = {Mount("/", 1), Mount("/data", 2), Mount("/media/u/KEY", 3)};
    {
        CDriveLetterStore store;
        const CVolumeTable table = BuildVolumeTable(mounts, store, VolumeProbes{});
        ASSERT_NE(table.Find('E'), nullptr);
        EXPECT_EQ(table.Find('E')->mountPoint, "/media/u/KEY");
    }
    // Next run: the stick is out, a new disk came first; the stick keeps E when it is back.
    mounts.erase(mounts.begin() + 2);
    mounts.insert(mounts.begin() + 1, Mount("/mnt/new", 4));
    {
        CDriveLetterStore store;
        const CVolumeTable table = BuildVolumeTable(mounts, store, VolumeProbes{});
        EXPECT_EQ(table.Find('D')->mountPoint, "/data");
        EXPECT_EQ(table.Find('F')->mountPoint, "/mnt/new");
        EXPECT_EQ(table.Find('E'), nullptr);
    }
    mounts.push_back(Mount("/media/u/KEY", 3));
    CDriveLetterStore store;
    EXPECT_EQ(BuildVolumeTable(mounts, store, VolumeProbes{}).Find('E')->mountPoint,
              "/media/u/KEY");
    EXPECT_EQ(store.Load().size(), 3u);
}
