// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/Walker.h"

#include "platform/SafeFile.h"
#include "platform/TrustedPath.h"
#include "platform/UniqueFd.h"
#include "scan/ReadAhead.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// Descriptors kept open for the nearest ancestors of the folder being read, besides the
// root's own. A farther one is given up and its folder reopened on the way back up, so a
// tree of any depth is walked within a small, fixed number of descriptors.
constexpr size_t kOpenAncestors = 16;

// Why the subfolder name of dirfd could not be opened, given the error of the attempt: a
// folder swapped for something else since the listing is said to be so.
std::string WhyNotOpened(int dirfd, const char* name, int error) {
    struct stat st {};
    if ((error == ENOTDIR || error == ELOOP) &&
        ::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            return "it is a symbolic link now";
        if (!S_ISDIR(st.st_mode))
            return "it is not a folder any more";
    }
    return ErrorText(error);
}

// A folder on the way from the root down to the one being read.
struct Frame {
    UniqueFd fd;            // open while among the nearest ancestors
    FolderId id;            // to know the folder again when it is reopened
    std::string subfolders; // names still to visit, each ended by '\0', in listing order
    std::vector<ino_t> subInos; // per subfolder, the inode number the listing gave
    size_t next = 0;        // where the next of them starts
    std::uint32_t ordinal = 0; // how many of them were visited
    size_t pathLen = 0;     // length of the walk's path up to and including this folder's "/"
    size_t nameLen = 0;     // its name ends just before that "/"
    SearchSet walkers;      // the searches that walk this folder
};

// One walk of a folder tree for several searches. Each search sees exactly what a walk of its
// own would: a folder's own files first (its patterns in its order, or every file of a folder
// it names), then its subfolders in listing order, each walked the same way before the next.
// The folder is read once for all of them.
class CWalker {
public:
    CWalker(const WalkTargets& targets, const std::vector<FolderId>& nestedIds,
            const CStopEvent& stop, CWalkOutput& out, const CScanContext& context,
            const SearchRunOptions& options, std::vector<bool>& reached)
        : m_t(targets), m_nestedIds(nestedIds), m_stop(stop), m_out(out), m_context(context),
          m_nThreads(options.readAheadThreads), m_bAlways(options.readAheadAlways),
          m_bForWindow(options.forWindow),
          m_stats(options.stats), m_reached(reached) {}

    void Run(const std::string& realPath, FolderId id, const SearchSet& roots) {
        m_path = realPath;
        UniqueFd at;
        const std::string folder = m_path.size() > 1 ? m_path.substr(0, m_path.size() - 1) : m_path;
        UniqueFd fd;
        if (!OpenFolder(folder, at))
            fd = UniqueFd(::openat(at.get(), ".", kOpenFolderFlags));
        if (!fd || IdOf(fd.get()) != id) {
            for (std::uint16_t s : roots)
                m_out.Report(s, folder + " changed before it was scanned; it was not scanned.");
            return;
        }
        m_frames.clear();
        Frame& f = m_frames.emplace_back();
        f.fd = std::move(fd);
        f.id = id;
        f.pathLen = m_path.size();
        if (m_path.size() > 1)
            f.nameLen = m_path.size() - 1 - (m_path.rfind('/', m_path.size() - 2) + 1);
        f.walkers = roots;
        m_firstOpen = 1;
        m_rootLen = m_path.size();
        m_key.clear();
        m_readAhead.reset();
        if (m_bAlways && m_nThreads > 0)
            m_readAhead = std::make_unique<CReadAhead>(m_frames[0].fd.get(), m_path, m_t,
                                                       m_context, m_stop, m_nThreads, m_bForWindow);
        m_inblock = BlocksRead();
        m_nEntered = 0;
        if (Visit(0, {}, nullptr)) {
            // Depth first without recursion: the stack of frames is the walk's own.
            while (!m_frames.empty()) {
                if (m_stop.IsSet())
                    break;
                const size_t i = m_frames.size() - 1;
                Frame& cur = m_frames[i];
                if (cur.next == cur.subfolders.size()) {
                    Leave();
                    continue;
                }
                const std::string name(cur.subfolders.data() + cur.next);
                cur.next += name.size() + 1;
                const std::uint32_t ordinal = cur.ordinal++;
                m_out.Pump();
                if (!Enter(i, name, ordinal))
                    break;
            }
        }
        // The workers go before the root they read from.
        if (m_readAhead && m_stats)
            m_readAhead->AddStats(*m_stats);
        m_readAhead.reset();
        m_frames.clear();
    }

private:
    std::string_view NameOf(size_t i) const {
        const Frame& f = m_frames[i];
        return std::string_view(m_path).substr(f.pathLen - 1 - f.nameLen, f.nameLen);
    }

    // Opens a subfolder without following a link and only on the walk's own file system.
    static UniqueFd OpenSubfolder(int dirfd, const char* name) {
        UniqueFd fd;
        OpenAtNoFollow(dirfd, name, kOpenFolderFlags, fd, true); // a failure leaves fd closed
        return fd;
    }

    // The file of data, for search s, when it passes the search's limits and is not one of
    // Fernwick's own.
    void Take(std::uint16_t s, const FolderData& data, const FileEntry& e) {
        const CProfile& p = *m_t.searches[s].profile;
        FoundFile f;
        if (e.seen) {
            if (!e.regular)
                return;
            f.size = e.size;
            f.mtime = e.mtime;
            f.mtimeNsec = e.mtimeNsec;
            f.dev = e.dev;
            f.ino = e.ino;
            if (p.m_bUseLimits && !PassesLimits(p, e.size, e.mtime))
                return;
            if (m_context.ownFiles.Contains(e.dev, e.ino))
                return;
            if (m_context.IsRunDestination({}, {}, FolderId{e.dev, e.ino}))
                return;
        } else if (p.m_bUseLimits) {
            return; // vanished: without its size and date the limits cannot be applied
        }
        f.path.reserve(m_path.size() + e.nameLen);
        f.path = m_path;
        f.path.append(data.NameOf(e), e.nameLen);
        if (m_context.ownFiles.Contains(f.path)) // the log, created after the scan began
            return;
        if (m_context.IsRunDestination(m_path, f.path, std::nullopt))
            return;
        m_out.File(s, f);
    }

    // Hands over the files of the folder just read (m_path): for each walker, those its
    // patterns match, pattern by pattern in its order, so the first pattern's files come
    // first as the user ordered them; for each taker, every file in listing order. False
    // when a stop was requested.
    bool Hand(const FolderData& data, const SearchSet& walkers, const SearchSet& takers) {
        if (data.readError) {
            const std::string text =
                m_path + " could not be read to its end: " + ErrorText(data.readError) + ".";
            for (std::uint16_t s : walkers)
                m_out.Report(s, text);
            for (std::uint16_t s : takers)
                m_out.Report(s, text);
        }
        for (std::uint16_t s : walkers)
            for (std::uint16_t p : m_t.searches[s].patterns)
                for (size_t i = 0; i < data.files.size(); ++i) {
                    if (!data.Matches(m_t, i, p))
                        continue;
                    if (m_stop.IsSet())
                        return false;
                    // For a window, per file, as a folder the walk reads itself pumps per
                    // entry: a folder read ahead may hold thousands of files to take.
                    if (m_bForWindow)
                        m_out.Pump();
                    Take(s, data, data.files[i]);
                }
        for (std::uint16_t s : takers)
            for (const FileEntry& e : data.files) {
                if (m_stop.IsSet())
                    return false;
                if (m_bForWindow)
                    m_out.Pump();
                Take(s, data, e);
            }
        return true;
    }

    // Blocks this thread has read from disk so far.
    static long BlocksRead() {
        rusage ru{};
        return ::getrusage(RUSAGE_THREAD, &ru) == 0 ? ru.ru_inblock : 0;
    }

    // Reading ahead pays only when folders come from the disk: from memory, the walk reads a
    // folder in less time than handing it over between threads takes. So the walk reads alone
    // until its own reads start waiting for the disk; the workers then take the subfolders
    // still to visit.
    void MaybeStartReadingAhead() {
        if (m_readAhead || m_nThreads == 0)
            return;
        // Every folder at first, so a cold walk gets help at once; then every few.
        if (++m_nEntered > kCheckEvery && m_nEntered % kCheckEvery != 0)
            return;
        const long blocks = BlocksRead();
        if (blocks - m_inblock < kColdBlocks) {
            if (m_nEntered % kCheckEvery == 0)
                m_inblock = blocks;
            return;
        }
        m_readAhead = std::make_unique<CReadAhead>(m_frames[0].fd.get(), m_path.substr(0, m_rootLen),
                                                   m_t, m_context, m_stop, m_nThreads, m_bForWindow);
        for (size_t i = 0; i < m_frames.size() && i <= CReadAhead::kMaxDepth; ++i) {
            const Frame& f = m_frames[i];
            const CReadAhead::Key key(m_key.begin(), m_key.begin() + static_cast<long>(i));
            m_readAhead->QueueChildren(key, m_path.substr(m_rootLen, f.pathLen - m_rootLen),
                                       std::string_view(f.subfolders).substr(f.next), f.ordinal,
                                       f.walkers);
        }
    }

    // What a worker read of the folder at the walk's key, if anything.
    std::unique_ptr<FolderData> TakeAhead(size_t depth) {
        if (!m_readAhead || depth == 0 || depth > CReadAhead::kMaxDepth)
            return nullptr;
        auto data = m_readAhead->Take(m_key, m_out);
        if (data && !data->usable)
            data.reset();
        return data;
    }

    // Reads the folder fd (id, when known) unless ahead is what a worker read of it for what
    // the walk needs. False when a stop was requested.
    bool Read(size_t depth, int fd, FolderId id, bool all, bool subs,
              std::unique_ptr<FolderData> ahead, FolderData& scratch,
              std::unique_ptr<FolderData>& data, const SearchSet& walkers) {
        if (ahead && (!all || ahead->all) && (!subs || ahead->subs) &&
            ahead->id == (id.ino ? id : IdOf(fd))) {
            data = std::move(ahead);
            return true;
        }
        data.reset();
        if (m_stats)
            ++m_stats->walkReads;
        if (!ReadFolderData(fd, m_t, all, subs, m_stop, m_buffer, scratch, &m_out))
            return false;
        if (m_readAhead && subs && depth <= CReadAhead::kMaxDepth)
            m_readAhead->QueueChildren(m_key, m_path.substr(m_rootLen), scratch.subfolders, 0,
                                       walkers);
        return true;
    }

    // Reads the folder of frame i, hands over its files and notes its subfolders. False when
    // a stop was requested.
    bool Visit(size_t i, const SearchSet& takers, std::unique_ptr<FolderData> ahead) {
        std::unique_ptr<FolderData> data;
        Frame& f = m_frames[i];
        if (!Read(i, f.fd.get(), f.id, !takers.empty(), true, std::move(ahead), m_scratch, data,
                  f.walkers))
            return false;
        FolderData& d = data ? *data : m_scratch;
        f.subfolders.swap(d.subfolders);
        f.subInos.swap(d.subInos);
        return Hand(d, f.walkers, takers);
    }

    // Visits the subfolder name of frame i, the ordinal-th of its subfolders: walks it, or
    // takes its files for the searches that name it. False when a stop was requested.
    bool Enter(size_t i, const std::string& name, std::uint32_t ordinal) {
        // What someone threw away is not for the cleaning to take.
        if (IsVolumeTrashName(NameOf(i), name) || IsHomeTrashName(m_path, name))
            return true;
        const size_t depth = i + 1;
        if (depth <= CReadAhead::kMaxDepth) {
            m_key.resize(i);
            m_key.push_back(ordinal);
        }
        MaybeStartReadingAhead();
        std::unique_ptr<FolderData> ahead = TakeAhead(depth);
        UniqueFd sub;
        FolderId id;
        // The folder a worker kept open is the one the listing named when it has the inode the
        // listing gave (on the walk's file system): it needs not be opened again.
        const Frame& parent = m_frames[i];
        if (ahead && ahead->fd && ahead->id.dev == m_frames[0].id.dev &&
            ordinal < parent.subInos.size() && ahead->id.ino == parent.subInos[ordinal]) {
            sub = std::move(ahead->fd);
            id = ahead->id;
            if (m_stats)
                ++m_stats->handedOver;
        } else {
            if (ahead)
                ahead->fd.reset();
            sub = OpenSubfolder(parent.fd.get(), name.c_str());
        }
        if (!sub) {
            if (errno != EXDEV) { // another file system is not walked, by design
                const std::string text = m_path + name + " could not be opened: " +
                                         WhyNotOpened(m_frames[i].fd.get(), name.c_str(), errno) +
                                         "; it was not scanned.";
                for (std::uint16_t s : m_frames[i].walkers)
                    m_out.Report(s, text);
            }
            return true;
        }
        // Looked at only where it matters: the walk reads most folders without it.
        if (m_context.homeTrash && name == "Trash" &&
            (id.ino ? id : (id = IdOf(sub.get()))) == *m_context.homeTrash)
            return true;

        SearchSet takers, walkers;
        m_t.Split(m_frames[i].walkers, name, takers, walkers);
        const size_t mark = m_path.size();
        m_path += name;
        m_path += '/';
        // A search of a folder inside this one begins here, when it is still that folder.
        if (const SearchSet* nested = m_t.NestedAt(m_path))
            for (std::uint16_t s : *nested)
                if (!m_reached[s] && m_nestedIds[s] == (id.ino ? id : id = IdOf(sub.get()))) {
                    m_reached[s] = true;
                    walkers.push_back(s);
                }
        if (walkers.empty()) {
            std::unique_ptr<FolderData> data;
            const bool go = Read(depth, sub.get(), id, true, false, std::move(ahead), m_scratch,
                                 data, walkers) &&
                            Hand(data ? *data : m_scratch, walkers, takers);
            m_path.resize(mark);
            return go;
        }
        Frame& f = m_frames.emplace_back();
        f.fd = std::move(sub);
        f.id = id;
        f.pathLen = m_path.size();
        f.nameLen = name.size();
        f.walkers = std::move(walkers);
        GiveUpFarDescriptors();
        m_out.Folder(m_path);
        return Visit(m_frames.size() - 1, takers, std::move(ahead));
    }

    void GiveUpFarDescriptors() {
        while (m_frames.size() - m_firstOpen > kOpenAncestors) {
            Frame& f = m_frames[m_firstOpen++];
            if (!f.id.ino)
                f.id = IdOf(f.fd.get()); // to know the folder again
            f.fd.reset();
        }
    }

    // The deepest folder is done: back up to its parent, reopened if its descriptor was
    // given up.
    void Leave() {
        const size_t i = m_frames.size() - 1;
        if (i > 0 && !m_frames[i - 1].fd && !Reopen(i - 1))
            return; // the stack was cut back to where the walk can go on
        m_frames.pop_back();
        m_firstOpen = std::max<size_t>(1, std::min(m_firstOpen, m_frames.size()));
        if (!m_frames.empty())
            m_path.resize(m_frames.back().pathLen);
    }

    // Reopens folder j from its child j + 1, which is open, and checks that it is the folder
    // that was left.
    bool Reopen(size_t j) {
        UniqueFd up(::openat(m_frames[j + 1].fd.get(), "..", kOpenFolderFlags));
        if (up && IdOf(up.get()) == m_frames[j].id) {
            m_frames[j].fd = std::move(up);
            m_firstOpen = j;
            return true;
        }
        return ReopenByName(j); // the child was moved elsewhere meanwhile
    }

    // Reopens folder j by its names from the root, checking each on the way. A folder that is
    // no longer the one walked ends the walk of it: the stack is cut back to its parent,
    // which then goes on with its next subfolder. False in that case.
    bool ReopenByName(size_t j) {
        UniqueFd held;
        for (size_t k = 1; k <= j; ++k) {
            const std::string name(NameOf(k));
            UniqueFd next = OpenSubfolder(k == 1 ? m_frames[0].fd.get() : held.get(), name.c_str());
            if (!next || IdOf(next.get()) != m_frames[k].id) {
                // Told to every search that walked below it: each loses the rest of it.
                SearchSet told;
                for (size_t d = k; d < m_frames.size(); ++d)
                    for (std::uint16_t s : m_frames[d].walkers)
                        if (std::find(told.begin(), told.end(), s) == told.end())
                            told.push_back(s);
                const std::string text = m_path.substr(0, m_frames[k].pathLen - 1) +
                                         " changed while it was being scanned; the rest of it "
                                         "was not scanned.";
                for (std::uint16_t s : told)
                    m_out.Report(s, text);
                m_frames.resize(k);
                if (k > 1)
                    m_frames[k - 1].fd = std::move(held);
                m_firstOpen = std::max<size_t>(1, k - 1);
                m_path.resize(m_frames[k - 1].pathLen);
                return false;
            }
            held = std::move(next);
        }
        m_frames[j].fd = std::move(held);
        m_firstOpen = j;
        return true;
    }

    const WalkTargets& m_t;
    const std::vector<FolderId>& m_nestedIds;
    const CStopEvent& m_stop;
    CWalkOutput& m_out;
    const CScanContext& m_context;
    const unsigned m_nThreads;
    const bool m_bAlways;
    const bool m_bForWindow;
    WalkStats* const m_stats;
    std::vector<bool>& m_reached;
    // Folders entered between two looks at the blocks read, and the blocks read in that
    // while that tell a cold cache.
    static constexpr int kCheckEvery = 16;
    static constexpr long kColdBlocks = 8;
    std::unique_ptr<CReadAhead> m_readAhead; // once the walk waits for the disk
    long m_inblock = 0;
    long m_nEntered = 0;
    CReadAhead::Key m_key; // the place of the folder last entered, down to kMaxDepth
    std::vector<Frame> m_frames;
    size_t m_firstOpen = 1; // frames from here down hold descriptors; above, only the first
    size_t m_rootLen = 0;
    std::string m_path;     // the deepest frame's folder, with a trailing "/"
    FolderData m_scratch;   // a folder read by the walk itself
    std::vector<char> m_buffer = std::vector<char>(64 * 1024); // directory records
};

} // namespace

SearchRunOptions::SearchRunOptions() : readAheadThreads(kReadAheadThreads) {}

void WalkTogether(const std::string& realPath, FolderId id, const SearchSet& roots,
                  const WalkTargets& targets, const std::vector<FolderId>& nestedIds,
                  const CStopEvent& stop, CWalkOutput& out, const CScanContext& context,
                  const SearchRunOptions& options, std::vector<bool>& reached) {
    reached.assign(targets.searches.size(), false);
    CWalker(targets, nestedIds, stop, out, context, options, reached)
        .Run(realPath, id, roots);
}
