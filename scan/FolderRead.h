// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/UniqueFd.h"
#include "profiles/CProfile.h"
#include "scan/CStopEvent.h"
#include "scan/ScanContext.h"
#include "scan/Wildcard.h"

#include <fcntl.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// How every folder of a walk is opened.
inline constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// Searches of one walk by their index in it, in ascending order.
using SearchSet = std::vector<std::uint16_t>;

// What one walk of a folder tree looks for: every search it serves, with the patterns of all
// of them matched once per name however many searches share them.
struct WalkTargets {
    struct Search {
        const CProfile* profile = nullptr;
        std::vector<std::uint16_t> patterns; // the profile's patterns, in its order, as indices
    };
    std::vector<Search> searches;
    std::vector<CWildcard> patterns; // distinct
    std::vector<std::string> patternTexts;
    size_t words = 1; // words of a file's match mask
    // Searches that begin at a folder inside the walk's root, by its real path with a trailing
    // "/"; they join the walk where it reaches that folder.
    std::unordered_map<std::string, SearchSet> nested;
    size_t longestNested = 0;

    // Adds a search for the profile; its index is the number of searches before it.
    void Add(const CProfile& profile);
    // The walkers of a folder split over its subfolder name: those that take every file
    // directly inside it, and those that walk it.
    void Split(const SearchSet& walkers, std::string_view name, SearchSet& takers,
               SearchSet& walk) const;
    // The searches that begin at the folder of this real path (with a trailing "/"), or null.
    const SearchSet* NestedAt(const std::string& path) const;
};

// A regular file of a folder that a search of the walk may take, as a look at it found it.
struct FileEntry {
    std::uint32_t nameOff = 0;
    std::uint32_t nameLen = 0;
    bool seen = false;    // it could be looked at
    bool regular = false; // and was a regular file then
    std::uint64_t size = 0;
    std::time_t mtime = 0;
    long mtimeNsec = 0;
    dev_t dev = 0;
    ino_t ino = 0;
};

// What one reading of a folder keeps: the files some search may take, with the patterns each
// matches, and the subfolders. Everything else is dropped as soon as it is seen.
struct FolderData {
    FolderId id;
    bool all = false;       // every regular file is kept, not only those a pattern matches
    bool subs = false;      // the subfolders were noted
    bool usable = true;     // false: a read-ahead that could not open or read the folder
    int readError = 0;      // errno of a listing cut short; what was read is still used
    std::string names;      // the files' names, each ended by '\0'
    std::vector<FileEntry> files;
    std::vector<std::uint64_t> masks; // per file, `words` words: bit p set when pattern p matches
    std::string subfolders; // names, each ended by '\0', in listing order
    std::vector<ino_t> subInos; // per subfolder, the inode number its listing entry gave
    UniqueFd fd; // the folder itself, when a read-ahead kept it open for the walk

    const char* NameOf(const FileEntry& f) const { return names.data() + f.nameOff; }
    bool Matches(const WalkTargets& t, size_t file, std::uint16_t pattern) const {
        return (masks[file * t.words + pattern / 64] >> (pattern % 64)) & 1u;
    }
};

// What the walks of a scan did, for the benchmark and the tests.
struct WalkStats {
    size_t walkReads = 0;   // folders the walk read itself
    size_t workerReads = 0; // folders read ahead by workers
    size_t evicted = 0;     // read ahead, then dropped to make room for a nearer one
    size_t handedOver = 0;  // read ahead and taken with their descriptor: not opened again
    size_t mostHeld = 0;    // most descriptors kept open for the walk at once
};

// Told of the progress of a walk, on the walking thread.
class CWalkProgress {
public:
    virtual ~CWalkProgress() = default;
    virtual void Pump() = 0;
    // Called every few milliseconds while the walk waits for a folder being read ahead: a
    // window then processes its events when they are due, not after a count of calls made
    // for directory entries.
    virtual void PumpWhileWaiting() { Pump(); }
};

// Reads the open folder fd once: every regular file when all is set, else those some pattern
// of the walk matches, each looked at (not followed); its subfolders when subs is set. The stop
// is tested for every entry. progress, when given, is pumped for every entry. False when a stop
// was requested.
bool ReadFolderData(int fd, const WalkTargets& targets, bool all, bool subs,
                    const CStopEvent& stop, std::vector<char>& buffer, FolderData& out,
                    CWalkProgress* progress);

// The identity of an open folder; zero when it cannot be looked at.
FolderId IdOf(int fd);
