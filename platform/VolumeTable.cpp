// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/VolumeTable.h"

#include "platform/UniqueFd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Kernel-internal and read-only image file systems: nothing in them for a user to clean.
constexpr std::array kNoRowTypes = {
    "proc",          "sysfs",         "cgroup",           "cgroup2",         "cpuset",
    "devpts",        "devtmpfs",      "mqueue",           "debugfs",         "tracefs",
    "securityfs",    "pstore",        "bpf",              "configfs",        "fusectl",
    "hugetlbfs",     "autofs",        "binfmt_misc",      "efivarfs",        "nsfs",
    "rpc_pipefs",    "nfsd",          "selinuxfs",        "binder",          "rootfs",
    "squashfs",      "iso9660",       "udf",              "erofs",           "cramfs",
    "romfs",         "fuse.portal",   "fuse.gvfsd-fuse",  "fuse.lxcfs",      "fuse.snapfuse",
    "fuse.squashfuse"};

// Union mounts show files that live elsewhere; only a union "/" gets a row (as C).
constexpr std::array kUnionTypes = {"overlay", "aufs", "fuse.fuse-overlayfs"};

constexpr std::array kNetworkTypes = {
    "nfs",          "nfs4",        "cifs",         "smb3",         "smbfs",
    "ncpfs",        "9p",          "virtiofs",     "afs",          "ceph",
    "fuse.ceph",    "glusterfs",   "fuse.glusterfs", "lustre",     "davfs",
    "fuse.davfs2",  "sshfs",       "fuse.sshfs",   "fuse.rclone",  "fuse.s3fs",
    "fuse.gcsfuse", "fuse.curlftpfs"};

constexpr std::array kRamTypes = {"tmpfs", "ramfs"};

// System folders and the private mounts of container and package services. The latter come and
// go with every container, and each would otherwise use up a letter for good.
constexpr std::array kNoRowFolders = {
    "/proc", "/sys", "/dev", "/snap", "/boot/efi", "/efi",
    "/var/lib/docker", "/var/lib/containers", "/var/lib/kubelet", "/var/lib/lxcfs",
    "/var/lib/snapd"};

template <size_t N>
bool IsOneOf(std::string_view value, const std::array<const char*, N>& list) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// True when path is folder itself or lies inside it.
bool IsUnder(std::string_view path, std::string_view folder) {
    if (folder == "/")
        return !path.empty() && path.front() == '/';
    return path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

bool IsRemovableFolder(std::string_view mountPoint) {
    return IsUnder(mountPoint, "/media") || IsUnder(mountPoint, "/run/media");
}

template <typename Int>
bool ParseNumber(std::string_view text, Int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t blank = line.find(' ');
        fields.push_back(line.substr(0, blank));
        if (blank == std::string_view::npos)
            return fields;
        line.remove_prefix(blank + 1);
    }
}

std::optional<MountEntry> ParseMountLine(std::string_view line) {
    // The kernel separates fields with single blanks; an empty source shows as two blanks.
    const std::vector<std::string_view> f = SplitFields(line);
    const auto dash = std::find(f.begin() + std::min<size_t>(f.size(), 6), f.end(), "-");
    if (dash == f.end() || f.end() - dash < 3)
        return std::nullopt;
    MountEntry e;
    const std::string_view dev = f[2];
    const size_t colon = dev.find(':');
    if (!ParseNumber(f[0], e.mountId) || !ParseNumber(f[1], e.parentId) ||
        colon == std::string_view::npos || !ParseNumber(dev.substr(0, colon), e.major) ||
        !ParseNumber(dev.substr(colon + 1), e.minor))
        return std::nullopt;
    e.root = DecodeMountField(f[3]);
    e.mountPoint = DecodeMountField(f[4]);
    e.options = std::string(f[5]);
    e.fsType = std::string(dash[1]);
    e.source = DecodeMountField(dash[2]);
    if (f.end() - dash > 3)
        e.superOptions = std::string(dash[3]);
    if (e.mountPoint.empty() || e.mountPoint.front() != '/' || e.fsType.empty())
        return std::nullopt;
    return e;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return std::nullopt;
    // /proc files report size 0, so read until the end.
    std::string text;
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n == 0)
            return text;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        text.append(buf, static_cast<size_t>(n));
    }
}

// The block device behind a mount. btrfs and others report an anonymous 0:N number, so then
// the source device file is asked instead.
std::optional<dev_t> DeviceOf(const MountEntry& mount) {
    if (mount.major != 0)
        return makedev(mount.major, mount.minor);
    struct stat st {};
    if (!mount.source.empty() && mount.source.front() == '/' &&
        ::stat(mount.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode))
        return st.st_rdev;
    return std::nullopt;
}

std::optional<SpaceInfo> QuerySpace(const std::string& mountPoint) {
    struct statvfs vfs {};
    if (::statvfs(mountPoint.c_str(), &vfs) != 0)
        return std::nullopt;
    const std::uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    SpaceInfo info;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(vfs.f_bavail), unit, &info.freeBytes) ||
        __builtin_mul_overflow(static_cast<std::uint64_t>(vfs.f_blocks), unit, &info.totalBytes))
        return std::nullopt;
    return info;
}

bool QueryRemovable(const std::string& sysDir, const MountEntry& mount) {
    const std::optional<dev_t> dev = DeviceOf(mount);
    if (!dev)
        return false;
    const std::string block = sysDir + "/dev/block/" + std::to_string(major(*dev)) + ":" +
                              std::to_string(minor(*dev));
    // Partitions have no flag of their own; the whole disk above them has it.
    std::optional<std::string> flag = ReadWholeFile(block + "/removable");
    if (!flag)
        flag = ReadWholeFile(block + "/../removable");
    return flag && !flag->empty() && flag->front() == '1';
}

std::string QueryLabel(const std::string& labelDir, const MountEntry& mount) {
    const std::optional<dev_t> dev = DeviceOf(mount);
    if (!dev)
        return {};
    std::error_code ec;
    for (std::filesystem::directory_iterator it(labelDir, ec), end; !ec && it != end;
         it.increment(ec)) {
        struct stat st {};
        if (::stat(it->path().c_str(), &st) == 0 && (S_ISBLK(st.st_mode) || S_ISCHR(st.st_mode)) &&
            st.st_rdev == *dev)
            return DecodeLabelName(it->path().filename().native());
    }
    return {};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Same file system as other, and a folder of it that other already shows.
bool ShownBy(const MountEntry& mount, const MountEntry& other, bool otherFirst) {
    if (mount.major != other.major || mount.minor != other.minor)
        return false;
    if (mount.root == other.root)
        return otherFirst;
    return IsUnder(mount.root, other.root);
}

} // namespace

std::string DecodeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(), [](char c) {
                    return c >= '0' && c <= '7';
                })) {
                const int value = (digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0');
                if (value <= 0xFF) {
                    out += static_cast<char>(value);
                    i += 3;
                    continue;
                }
            }
        }
        out += field[i];
    }
    return out;
}

std::string DecodeLabelName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            const int hi = HexDigit(name[i + 2]);
            const int lo = HexDigit(name[i + 3]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (auto entry = ParseMountLine(line))
            entries.push_back(std::move(*entry));
    }
    return entries;
}

std::string Volume::Text() const { return std::string(1, letter) + ": " + mountPoint; }

void DropInvalidLetters(std::map<std::string, char>& letters) {
    std::map<char, int> uses;
    for (const auto& [mountPoint, letter] : letters)
        ++uses[letter];
    std::erase_if(letters, [&uses](const auto& item) {
        const auto& [mountPoint, letter] = item;
        return letter < kFirstFreeLetter || letter > kLastLetter || uses[letter] > 1 ||
               mountPoint.empty() || mountPoint.front() != '/' || mountPoint == "/";
    });
}

VolumeProbes SystemProbes(const std::string& sysDir, const std::string& labelDir) {
    VolumeProbes probes;
    probes.space = QuerySpace;
    probes.removable = [sysDir](const MountEntry& m) { return QueryRemovable(sysDir, m); };
    probes.label = [labelDir](const MountEntry& m) { return QueryLabel(labelDir, m); };
    return probes;
}

std::optional<DriveType> ClassifyMount(const MountEntry& mount, bool removableDevice) {
    const std::string_view type = mount.fsType;
    const std::string_view where = mount.mountPoint;
    if (where == "/")
        return DriveType::Fixed;
    if (IsOneOf(type, kNoRowTypes) || IsOneOf(type, kUnionTypes))
        return std::nullopt;
    for (const char* folder : kNoRowFolders)
        if (IsUnder(where, folder))
            return std::nullopt;
    if (IsUnder(where, "/run") && !IsUnder(where, "/run/media"))
        return std::nullopt;
    if (IsOneOf(type, kNetworkTypes))
        return DriveType::Network;
    if (IsOneOf(type, kRamTypes))
        return DriveType::Ram;
    if (removableDevice || IsRemovableFolder(where))
        return DriveType::Removable;
    return DriveType::Fixed;
}

CVolumeTable::CVolumeTable(std::vector<Volume> volumes) : m_volumes(std::move(volumes)) {
    std::sort(m_volumes.begin(), m_volumes.end(),
              [](const Volume& a, const Volume& b) { return a.letter < b.letter; });
}

const Volume* CVolumeTable::Find(char letter) const {
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    for (const Volume& v : m_volumes)
        if (v.letter == letter)
            return &v;
    return nullptr;
}

CVolumeTable CVolumeTable::Load(IDriveLetterStore& store, const VolumeProbes& probes,
                                const std::string& mountInfoPath) {
    const std::string text = ReadWholeFile(mountInfoPath).value_or(std::string());
    return BuildVolumeTable(ParseMountInfo(text), store, probes);
}

CVolumeTable CVolumeTable::LoadLetters(IDriveLetterStore& store, const std::string& mountInfoPath) {
    return Load(store, VolumeProbes{}, mountInfoPath);
}

CVolumeTable BuildVolumeTable(const std::vector<MountEntry>& mounts, IDriveLetterStore& store,
                              const VolumeProbes& probes) {
    // A later mount on the same folder hides the earlier one.
    std::vector<const MountEntry*> visible;
    for (size_t i = 0; i < mounts.size(); ++i) {
        const bool hidden = std::any_of(mounts.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                        mounts.end(), [&](const MountEntry& later) {
                                            return later.mountPoint == mounts[i].mountPoint;
                                        });
        if (!hidden)
            visible.push_back(&mounts[i]);
    }

    const MountEntry* rootMount = nullptr;
    struct Candidate {
        const MountEntry* mount;
        DriveType type;
    };
    std::vector<Candidate> candidates;
    for (const MountEntry* m : visible) {
        if (m->mountPoint == "/") {
            rootMount = m;
            continue;
        }
        std::optional<DriveType> type = ClassifyMount(*m, false);
        // Only ask the device when the answer can change the type.
        if (type == DriveType::Fixed && probes.removable && probes.removable(*m))
            type = ClassifyMount(*m, true);
        if (type)
            candidates.push_back({m, *type});
    }

    // A bind mount shows a folder of a file system that already has a row: leave it out.
    std::vector<Candidate> drives;
    for (size_t i = 0; i < candidates.size(); ++i) {
        const MountEntry& m = *candidates[i].mount;
        bool shown = rootMount && ShownBy(m, *rootMount, true);
        for (size_t j = 0; j < candidates.size() && !shown; ++j)
            shown = j != i && ShownBy(m, *candidates[j].mount, j < i);
        if (!shown)
            drives.push_back(candidates[i]);
    }

    std::map<std::string, char> letters = store.Load();
    DropInvalidLetters(letters);
    std::set<char> taken;
    for (const auto& [mountPoint, letter] : letters)
        taken.insert(letter);
    bool assigned = false;
    for (const Candidate& d : drives) {
        if (letters.count(d.mount->mountPoint))
            continue;
        char free = kFirstFreeLetter;
        while (free <= kLastLetter && taken.count(free))
            ++free;
        if (free > kLastLetter)
            break;
        letters[d.mount->mountPoint] = free;
        taken.insert(free);
        assigned = true;
    }
    if (assigned)
        store.Save(letters);

    auto makeVolume = [&probes](char letter, DriveType type, const std::string& mountPoint,
                                const MountEntry* m) {
        Volume v;
        v.letter = letter;
        v.type = type;
        v.mountPoint = mountPoint;
        if (probes.space) {
            if (const std::optional<SpaceInfo> space = probes.space(mountPoint)) {
                v.freeBytes = space->freeBytes;
                v.totalBytes = space->totalBytes;
            }
        }
        if (m) {
            v.fsType = m->fsType;
            v.source = m->source;
            // A label belongs to a local device; a network mount has none to ask for.
            if (probes.label && type != DriveType::Network)
                v.label = probes.label(*m);
        }
        return v;
    };

    std::vector<Volume> volumes;
    volumes.push_back(makeVolume('C', DriveType::Fixed, "/", rootMount));
    for (const Candidate& d : drives) {
        const auto it = letters.find(d.mount->mountPoint);
        if (it != letters.end())
            volumes.push_back(makeVolume(it->second, d.type, d.mount->mountPoint, d.mount));
    }
    return CVolumeTable(std::move(volumes));
}

struct CSpaceQuery::State {
    std::mutex mutex;
    std::condition_variable answered;
    // One entry per mount point: empty until it answers.
    std::vector<std::optional<std::optional<SpaceInfo>>> answers;
    size_t pending = 0;

    void Store(size_t i, std::optional<SpaceInfo> answer) {
        {
            std::lock_guard lock(mutex);
            answers[i] = answer;
            --pending;
        }
        answered.notify_all();
    }
};

namespace {

// A probe that throws answers "unknown", like one that fails. The answer is returned, never
// assigned inside the try: built with GCC 12 at -O2, an optional assigned from a call that
// threw was seen to hold a made-up size.
std::optional<SpaceInfo> AskSpace(const CSpaceQuery::Probe& probe, const std::string& mountPoint) {
    try {
        return probe(mountPoint);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

CSpaceQuery::CSpaceQuery(const std::vector<std::string>& mountPoints, Probe probe)
    : m_state(std::make_shared<State>()) {
    m_state->answers.resize(mountPoints.size());
    m_state->pending = mountPoints.size();
    for (size_t i = 0; i < mountPoints.size(); ++i) {
        if (!probe) {
            m_state->Store(i, std::nullopt);
            continue;
        }
        try {
            // The thread gets its own copies: nothing of the caller may be gone by the time
            // a slow file system answers.
            std::thread([state = m_state, i, mountPoint = mountPoints[i], probe] {
                state->Store(i, AskSpace(probe, mountPoint));
            }).detach();
        } catch (const std::system_error&) {
            m_state->Store(i, std::nullopt); // no thread to be had: the size stays unknown
        }
    }
}

bool CSpaceQuery::Answered(size_t i) const {
    std::lock_guard lock(m_state->mutex);
    return i < m_state->answers.size() && m_state->answers[i].has_value();
}

std::optional<SpaceInfo> CSpaceQuery::Answer(size_t i) const {
    std::lock_guard lock(m_state->mutex);
    if (i >= m_state->answers.size() || !m_state->answers[i])
        return std::nullopt;
    return *m_state->answers[i];
}

bool CSpaceQuery::AllAnswered() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->pending == 0;
}

bool CSpaceQuery::WaitUntil(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(m_state->mutex);
    return m_state->answered.wait_until(lock, deadline, [this] { return m_state->pending == 0; });
}
