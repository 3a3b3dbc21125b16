// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/FolderRead.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Worker threads that read the folders a walk will visit next while the walk hands over
// what it found in its own order. A folder is known by its place in the walk: the position
// of each folder on the way down among its parent's subfolders, so the folders still to
// come sort in the order the walk visits them, and the nearest are read first.
//
// Bounded: at most kWindow folders are being read or wait to be taken, each holding only the
// files a search may take and its subfolder names; each worker holds one folder open while it
// reads it, and at most kHeldDescriptors of the folders waiting keep theirs open for the walk,
// which then needs not open them again. A worker reaches its folder from the walk's root by
// name, following no link and not leaving the root's file system; the walk takes what was
// read only when it is the folder its own listing named.
class CReadAhead {
public:
    using Key = std::vector<std::uint32_t>;
    // Folders deeper below the root than this are read by the walk alone.
    static constexpr size_t kMaxDepth = 48;
    static constexpr size_t kWindow = 256;
    // At most this many of them, and a quarter of the process's open-file limit.
    static constexpr size_t kHeldDescriptors = kWindow;
    // Room in the window that wakes a worker waiting for room.
    static constexpr size_t kWakeRoom = kWindow / 8;


    CReadAhead(int rootFd, const std::string& rootPath, const WalkTargets& targets,
               const CScanContext& context, const CStopEvent& stop, unsigned threads,
               bool forWindow = false);
    ~CReadAhead();
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    // The subfolders (each ended by '\0', the first the firstOrdinal-th of its folder) of
    // the folder at key, whose path below the root is rel ("" for the root itself, else
    // ending in "/") and that the searches of walkers walk: each is queued for reading.
    void QueueChildren(const Key& key, const std::string& rel, std::string_view subfolders,
                       std::uint32_t firstOrdinal, const SearchSet& walkers);
    // What was read of the folder at key, waiting while a worker reads it; null when nothing
    // was. The walk is at key now: whatever comes before it is dropped.
    std::unique_ptr<FolderData> Take(const Key& key, CWalkProgress& progress);
    // Waits until the workers have read every queued folder the window has room for.
    void WaitUntilRead();
    // Adds what the workers did so far to stats.
    void AddStats(WalkStats& stats);

private:
    struct Job {
        std::string rel; // path below the root, no trailing "/"
        SearchSet walkers;
        bool all = false;
    };
    using Pending = std::map<Key, Job>;
    using Ready = std::map<Key, std::unique_ptr<FolderData>>;
    // The jobs for the subfolders of the folder at key (rel as in QueueChildren).
    void ChildJobs(const Key& key, const std::string& rel, std::string_view subfolders,
                   std::uint32_t ordinal, const SearchSet& walkers, Pending& out) const;
    void Work();
    // Moves the jobs of staged not queued, read or being read already to the queue; under
    // the lock. Nodes are moved, not made: the lock is held as briefly as can be.
    void Queue(Pending& staged);
    // Frees room in the window: folders of m_ready before last go to m_dropped, to be closed
    // and freed once the lock is let go.
    void Drop(Ready::iterator last);
    size_t Room() const { return kWindow - std::min(kWindow, m_reading.size() + m_ready.size()); }
    bool Reading(const Key& key) const {
        return std::find_if(m_reading.begin(), m_reading.end(),
                            [&](const Key* k) { return *k == key; }) != m_reading.end();
    }

    const int m_rootFd;
    const std::string m_rootPath; // with a trailing "/"
    const WalkTargets& m_targets;
    const CScanContext& m_context;
    const CStopEvent& m_stop;
    const unsigned m_nThreads;
    const bool m_bForWindow; // the walk runs on a window's thread

    std::mutex m_mutex;
    std::condition_variable m_work; // a job or room for one
    std::condition_variable m_done; // the folder the walk waits for was read
    Pending m_pending;
    std::vector<const Key*> m_reading; // the keys of the jobs the workers hold
    Ready m_ready;
    Key m_walkAt; // where the walk is: nothing at or before it is wanted any more
    // What Take let go, freed by the walk after it let go of the lock.
    std::vector<Pending::node_type> m_passed;
    std::vector<Ready::node_type> m_dropped;
    // Wake-ups cost more than the work they hand over: a thread is woken only when someone
    // waits for what happened.
    unsigned m_idle = 0;       // workers waiting for a job or room
    bool m_walkWaits = false;  // the walk waits for m_walkAt to be read
    bool m_allWaits = false;   // WaitUntilRead waits
    std::atomic<size_t> m_held{0}; // descriptors kept open in m_ready, or about to be
    size_t m_mostHeld;         // the bound on m_held
    WalkStats m_stats;
    bool m_quit = false;
    std::vector<std::thread> m_threads;
};
