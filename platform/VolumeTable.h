// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The pages and scheduled command lines name drives by letter ("/dCD"). Here the mounted file
// systems a user would clean stand in for drives: "/" is always C, the others get letters from
// D on, remembered per mount point so a scheduled run keeps naming the same volumes.

enum class DriveType { Removable, Fixed, Network, Ram };

// One line of /proc/self/mountinfo. Root, mount point and source are decoded (\040 -> blank).
struct MountEntry {
    int mountId = 0;
    int parentId = 0;
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;       // the folder of the file system seen at the mount point
    std::string mountPoint;
    std::string options;
    std::string fsType;
    std::string source;
    std::string superOptions;
};

// The well-formed lines of a mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// Undoes the kernel's octal escapes (\040, \011, \012, \134) in mountinfo fields.
std::string DecodeMountField(std::string_view field);
// Undoes udev's \xHH escapes in /dev/disk/by-label names.
std::string DecodeLabelName(std::string_view name);

struct Volume {
    char letter = 'C';
    DriveType type = DriveType::Fixed;
    std::string mountPoint; // the drive's root
    std::string fsType;
    std::string source;
    std::optional<std::uint64_t> freeBytes;  // what the user may use
    std::optional<std::uint64_t> totalBytes;
    std::string label; // empty when there is none or it cannot be found

    // "C: /" - how the drive is shown.
    std::string Text() const;
};

// The letters given to mount points, kept across runs. C is never stored.
class IDriveLetterStore {
public:
    virtual ~IDriveLetterStore() = default;
    virtual std::map<std::string, char> Load() = 0;
    virtual void Save(const std::map<std::string, char>& letters) = 0;
};

inline constexpr char kFirstFreeLetter = 'D';
inline constexpr char kLastLetter = 'Z';

// Removes what a store must not hand back: letters outside D..Z, keys that are not absolute
// mount points other than "/", and every entry of a letter given to more than one mount point.
void DropInvalidLetters(std::map<std::string, char>& letters);

struct SpaceInfo {
    std::uint64_t freeBytes = 0;
    std::uint64_t totalBytes = 0;
};

// What the table asks the system about each mount. An empty function or an empty answer
// leaves the value unknown.
struct VolumeProbes {
    std::function<std::optional<SpaceInfo>(const std::string& mountPoint)> space;
    std::function<bool(const MountEntry&)> removable;
    std::function<std::string(const MountEntry&)> label;
};

// The probes of this machine. The folders are parameters so tests can stand in their own.
VolumeProbes SystemProbes(const std::string& sysDir = "/sys",
                          const std::string& labelDir = "/dev/disk/by-label");

// The type a mount's row gets, or nothing when it gets no row (pseudo and image file systems,
// system folders). Does not look at bind mounts or at other mounts.
std::optional<DriveType> ClassifyMount(const MountEntry& mount, bool removableDevice);

inline constexpr const char* kMountInfoPath = "/proc/self/mountinfo";

class CVolumeTable {
public:
    CVolumeTable() = default;
    explicit CVolumeTable(std::vector<Volume> volumes);

    // The table of this machine; letters come from and new ones go to store.
    static CVolumeTable Load(IDriveLetterStore& store, const VolumeProbes& probes = SystemProbes(),
                             const std::string& mountInfoPath = kMountInfoPath);
    // The table for naming drives by letter: letters, mount points and types from the mount
    // table and store alone. Nothing is asked of the mounts themselves (no free space, label
    // or device), so a network file system that does not answer cannot hold it up; sizes and
    // labels stay unknown and removable media are known only by where they are mounted.
    static CVolumeTable LoadLetters(IDriveLetterStore& store,
                                    const std::string& mountInfoPath = kMountInfoPath);

    // The drive of a letter, either case; null when there is none.
    const Volume* Find(char letter) const;
    // All drives in letter order.
    const std::vector<Volume>& Volumes() const { return m_volumes; }

private:
    std::vector<Volume> m_volumes;
};

// The table of the given mounts. C is there even without a "/" entry. The store is written
// only when a mount got a letter for the first time.
CVolumeTable BuildVolumeTable(const std::vector<MountEntry>& mounts, IDriveLetterStore& store,
                              const VolumeProbes& probes);

// Asks the free space of several mount points at once, each on a thread of its own, so that a
// network file system that does not answer holds up neither the caller nor the other answers.
// A thread that is still waiting when the query is destroyed is left behind, detached: it owns
// copies of everything it touches, so it may finish (or never finish) after the query, its
// owner or the window that showed it are gone, and it never keeps the program from ending.
class CSpaceQuery {
public:
    using Probe = std::function<std::optional<SpaceInfo>(const std::string& mountPoint)>;

    CSpaceQuery(const std::vector<std::string>& mountPoints, Probe probe);
    CSpaceQuery(const CSpaceQuery&) = delete;
    CSpaceQuery& operator=(const CSpaceQuery&) = delete;

    // Whether mount point i has answered (an answer may be "unknown" when its probe failed).
    bool Answered(size_t i) const;
    // The answer of mount point i; nothing while it has not answered or when its probe failed.
    std::optional<SpaceInfo> Answer(size_t i) const;
    // True once every mount point has answered.
    bool AllAnswered() const;
    // Waits until every mount point has answered or the deadline has passed; true when all did.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline) const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};
