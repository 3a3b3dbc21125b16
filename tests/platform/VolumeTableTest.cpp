// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/VolumeTable.h"
#include "support/HeldSpaceProbe.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A desktop with a separate /home and /boot, a USB stick, an NFS share, a snap, a bind mount
// and a container, as /proc/self/mountinfo shows it.
const char* const kDesktop =
    "22 28 0:21 / /sys rw,nosuid,nodev,noexec,relatime shared:7 - sysfs sysfs rw\n"
    "23 28 0:22 / /proc rw,nosuid,nodev,noexec,relatime shared:13 - proc proc rw\n"
    "24 28 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=8039520k,mode=755\n"
    "25 24 0:23 / /dev/pts rw,nosuid,noexec,relatime shared:3 - devpts devpts rw,gid=5\n"
    "26 28 0:24 / /run rw,nosuid,nodev,noexec,relatime shared:5 - tmpfs tmpfs rw,mode=755\n"
    "28 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro\n"
    "29 22 0:26 / /sys/fs/cgroup rw,nosuid shared:9 - cgroup2 cgroup2 rw,nsdelegate\n"
    "30 24 0:27 / /dev/shm rw,nosuid,nodev shared:4 - tmpfs tmpfs rw\n"
    "40 28 259:3 / /home rw,relatime shared:30 - ext4 /dev/nvme0n1p3 rw\n"
    "41 28 259:4 / /boot rw,relatime shared:31 - ext4 /dev/nvme0n1p4 rw\n"
    "42 41 259:1 / /boot/efi rw,relatime shared:32 - vfat /dev/nvme0n1p1 rw,fmask=0077\n"
    "43 28 0:35 / /tmp rw,nosuid,nodev shared:33 - tmpfs tmpfs rw,size=8066620k\n"
    "44 28 7:1 / /snap/core22/1122 ro,nodev,relatime shared:34 - squashfs /dev/loop1 ro\n"
    "50 26 0:45 / /run/user/1000 rw,nosuid shared:40 - tmpfs tmpfs rw,mode=700,uid=1000\n"
    "51 50 0:46 / /run/user/1000/gvfs rw,nosuid shared:41 - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "60 28 0:50 / /mnt/nas rw,relatime shared:45 - nfs4 nas.local:/export/data rw,vers=4.2\n"
    "61 28 259:3 /alice/projects /srv/projects rw,relatime shared:30 - ext4 /dev/nvme0n1p3 rw\n"
    "70 28 0:60 / /var/lib/docker/overlay2/3f9a/merged rw,relatime - overlay overlay "
    "rw,lowerdir=/var/lib/docker/overlay2/l/AB:/var/lib/docker/overlay2/l/CD\n"
    "80 28 8:17 / /media/alice/USB\\040STICK rw,nosuid,nodev shared:50 master:7 - vfat "
    "/dev/sdb1 rw,uid=1000,utf8\n";

class FakeStore : public IDriveLetterStore {
public:
    std::map<std::string, char> letters;
    int saves = 0;
    std::map<std::string, char> Load() override { return letters; }
    void Save(const std::map<std::string, char>& l) override {
        letters = l;
        ++saves;
    }
};

// Recorded answers: every mount point has a size, /dev/sdb1 is a stick labelled "STICK".
VolumeProbes RecordedProbes() {
    VolumeProbes p;
    p.space = [](const std::string& mountPoint) {
        const auto n = static_cast<std::uint64_t>(mountPoint.size());
        return SpaceInfo{n * 1000, n * 5000};
    };
    p.removable = [](const MountEntry& m) { return m.source == "/dev/sdb1"; };
    p.label = [](const MountEntry& m) {
        return m.major == 8 && m.minor == 17 ? std::string("STICK") : std::string();
    };
    return p;
}

std::map<char, std::string> Letters(const CVolumeTable& table) {
    std::map<char, std::string> out;
    for (const Volume& v : table.Volumes())
        out[v.letter] = v.mountPoint;
    return out;
}

MountEntry Mount(std::string mountPoint, std::string fsType, unsigned major = 8,
                 unsigned minor = 1, std::string root = "/") {
    MountEntry m;
    m.mountPoint = std::move(mountPoint);
    m.fsType = std::move(fsType);
    m.major = major;
    m.minor = minor;
    m.root = std::move(root);
    m.source = "/dev/sdz9";
    return m;
}

} // namespace

TEST(MountInfo, ParsesEveryFieldAndDecodesEscapes) {
    const std::vector<MountEntry> e = ParseMountInfo(kDesktop);
    ASSERT_EQ(e.size(), 19u);
    const MountEntry& usb = e.back();
    EXPECT_EQ(usb.mountId, 80);
    EXPECT_EQ(usb.parentId, 28);
    EXPECT_EQ(usb.major, 8u);
    EXPECT_EQ(usb.minor, 17u);
    EXPECT_EQ(usb.root, "/");
    EXPECT_EQ(usb.mountPoint, "/media/alice/USB STICK");
    EXPECT_EQ(usb.options, "rw,nosuid,nodev");
    EXPECT_EQ(usb.fsType, "vfat");
    EXPECT_EQ(usb.source, "/dev/sdb1");
    EXPECT_EQ(usb.superOptions, "rw,uid=1000,utf8");
    EXPECT_EQ(e[16].root, "/alice/projects");
    EXPECT_EQ(e[17].fsType, "overlay"); // no optional fields at all

    // An empty source shows as two blanks; missing super options are tolerated.
    const auto odd = ParseMountInfo("5 1 0:9 / /mnt/a\\134b\\011c rw - tmpfs  rw\r\n"
                                    "6 1 0:10 / /x rw - ext4 /dev/sda1");
    ASSERT_EQ(odd.size(), 2u);
    EXPECT_EQ(odd[0].mountPoint, "/mnt/a\\b\tc");
    EXPECT_EQ(odd[0].source, "");
    EXPECT_EQ(odd[0].superOptions, "rw");
    EXPECT_EQ(odd[1].superOptions, "");

    EXPECT_EQ(DecodeMountField("a\\040b\\012\\134"), "a b\n\\");
    EXPECT_EQ(DecodeMountField("\\089\\08x\\9\\400\\04"), "\\089\\08x\\9\\400\\04");
    EXPECT_EQ(DecodeMountField("\\"), "\\");
    EXPECT_EQ(DecodeLabelName("USB\\x20STICK\\x2fA\\x2F"), "USB STICK/A/");
    EXPECT_EQ(DecodeLabelName("\\xZZ\\x4\\x"), "\\xZZ\\x4\\x");
}

TEST(MountInfo, MalformedLinesAreSkippedNeverFatal) {
    const char* const good = "40 28 259:3 / /home rw - ext4 /dev/nvme0n1p3 rw\n";
    const std::string bad[] = {
        "",
        "garbage",
        "40 28 259:3 / /home rw ext4 /dev/nvme0n1p3 rw",   // no separator
        "40 28 259:3 / /home rw -",                        // nothing after it
        "40 28 259:3 / /home rw - ext4",                   // no source
        "x 28 259:3 / /home rw - ext4 /dev/sda rw",        // mount id
        "40 28 2593 / /home rw - ext4 /dev/sda rw",        // device number
        "40 28 259:3x / /home rw - ext4 /dev/sda rw",
        "40 28 259:3 / home rw - ext4 /dev/sda rw",        // relative mount point
        "40 28 259:3 / /home - ext4 /dev/sda rw",          // no options field
        "40 28 99999999999:3 / /home rw - ext4 /dev/sda rw", // out of range
        std::string(5000, '\\'),
    };
    for (const std::string& line : bad) {
        const auto e = ParseMountInfo(line + "\n" + good + line);
        ASSERT_EQ(e.size(), 1u) << line;
        EXPECT_EQ(e[0].mountPoint, "/home");
    }
    // Cut anywhere, the text gives the leading mounts and nothing made up.
    const std::string_view text = kDesktop;
    const std::vector<MountEntry> whole = ParseMountInfo(text);
    for (size_t n = 0; n <= text.size(); ++n) {
        const std::vector<MountEntry> cut = ParseMountInfo(text.substr(0, n));
        ASSERT_LE(cut.size(), whole.size());
        for (size_t i = 0; i < cut.size(); ++i)
            ASSERT_EQ(cut[i].mountPoint, whole[i].mountPoint) << n;
    }
}

TEST(VolumeTable, DesktopRowsTypesAndLetters) {
    FakeStore store;
    const CVolumeTable table = BuildVolumeTable(ParseMountInfo(kDesktop), store, RecordedProbes());

    const std::map<char, std::string> expected = {
        {'C', "/"},    {'D', "/home"},    {'E', "/boot"},
        {'F', "/tmp"}, {'G', "/mnt/nas"}, {'H', "/media/alice/USB STICK"}};
    EXPECT_EQ(Letters(table), expected);
    std::vector<char> order;
    for (const Volume& v : table.Volumes())
        order.push_back(v.letter);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));

    const DriveType types[] = {DriveType::Fixed, DriveType::Fixed,   DriveType::Fixed,
                               DriveType::Ram,   DriveType::Network, DriveType::Removable};
    for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(table.Volumes()[i].type, types[i]) << order[i];

    const Volume* usb = table.Find('h');
    ASSERT_NE(usb, nullptr);
    EXPECT_EQ(usb, table.Find('H'));
    EXPECT_EQ(usb->Text(), "H: /media/alice/USB STICK");
    EXPECT_EQ(usb->label, "STICK");
    EXPECT_EQ(usb->fsType, "vfat");
    EXPECT_EQ(usb->freeBytes, usb->mountPoint.size() * 1000);
    EXPECT_EQ(usb->totalBytes, usb->mountPoint.size() * 5000);
    EXPECT_EQ(table.Find('C')->Text(), "C: /");
    EXPECT_EQ(table.Find('C')->source, "/dev/nvme0n1p2");
    EXPECT_TRUE(table.Find('D')->label.empty());
    for (char none : {'A', 'B', 'I', 'Z', '?', '\0'})
        EXPECT_EQ(table.Find(none), nullptr) << none;

    // The new letters were stored, once; C is never stored.
    EXPECT_EQ(store.saves, 1);
    std::map<char, std::string> stored;
    for (const auto& [mountPoint, letter] : store.letters)
        stored[letter] = mountPoint;
    auto withoutC = expected;
    withoutC.erase('C');
    EXPECT_EQ(stored, withoutC);
}

TEST(VolumeTable, ClassifiesByFileSystemAndPlace) {
    struct Case {
        const char* mountPoint;
        const char* fsType;
        bool removableDevice;
        std::optional<DriveType> type;
    };
    const Case cases[] = {
        {"/", "overlay", false, DriveType::Fixed},
        {"/", "ext4", true, DriveType::Fixed},
        {"/data", "btrfs", false, DriveType::Fixed},
        {"/tank", "zfs", false, DriveType::Fixed},
        {"/mnt/card", "exfat", true, DriveType::Removable},
        {"/run/media/bob/CARD", "exfat", false, DriveType::Removable},
        {"/media", "ext4", false, DriveType::Removable},
        {"/mediafiles", "ext4", false, DriveType::Fixed},
        {"/mnt/share", "cifs", false, DriveType::Network},
        {"/media/nas", "nfs", false, DriveType::Network},
        {"/home/bob/remote", "fuse.sshfs", false, DriveType::Network},
        {"/mnt/host", "9p", false, DriveType::Network},
        {"/mnt/ram", "ramfs", false, DriveType::Ram},
        {"/tmp", "tmpfs", true, DriveType::Ram},
        {"/dev/shm", "tmpfs", false, std::nullopt},
        {"/run/lock", "tmpfs", false, std::nullopt},
        {"/run/mount/x", "ext4", false, std::nullopt},
        {"/sys/kernel/debug", "debugfs", false, std::nullopt},
        {"/proc/sys/fs/binfmt_misc", "binfmt_misc", false, std::nullopt},
        {"/mnt/cd", "iso9660", true, std::nullopt},
        {"/media/bob/DVD", "udf", true, std::nullopt},
        {"/opt/app", "squashfs", false, std::nullopt},
        {"/mnt/merged", "overlay", false, std::nullopt},
        {"/boot/efi", "vfat", false, std::nullopt},
        {"/var/lib/docker/containers/1/mounts/shm", "tmpfs", false, std::nullopt},
        {"/snap/firefox/1", "squashfs", false, std::nullopt},
        {"/mnt/auto", "autofs", false, std::nullopt},
    };
    for (const Case& c : cases) {
        const MountEntry m = Mount(c.mountPoint, c.fsType);
        EXPECT_EQ(ClassifyMount(m, c.removableDevice), c.type) << c.mountPoint << " " << c.fsType;
    }
}

TEST(VolumeTable, LettersStayWithTheirMountPoints) {
    FakeStore store;
    const VolumeProbes probes = RecordedProbes();
    std::vector<MountEntry> mounts = {Mount("/", "ext4", 8, 1), Mount("/home", "ext4", 8, 2),
                                      Mount("/mnt/nas", "nfs", 0, 50), Mount("/tmp", "tmpfs", 0, 35)};
    EXPECT_EQ(Letters(BuildVolumeTable(mounts, store, probes)),
              (std::map<char, std::string>{{'C', "/"}, {'D', "/home"}, {'E', "/mnt/nas"}, {'F', "/tmp"}}));

    // Unchanged mounts: same letters, nothing written.
    BuildVolumeTable(mounts, store, probes);
    EXPECT_EQ(store.saves, 1);

    // The share goes, two new mounts come: E stays reserved for the share.
    mounts.erase(mounts.begin() + 2);
    mounts.push_back(Mount("/mnt/new", "xfs", 8, 3));
    mounts.push_back(Mount("/media/u/KEY", "vfat", 8, 17));
    EXPECT_EQ(Letters(BuildVolumeTable(mounts, store, probes)),
              (std::map<char, std::string>{
                  {'C', "/"}, {'D', "/home"}, {'F', "/tmp"}, {'G', "/mnt/new"}, {'H', "/media/u/KEY"}}));
    EXPECT_EQ(store.saves, 2);

    // The share comes back, at the front: it gets its old letter and nothing else moves.
    mounts.insert(mounts.begin() + 1, Mount("/mnt/nas", "nfs", 0, 51));
    EXPECT_EQ(Letters(BuildVolumeTable(mounts, store, probes)).at('E'), "/mnt/nas");
    EXPECT_EQ(Letters(BuildVolumeTable(mounts, store, probes)).at('G'), "/mnt/new");
    EXPECT_EQ(store.saves, 2);

    // New mounts fill the gaps from D up.
    FakeStore gaps;
    gaps.letters = {{"/x", 'D'}, {"/y", 'F'}};
    const auto table = BuildVolumeTable(
        {Mount("/a", "ext4", 8, 5), Mount("/b", "ext4", 8, 6), Mount("/y", "ext4", 8, 7)}, gaps,
        probes);
    EXPECT_EQ(Letters(table),
              (std::map<char, std::string>{{'C', "/"}, {'E', "/a"}, {'F', "/y"}, {'G', "/b"}}));
    EXPECT_EQ(gaps.letters.at("/x"), 'D');
}

TEST(VolumeTable, CorruptRememberedLettersAreAssignedAfresh) {
    FakeStore store;
    store.letters = {{"/home", 'C'},    {"/boot", 'a'},     {"/tmp", '\0'},     {"/mnt/nas", '['},
                     {"/", 'D'},        {"home", 'E'},      {"/media/alice/USB STICK", 'K'},
                     {"/old/one", 'F'}, {"/old/two", 'F'}, {"/srv/gone", 'G'}};
    const CVolumeTable table = BuildVolumeTable(ParseMountInfo(kDesktop), store, RecordedProbes());
    EXPECT_EQ(Letters(table), (std::map<char, std::string>{{'C', "/"},
                                                            {'D', "/home"},
                                                            {'E', "/boot"},
                                                            {'F', "/tmp"},
                                                            {'H', "/mnt/nas"},
                                                            {'K', "/media/alice/USB STICK"}}));
    std::map<std::string, char> valid = store.letters;
    DropInvalidLetters(valid);
    EXPECT_EQ(valid, store.letters) << "invalid entries written back";
    EXPECT_EQ(store.letters.at("/srv/gone"), 'G');
    EXPECT_EQ(store.letters.count("/old/one"), 0u);
}

TEST(VolumeTable, NoRowOnceEveryLetterIsTaken) {
    FakeStore store;
    for (char l = 'D'; l <= 'Z'; ++l)
        if (l != 'M')
            store.letters["/gone/" + std::string(1, l)] = l;
    const std::vector<MountEntry> mounts = ParseMountInfo(kDesktop);
    EXPECT_EQ(Letters(BuildVolumeTable(mounts, store, RecordedProbes())),
              (std::map<char, std::string>{{'C', "/"}, {'M', "/home"}}));
    EXPECT_EQ(store.letters.size(), 23u);
    EXPECT_EQ(store.saves, 1);

    EXPECT_EQ(Letters(BuildVolumeTable(mounts, store, RecordedProbes())).size(), 2u);
    EXPECT_EQ(store.saves, 1);
}

TEST(VolumeTable, FailedProbesLeaveValuesEmpty) {
    FakeStore store;
    const CVolumeTable blind = BuildVolumeTable(ParseMountInfo(kDesktop), store, VolumeProbes{});
    ASSERT_EQ(blind.Volumes().size(), 6u);
    for (const Volume& v : blind.Volumes()) {
        EXPECT_FALSE(v.freeBytes || v.totalBytes) << v.mountPoint;
        EXPECT_TRUE(v.label.empty()) << v.mountPoint;
    }
    // Without a removable flag the stick is still known by where it is mounted.
    EXPECT_EQ(blind.Find('H')->type, DriveType::Removable);

    VolumeProbes failing = RecordedProbes();
    failing.space = [](const std::string&) { return std::optional<SpaceInfo>(); };
    EXPECT_FALSE(BuildVolumeTable({}, store, failing).Find('C')->totalBytes);

    // Nothing known about the mounts: C alone, sized from "/".
    const CVolumeTable bare = BuildVolumeTable({}, store, RecordedProbes());
    ASSERT_EQ(bare.Volumes().size(), 1u);
    EXPECT_EQ(bare.Find('C')->mountPoint, "/");
    EXPECT_EQ(bare.Find('C')->totalBytes, 5000u);
}

TEST(VolumeTable, BindAndHiddenMountsGetNoRow) {
    FakeStore store;
    const std::vector<MountEntry> mounts = {
        Mount("/", "btrfs", 0, 30, "/@"),
        Mount("/home", "btrfs", 0, 30, "/@home"),          // another subvolume: a row
        Mount("/srv/alice", "btrfs", 0, 30, "/@home/alice"), // inside /home
        Mount("/mnt/again", "btrfs", 0, 30, "/@home"),     // /home once more
        Mount("/usr/local", "btrfs", 0, 30, "/@/usr/local"), // inside C
        Mount("/mnt/stack", "ext4", 8, 1),
        Mount("/mnt/stack", "xfs", 8, 2), // hides the ext4 one
        Mount("/mnt/part", "ext4", 8, 3, "/sub"),          // its file system has no other row
    };
    const CVolumeTable table = BuildVolumeTable(mounts, store, RecordedProbes());
    EXPECT_EQ(Letters(table), (std::map<char, std::string>{
                                  {'C', "/"}, {'D', "/home"}, {'E', "/mnt/stack"}, {'F', "/mnt/part"}}));
    EXPECT_EQ(table.Find('E')->fsType, "xfs");
}

TEST(SystemProbes, ReadRemovableFlagsLabelsAndSizes) {
    TempDir tmp;
    const fs::path disk = tmp.path() / "sys/devices/pci0/usb1/block/sdb";
    const fs::path fixed = tmp.path() / "sys/devices/pci0/ata1/block/sda";
    fs::create_directories(disk / "sdb1");
    fs::create_directories(fixed / "sda2");
    fs::create_directories(tmp.path() / "sys/dev/block");
    fs::create_directories(tmp.path() / "labels");
    WriteTextFile(disk / "removable", "1\n");
    WriteTextFile(fixed / "removable", "0\n");
    fs::create_symlink("../../devices/pci0/usb1/block/sdb/sdb1", tmp.path() / "sys/dev/block/8:17");
    fs::create_symlink("../../devices/pci0/usb1/block/sdb", tmp.path() / "sys/dev/block/8:16");
    fs::create_symlink("../../devices/pci0/ata1/block/sda/sda2", tmp.path() / "sys/dev/block/8:2");
    // A label entry names a device node; /dev/null stands in for the stick.
    struct stat null {};
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    fs::create_symlink("/dev/null", tmp.path() / "labels/USB\\x20STICK");
    WriteTextFile(tmp.path() / "labels/not-a-device", "");

    const VolumeProbes probes =
        SystemProbes((tmp.path() / "sys").string(), (tmp.path() / "labels").string());
    EXPECT_TRUE(probes.removable(Mount("/m", "vfat", 8, 17)));
    EXPECT_TRUE(probes.removable(Mount("/m", "vfat", 8, 16)));
    EXPECT_FALSE(probes.removable(Mount("/m", "ext4", 8, 2)));
    EXPECT_FALSE(probes.removable(Mount("/m", "ext4", 8, 99)));
    EXPECT_FALSE(probes.removable(Mount("/m", "nfs", 0, 50)));

    EXPECT_EQ(probes.label(Mount("/m", "vfat", major(null.st_rdev), minor(null.st_rdev))),
              "USB STICK");
    EXPECT_EQ(probes.label(Mount("/m", "vfat", 8, 17)), "");
    EXPECT_EQ(probes.label(Mount("/m", "tmpfs", 0, 0)), "");

    const std::optional<SpaceInfo> space = probes.space(tmp.path().string());
    ASSERT_TRUE(space);
    EXPECT_GT(space->totalBytes, 0u);
    EXPECT_LE(space->freeBytes, space->totalBytes);
    EXPECT_FALSE(probes.space((tmp.path() / "missing").string()));

    const VolumeProbes nowhere = SystemProbes((tmp.path() / "missing").string(),
                                              (tmp.path() / "missing").string());
    EXPECT_FALSE(nowhere.removable(Mount("/m", "vfat", 8, 17)));
    EXPECT_EQ(nowhere.label(Mount("/m", "vfat", major(null.st_rdev), minor(null.st_rdev))), "");
}

TEST(VolumeTableOnThisMachine, RootIsDriveC) {
    FakeStore store;
    const CVolumeTable table = CVolumeTable::Load(store);
    const Volume* c = table.Find('C');
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->mountPoint, "/");
    ASSERT_TRUE(c->totalBytes);
    EXPECT_GT(*c->totalBytes, 0u);
    std::set<std::string> mountPoints;
    for (const Volume& v : table.Volumes()) {
        EXPECT_TRUE(v.letter >= 'C' && v.letter <= 'Z') << v.Text();
        EXPECT_TRUE(mountPoints.insert(v.mountPoint).second) << v.Text();
    }

    // Without mountinfo there is still C.
    TempDir tmp;
    const CVolumeTable bare =
        CVolumeTable::Load(store, SystemProbes(), (tmp.path() / "mountinfo").string());
    ASSERT_EQ(bare.Volumes().size(), 1u);
    EXPECT_EQ(bare.Find('C')->totalBytes, c->totalBytes);
}

TEST(VolumeTable, LettersAloneAskNothingOfTheMounts) {
    TempDir tmp;
    WriteTextFile(tmp.path() / "mountinfo", kDesktop);
    FakeStore store;
    store.letters = {{"/mnt/nas", 'N'}};
    const CVolumeTable table = CVolumeTable::LoadLetters(store, (tmp.path() / "mountinfo").string());
    EXPECT_EQ(Letters(table), (std::map<char, std::string>{{'C', "/"},
                                                            {'D', "/home"},
                                                            {'E', "/boot"},
                                                            {'F', "/tmp"},
                                                            {'G', "/media/alice/USB STICK"},
                                                            {'N', "/mnt/nas"}}));
    // No free space, label or device was asked for: none of those mounts exists here, and
    // a dead network share would have held the call up.
    for (const Volume& v : table.Volumes()) {
        EXPECT_FALSE(v.freeBytes || v.totalBytes) << v.mountPoint;
        EXPECT_TRUE(v.label.empty()) << v.mountPoint;
    }
    EXPECT_EQ(table.Find('N')->type, DriveType::Network);
    EXPECT_EQ(table.Find('G')->type, DriveType::Removable); // known by where it is mounted
    EXPECT_EQ(store.saves, 1); // new mounts still get their letters for good
}

TEST(VolumeTable, NetworkMountsAreNotAskedForALabel) {
    FakeStore store;
    std::vector<std::string> asked;
    VolumeProbes probes = RecordedProbes();
    probes.label = [&asked](const MountEntry& m) {
        asked.push_back(m.mountPoint);
        return std::string("L");
    };
    const CVolumeTable table = BuildVolumeTable(ParseMountInfo(kDesktop), store, probes);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "/mnt/nas"), 0);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "/home"), 1);
    EXPECT_TRUE(table.Find('G')->label.empty());
    EXPECT_EQ(table.Find('D')->label, "L");
}

namespace {

// Sizes made up from the mount point; "/fail" fails and "/throw" throws.
std::optional<SpaceInfo> MadeUpSpace(const std::string& mountPoint) {
    if (mountPoint == "/fail")
        return std::nullopt;
    if (mountPoint == "/throw")
        throw std::runtime_error("probe failed");
    return SpaceInfo{mountPoint.size(), 10 * mountPoint.size()};
}

} // namespace

TEST(SpaceQuery, AnswersComeWithoutWaitingForAMountThatHangs) {
    const HeldSpaceProbe probe("/mnt/dead", MadeUpSpace);
    const std::vector<std::string> mounts = {"/", "/mnt/dead", "/home", "/fail", "/throw"};
    CSpaceQuery query(mounts, probe.Probe());
    // The others all answer while the dead share still hangs.
    for (size_t i : {0u, 2u, 3u, 4u}) {
        while (!query.Answered(i))
            std::this_thread::yield();
    }
    EXPECT_FALSE(query.Answered(1));
    EXPECT_FALSE(query.AllAnswered());
    EXPECT_FALSE(query.WaitUntil(std::chrono::steady_clock::now()));
    ASSERT_TRUE(query.Answer(0));
    EXPECT_EQ(query.Answer(0)->freeBytes, 1u);
    EXPECT_EQ(query.Answer(2)->totalBytes, 50u);
    EXPECT_FALSE(query.Answer(1)); // not yet
    EXPECT_FALSE(query.Answer(3)); // failed
    EXPECT_FALSE(query.Answer(4)); // threw
    EXPECT_FALSE(query.Answered(99));
    EXPECT_FALSE(query.Answer(99));

    probe.Release();
    EXPECT_TRUE(query.WaitUntil(std::chrono::steady_clock::now() + std::chrono::hours(1)));
    EXPECT_TRUE(query.AllAnswered());
    EXPECT_EQ(query.Answer(1)->freeBytes, 9u);
    EXPECT_FALSE(probe.AskedOn(std::this_thread::get_id()));

    const CSpaceQuery none({}, probe.Probe());
    EXPECT_TRUE(none.AllAnswered());
    const CSpaceQuery noProbe({"/"}, nullptr);
    EXPECT_TRUE(noProbe.AllAnswered());
    EXPECT_FALSE(noProbe.Answer(0));
}

TEST(SpaceQuery, AThreadLeftBehindOutlivesItsQuery) {
    const HeldSpaceProbe probe("/mnt/dead", MadeUpSpace);
    {
        CSpaceQuery query({"/mnt/dead"}, probe.Probe());
        EXPECT_FALSE(query.Answered(0));
    } // gone without waiting: a hung share must not hold up its owner
    // The thread still runs on what it owns; its answer lands in memory of its own.
    probe.Release();
    probe.WaitReturned();
}
