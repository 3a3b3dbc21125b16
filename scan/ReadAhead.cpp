#include "scan/ReadAhead.h"

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstring>

CReadAhead::CReadAhead(int rootFd, const std::string& rootPath, const WalkTargets& targets,
                       const CScanContext& context, const CStopEvent& stop, unsigned threads)
    : m_rootFd(rootFd), m_rootPath(rootPath), m_targets(targets), m_context(context),
      m_stop(stop), m_nThreads(threads) {
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
                           std::vector<std::pair<Key, Job>>& out) const {
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
        Key child = key;
        child.push_back(ordinal);
        Job job;
        job.rel = rel + name;
        job.walkers = walk;
        job.all = !takers.empty();
        out.emplace_back(std::move(child), std::move(job));
    }
}

void CReadAhead::QueueChildren(const Key& key, const std::string& rel,
                               std::string_view subfolders, std::uint32_t firstOrdinal,
                               const SearchSet& walkers) {
    if (m_nThreads == 0)
        return;
    std::vector<std::pair<Key, Job>> jobs;
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

void CReadAhead::Queue(std::vector<std::pair<Key, Job>>& jobs) {
    // A folder read again (its read-ahead made room for a nearer one) has its subfolders
    // queued already, or read: they are not read twice.
    for (auto& [k, job] : jobs)
        if (m_walkAt < k && !Reading(k) && !m_ready.count(k))
            m_pending.emplace(std::move(k), std::move(job));
}

void CReadAhead::Drop(Ready::iterator first, Ready::iterator last,
                      std::vector<std::unique_ptr<FolderData>>& dropped) {
    for (auto it = first; it != last; ++it)
        if (it->second && it->second->fd) {
            --m_held;
            dropped.push_back(std::move(it->second));
        }
    m_ready.erase(first, last);
}

std::unique_ptr<FolderData> CReadAhead::Take(const Key& key, CWalkProgress& progress) {
    std::unique_ptr<FolderData> data;
    std::vector<std::unique_ptr<FolderData>> dropped; // closed after the lock is let go
    bool wake = false;
    {
        std::unique_lock lock(m_mutex);
        if (m_walkAt < key)
            m_walkAt = key;
        m_pending.erase(m_pending.begin(), m_pending.upper_bound(key));
        Drop(m_ready.begin(), m_ready.lower_bound(key), dropped);
        if (Reading(key) && !m_stop.IsSet()) {
            // A worker is at it and will be done soon: a few yields cost less than sleeping.
            for (int spin = 0; spin < kSpins && Reading(key); ++spin) {
                lock.unlock();
                std::this_thread::yield();
                lock.lock();
            }
            m_walkWaits = true;
            while (Reading(key) && !m_stop.IsSet()) {
                // The window stays responsive while a worker finishes the folder.
                if (!m_done.wait_for(lock, std::chrono::milliseconds(10),
                                     [&] { return !Reading(key); })) {
                    lock.unlock();
                    progress.Pump();
                    lock.lock();
                }
            }
            m_walkWaits = false;
        }
        const auto it = m_ready.find(key);
        if (it != m_ready.end()) {
            data = std::move(it->second);
            m_ready.erase(it);
            if (data && data->fd)
                --m_held;
        }
        // Workers that wait for room are woken once there is room for several folders, not
        // for every one taken.
        wake = m_idle > 0 && !m_pending.empty() && Room() >= kWakeRoom;
    }
    if (wake)
        m_work.notify_one();
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
    std::vector<char> buffer(64 * 1024);
    std::vector<std::pair<Key, Job>> children;
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
        auto job = m_pending.extract(m_pending.begin());
        const Key& key = job.key();
        m_reading.push_back(key);
        ++m_stats.workerReads;
        // Another idle worker takes the next one, if there is one and room for it.
        const bool wakeOther = m_idle > 0 && !m_pending.empty() && Room() > 0;
        lock.unlock();
        if (wakeOther)
            m_work.notify_one();

        auto data = std::make_unique<FolderData>();
        UniqueFd fd = OpenAtNoFollow(m_rootFd, job.mapped().rel.c_str(), kOpenFolderFlags, true);
        if (!fd) {
            data->usable = false;
        } else {
            data->id = IdOf(fd.get());
            // The walk does not enter the user's trash, whatever way it is reached.
            const bool homeTrash = m_context.homeTrash && data->id == *m_context.homeTrash;
            data->usable = !homeTrash &&
                           ReadFolderData(fd.get(), m_targets, job.mapped().all,
                                          !job.mapped().walkers.empty(), m_stop, buffer, *data,
                                          nullptr);
        }
        children.clear();
        if (data->usable && data->subs)
            ChildJobs(key, job.mapped().rel + "/", data->subfolders, 0, job.mapped().walkers,
                      children);

        lock.lock();
        m_reading.erase(std::find(m_reading.begin(), m_reading.end(), key));
        // A folder the walk went past meanwhile is not wanted, nor anything below it.
        if (!(key < m_walkAt) && !m_ready.count(key)) {
            // Kept open while few are, so the walk needs not open the folder again.
            if (data->usable && m_held < m_mostHeld) {
                data->fd = std::move(fd);
                m_stats.mostHeld = std::max(m_stats.mostHeld, ++m_held);
            }
            m_ready.emplace(key, std::move(data));
            Queue(children);
        }
        if ((m_walkWaits && key == m_walkAt) || m_allWaits)
            m_done.notify_all();
        if (fd || (data && data->fd)) {
            // Closed without the lock held.
            lock.unlock();
            fd.reset();
            data.reset();
            lock.lock();
        }
    }
}
