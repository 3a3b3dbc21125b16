#include "scan/ReadAhead.h"

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

#include <chrono>
#include <iterator>
#include <cstring>

CReadAhead::CReadAhead(int rootFd, const std::string& rootPath, const WalkTargets& targets,
                       const CScanContext& context, const CStopEvent& stop, unsigned threads)
    : m_rootFd(rootFd), m_rootPath(rootPath), m_targets(targets), m_context(context),
      m_stop(stop), m_nThreads(threads) {}

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
    {
        std::lock_guard lock(m_mutex);
        for (auto& [k, job] : jobs)
            if (m_walkAt < k)
                m_pending.emplace(std::move(k), std::move(job));
        // Started only for a walk that has folders to read ahead.
        while (m_threads.size() < m_nThreads)
            m_threads.emplace_back([this] { Work(); });
    }
    m_work.notify_all();
}

std::unique_ptr<FolderData> CReadAhead::Take(const Key& key, CWalkProgress& progress) {
    std::unique_ptr<FolderData> data;
    {
        std::unique_lock lock(m_mutex);
        if (m_walkAt < key)
            m_walkAt = key;
        m_pending.erase(m_pending.begin(), m_pending.upper_bound(key));
        m_ready.erase(m_ready.begin(), m_ready.lower_bound(key));
        while (m_reading.count(key) && !m_stop.IsSet()) {
            // The window stays responsive while a worker finishes the folder.
            if (!m_done.wait_for(lock, std::chrono::milliseconds(10),
                                 [&] { return !m_reading.count(key); })) {
                lock.unlock();
                progress.Pump();
                lock.lock();
            }
        }
        const auto it = m_ready.find(key);
        if (it != m_ready.end()) {
            data = std::move(it->second);
            m_ready.erase(it);
        }
        if (m_pending.empty())
            return data;
    }
    m_work.notify_one(); // room for one more
    return data;
}

void CReadAhead::WaitUntilRead() {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] {
        return m_stop.IsSet() ||
               (m_reading.empty() && (m_pending.empty() || m_ready.size() >= kWindow));
    });
}

void CReadAhead::Work() {
    std::vector<char> buffer(64 * 1024);
    std::vector<std::pair<Key, Job>> children;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_quit || m_stop.IsSet())
            return;
        // A folder found late may be wanted sooner than the farthest one read: that one makes
        // room. It stays in the page cache, so the walk reads it again from memory.
        if (!m_pending.empty() && m_reading.size() + m_ready.size() >= kWindow &&
            !m_ready.empty() && m_pending.begin()->first < std::prev(m_ready.end())->first)
            m_ready.erase(std::prev(m_ready.end()));
        if (m_pending.empty() || m_reading.size() + m_ready.size() >= kWindow) {
            // A stop is noticed within a moment even when nothing wakes the worker.
            m_work.wait_for(lock, std::chrono::milliseconds(50));
            continue;
        }
        auto job = m_pending.extract(m_pending.begin());
        const Key& key = job.key();
        m_reading.insert(key);
        lock.unlock();

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
        fd.reset();
        children.clear();
        if (data->usable && data->subs)
            ChildJobs(key, job.mapped().rel + "/", data->subfolders, 0, job.mapped().walkers,
                      children);

        lock.lock();
        m_reading.erase(key);
        // A folder the walk went past meanwhile is not wanted, nor anything below it.
        if (!(key < m_walkAt)) {
            m_ready.emplace(key, std::move(data));
            for (auto& [k, j] : children)
                m_pending.emplace(std::move(k), std::move(j));
            // This worker takes one of them; others may take the rest.
            for (size_t n = 1; n < children.size() && n < m_nThreads; ++n)
                m_work.notify_one();
        }
        m_done.notify_all();
    }
}
