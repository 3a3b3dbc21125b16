// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/ReadAhead.h"

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>

CReadAhead::CReadAhead(int rootFd, const std::string& rootPath, const WalkTargets& targets,
                       const CScanContext& context, const CStopEvent& stop, unsigned threads,
                       bool forWindow)
    : m_rootFd(rootFd), m_rootPath(rootPath), m_targets(targets), m_context(context),
      m_stop(stop), m_nThreads(threads), m_bForWindow(forWindow) {
    rlimit files{};
    m_mostHeld = kHeldDescriptors;
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        m_mostHeld = std::min<size_t>(m_mostHeld, files.rlim_cur / 4);
}

CReadAhead::~CReadAhead() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_work.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

void CReadAhead::ChildJobs(const Key& key, const std::string& rel, std::string_view subfolders,
                           std::uint32_t ordinal, const SearchSet& walkers,
                           Pending& out) const {
    if (key.size() >= kMaxDepth || walkers.empty())
        return;
    const std::string parentPath = m_rootPath + rel;
    std::string_view parentName;
    if (parentPath.size() > 1) {
        const size_t end = parentPath.size() - 1;
        const size_t begin = parentPath.rfind('/', end - 1) + 1;
        parentName = std::string_view(parentPath).substr(begin, end - begin);
    }
    SearchSet takers, walk;
    for (size_t pos = 0; pos < subfolders.size(); ++ordinal) {
        const char* name = subfolders.data() + pos;
        const size_t len = std::strlen(name);
        pos += len + 1;
        // The walk skips these without opening them.
        if (IsVolumeTrashName(parentName, name) || IsHomeTrashName(parentPath, name))
            continue;
        m_targets.Split(walkers, std::string_view(name, len), takers, walk);
        if (!m_targets.nested.empty())
            if (const SearchSet* n = m_targets.NestedAt(parentPath + name + "/"))
                walk.insert(walk.end(), n->begin(), n->end());
        Key child;
        child.reserve(key.size() + 1);
        child.assign(key.begin(), key.end());
        child.push_back(ordinal);
        Job job;
        job.rel = rel + name;
        job.walkers = walk;
        job.all = !takers.empty();
        out.emplace_hint(out.end(), std::move(child), std::move(job));
    }
}

void CReadAhead::QueueChildren(const Key& key, const std::string& rel,
                               std::string_view subfolders, std::uint32_t firstOrdinal,
                               const SearchSet& walkers) {
    if (m_nThreads == 0)
        return;
    Pending jobs;
    ChildJobs(key, rel, subfolders, firstOrdinal, walkers, jobs);
    if (jobs.empty())
        return;
    unsigned wake = 0;
    {
        std::lock_guard lock(m_mutex);
        Queue(jobs);
        // Started only for a walk that has folders to read ahead.
        while (m_threads.size() < m_nThreads)
            m_threads.emplace_back([this] { Work(); });
        if (Room() > 0)
            wake = std::min<unsigned>(m_idle, static_cast<unsigned>(m_pending.size()));
    }
    for (; wake > 0; --wake)
        m_work.notify_one();
}

void CReadAhead::Queue(Pending& staged) {
    // A folder read again (its read-ahead made room for a nearer one) has its subfolders
    // queued already, or read: they are not read twice.
    for (auto it = staged.begin(); it != staged.end();) {
        const Key& k = it->first;
        if (m_walkAt < k && !Reading(k) && !m_ready.count(k))
            m_pending.insert(m_pending.end(), staged.extract(it++));
        else
            ++it;
    }
}

void CReadAhead::Drop(Ready::iterator last) {
    while (m_ready.begin() != last) {
        auto node = m_ready.extract(m_ready.begin());
        if (node.mapped() && node.mapped()->fd)
            --m_held;
        m_dropped.push_back(std::move(node));
    }
}

std::unique_ptr<FolderData> CReadAhead::Take(const Key& key, CWalkProgress& progress) {
    std::unique_ptr<FolderData> data;
    bool wake = false;
    {
        std::unique_lock lock(m_mutex);
        if (m_walkAt < key)
            m_walkAt = key;
        while (!m_pending.empty() && !(key < m_pending.begin()->first))
            m_passed.push_back(m_pending.extract(m_pending.begin()));
        Drop(m_ready.lower_bound(key));
        if (Reading(key) && !m_stop.IsSet()) {
            m_walkWaits = true;
            while (Reading(key) && !m_stop.IsSet()) {
                // The window stays responsive while a worker finishes the folder.
                if (!m_done.wait_for(lock, std::chrono::milliseconds(10),
                                     [&] { return !Reading(key); })) {
                    lock.unlock();
                    progress.PumpWhileWaiting();
                    lock.lock();
                }
            }
            m_walkWaits = false;
        }
        const auto it = m_ready.find(key);
        if (it != m_ready.end()) {
            auto node = m_ready.extract(it);
            data = std::move(node.mapped());
            m_dropped.push_back(std::move(node));
            if (data && data->fd)
                --m_held;
        }
        // Workers that wait for room are woken once there is room for several folders, not
        // for every one taken.
        wake = m_idle > 0 && !m_pending.empty() && Room() >= kWakeRoom;
    }
    if (wake)
        m_work.notify_one();
    // Freed and closed without the lock held.
    m_passed.clear();
    m_dropped.clear();
    return data;
}

void CReadAhead::WaitUntilRead() {
    std::unique_lock lock(m_mutex);
    m_allWaits = true;
    m_done.wait(lock, [this] {
        return m_stop.IsSet() ||
               (m_reading.empty() && (m_pending.empty() || m_ready.size() >= kWindow));
    });
    m_allWaits = false;
}

void CReadAhead::AddStats(WalkStats& stats) {
    std::lock_guard lock(m_mutex);
    stats.workerReads += m_stats.workerReads;
    stats.evicted += m_stats.evicted;
    stats.mostHeld = std::max(stats.mostHeld, m_stats.mostHeld);
}

void CReadAhead::Work() {
    // Idle priority: the readers then run on the cores the walk leaves free and never keep a
    // window's walk from its events; what they read waits for the walk anyway. Refused or not,
    // the reading goes on.
    if (m_bForWindow) {
        const sched_param idle{};
        ::sched_setscheduler(0, SCHED_IDLE, &idle);
    }
    std::vector<char> buffer(64 * 1024);
    // Everything a job needs is made and freed without the lock held: the job itself, what
    // was read (until it is put in the window) and the jobs for its subfolders.
    Pending::node_type job, done;
    Pending children;
    Ready staging;
    std::string rel;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_quit || m_stop.IsSet())
            return;
        // A folder found late may be wanted sooner than the farthest one read: that one makes
        // room. It stays in the page cache, so the walk reads it again from memory; what was
        // read below it stays.
        if (!m_pending.empty() && Room() == 0 && !m_ready.empty() &&
            m_pending.begin()->first < std::prev(m_ready.end())->first) {
            auto last = std::prev(m_ready.end());
            if (last->second && last->second->fd)
                --m_held;
            m_ready.erase(last);
            ++m_stats.evicted;
        }
        if (m_pending.empty() || Room() == 0) {
            // A stop is noticed within a moment even when nothing wakes the worker.
            ++m_idle;
            m_work.wait_for(lock, std::chrono::milliseconds(50));
            --m_idle;
            continue;
        }
        job = m_pending.extract(m_pending.begin());
        const Key& key = job.key();
        m_reading.push_back(&key);
        ++m_stats.workerReads;
        // Another idle worker takes the next one, if there is one and room for it.
        const bool wakeOther = m_idle > 0 && !m_pending.empty() && Room() > 0;
        lock.unlock();
        if (wakeOther)
            m_work.notify_one();
        done = {};
        children.clear();
        staging.clear();

        auto data = std::make_unique<FolderData>();
        const Job& j = job.mapped();
        UniqueFd fd;
        if (OpenAtNoFollow(m_rootFd, j.rel.c_str(), kOpenFolderFlags, fd, true)) {
            data->usable = false;
        } else {
            data->id = IdOf(fd.get());
            // The walk does not enter the user's trash, whatever way it is reached.
            const bool homeTrash = m_context.homeTrash && data->id == *m_context.homeTrash;
            data->usable = !homeTrash &&
                           ReadFolderData(fd.get(), m_targets, j.all, !j.walkers.empty(), m_stop,
                                          buffer, *data, nullptr);
        }
        if (data->usable && data->subs) {
            rel.assign(j.rel).push_back('/');
            ChildJobs(key, rel, data->subfolders, 0, j.walkers, children);
        }
        // Kept open while few are, so the walk needs not open the folder again.
        bool keep = false;
        if (data->usable) {
            size_t held = m_held.load();
            while (held < m_mostHeld && !m_held.compare_exchange_weak(held, held + 1)) {
            }
            keep = held < m_mostHeld;
        }
        if (keep)
            data->fd = std::move(fd);
        else
            fd.reset();
        staging.emplace(key, std::move(data));

        lock.lock();
        m_reading.erase(std::find(m_reading.begin(), m_reading.end(), &key));
        // A folder the walk went past meanwhile is not wanted, nor anything below it.
        if (!(key < m_walkAt) && !m_ready.count(key)) {
            if (keep)
                m_stats.mostHeld = std::max(m_stats.mostHeld, m_held.load());
            m_ready.insert(staging.extract(staging.begin()));
            Queue(children);
        } else if (keep) {
            staging.begin()->second->fd.reset();
            --m_held;
        }
        if ((m_walkWaits && key == m_walkAt) || m_allWaits)
            m_done.notify_all();
        done = std::move(job); // freed once the lock is let go
    }
}
