#include "scan/ScanEngine.h"

#include "platform/SafeFile.h"
#include "platform/TrustedPath.h"
#include "platform/UniqueFd.h"
#include "scan/Wildcard.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr int kOpenDir = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// Descriptors kept open for the nearest ancestors of the folder being read, besides the
// listed folder's own. A farther one is given up and its folder reopened on the way back up,
// so a tree of any depth is walked within a small, fixed number of descriptors.
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

bool IsDots(const char* n) { return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)); }

FolderId IdOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {};
    return {st.st_dev, st.st_ino};
}

// The entry's type where the file system did not say: DT_UNKNOWN when it cannot be looked at.
unsigned char TypeAt(int dirfd, const char* name) {
    struct stat st {};
    if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return DT_UNKNOWN;
    return S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_LNK;
}

// A folder on the way from the listed folder down to the one being read.
struct Frame {
    UniqueFd fd;            // open while among the nearest ancestors
    FolderId id;            // noted when the descriptor is given up, to know the folder again
    std::string subfolders; // names still to visit, each ended by '\0', in listing order
    size_t next = 0;        // where the next of them starts
    size_t pathLen = 0;     // length of the walk's path up to and including this folder's "/"
    size_t nameLen = 0;     // its name ends just before that "/"
};

class CWalker {
public:
    CWalker(const CProfile& profile, const CStopEvent& stop, CScanSink& sink,
            const CScanContext& context)
        : m_profile(profile), m_stop(stop), m_sink(sink), m_context(context) {
        m_patterns.reserve(profile.m_lstPatterns.size());
        for (const auto& p : profile.m_lstPatterns)
            m_patterns.emplace_back(p);
        m_hits.resize(m_patterns.size());
    }

    void Run(const std::string& folder) {
        m_sink.OnFolder(folder);
        if (m_stop.IsSet())
            return;
        // Resolved once, to the real path: files are found, and later disposed of, there.
        TrustedFolder top = OpenTrustedFolder(folder);
        if (!top.fd) {
            NotScanned(folder, top.reason);
            return;
        }
        if (m_context.IsInTrash(top.fd.get(), top.path)) {
            NotScanned(folder, top.path + " is a trash folder or lies in one");
            return;
        }
        UniqueFd fd(::openat(top.fd.get(), ".", kOpenDir));
        if (!fd) {
            NotScanned(folder, top.path + " cannot be read: " + ErrorText(errno));
            return;
        }
        top.fd.reset();
        const FolderId id = IdOf(fd.get());
        m_path = top.path;
        if (m_path.back() != '/')
            m_path += '/';
        m_frames.clear();
        Frame& f = m_frames.emplace_back();
        f.fd = std::move(fd);
        f.id = id;
        f.pathLen = m_path.size();
        if (m_path.size() > 1)
            f.nameLen = m_path.size() - 1 - (m_path.rfind('/', m_path.size() - 2) + 1);
        m_firstOpen = 1;
        if (!ReadFolder(0))
            return;

        // Depth first without recursion: the stack of frames is the walk's own.
        while (!m_frames.empty()) {
            if (m_stop.IsSet())
                return;
            const size_t i = m_frames.size() - 1;
            Frame& cur = m_frames[i];
            if (cur.next == cur.subfolders.size()) {
                Leave();
                continue;
            }
            const std::string name(cur.subfolders.data() + cur.next);
            cur.next += name.size() + 1;
            m_sink.Pump();
            if (!Enter(i, name))
                return;
        }
    }

private:
    void Report(const std::string& text) const { m_context.Report(text); }
    void NotScanned(const std::string& folder, const std::string& why) const {
        Report(folder + " was not scanned: " + why + ".");
    }

    std::string_view NameOf(size_t i) const {
        const Frame& f = m_frames[i];
        return std::string_view(m_path).substr(f.pathLen - 1 - f.nameLen, f.nameLen);
    }

    // Opens a subfolder without following a link and only on the walk's own file system.
    static UniqueFd OpenSubfolder(int dirfd, const char* name) {
        return OpenAtNoFollow(dirfd, name, kOpenDir, true);
    }

    void TakeIfPasses(int dirfd, const char* name, size_t len) {
        struct stat st {};
        FoundFile f;
        if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (!S_ISREG(st.st_mode))
                return;
            f.size = static_cast<std::uint64_t>(st.st_size);
            f.mtime = st.st_mtime;
            f.mtimeNsec = st.st_mtim.tv_nsec;
            f.dev = st.st_dev;
            f.ino = st.st_ino;
            if (m_profile.m_bUseLimits && !PassesLimits(m_profile, *f.size, f.mtime))
                return;
            if (m_context.ownFiles.Contains(st.st_dev, st.st_ino))
                return;
        } else if (m_profile.m_bUseLimits) {
            return; // vanished: without its size and date the limits cannot be applied
        }
        f.path.reserve(m_path.size() + len);
        f.path = m_path;
        f.path.append(name, len);
        if (m_context.ownFiles.Contains(f.path)) // the log, created after the scan began
            return;
        m_sink.OnFileTaken(f);
    }

    // Reads folder i once. Its files matching a pattern are noted per pattern and taken when
    // the reading is done, pattern by pattern, so the first pattern's files come first as the
    // user ordered them; its subfolders are noted in its frame; every other entry is dropped
    // as soon as it is seen. False when a stop was requested.
    bool ReadFolder(size_t i) {
        const int fd = m_frames[i].fd.get();
        for (auto& hits : m_hits)
            hits.clear();
        for (;;) {
            const ssize_t n = ::getdents64(fd, m_buffer.data(), m_buffer.size());
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                Report(m_path + " could not be read to its end: " + ErrorText(errno) + ".");
                break; // what was read is still used
            }
            for (ssize_t off = 0; off < n;) {
                const auto* d = reinterpret_cast<const dirent64*>(m_buffer.data() + off);
                off += d->d_reclen;
                const char* name = d->d_name;
                if (IsDots(name))
                    continue;
                if (m_stop.IsSet())
                    return false;
                m_sink.Pump();
                const unsigned char type = d->d_type == DT_UNKNOWN ? TypeAt(fd, name) : d->d_type;
                const size_t len = std::strlen(name);
                if (type == DT_DIR) {
                    m_frames[i].subfolders.append(name, len + 1);
                } else if (type == DT_REG) {
                    const std::string_view view(name, len);
                    for (size_t p = 0; p < m_patterns.size(); ++p)
                        if (m_patterns[p].Matches(view))
                            m_hits[p].append(name, len + 1);
                }
            }
        }
        for (const std::string& hits : m_hits) {
            for (size_t pos = 0; pos < hits.size();) {
                if (m_stop.IsSet())
                    return false;
                const char* name = hits.data() + pos;
                const size_t len = std::strlen(name);
                pos += len + 1;
                TakeIfPasses(fd, name, len);
            }
        }
        return true;
    }

    // A folder named in the profile: every regular file directly inside is taken.
    bool TakeAllFiles(int fd) {
        for (;;) {
            const ssize_t n = ::getdents64(fd, m_buffer.data(), m_buffer.size());
            if (n == 0)
                return true;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                Report(m_path + " could not be read to its end: " + ErrorText(errno) + ".");
                return true;
            }
            for (ssize_t off = 0; off < n;) {
                const auto* d = reinterpret_cast<const dirent64*>(m_buffer.data() + off);
                off += d->d_reclen;
                const char* name = d->d_name;
                if (IsDots(name))
                    continue;
                if (m_stop.IsSet())
                    return false;
                m_sink.Pump();
                const unsigned char type = d->d_type == DT_UNKNOWN ? TypeAt(fd, name) : d->d_type;
                if (type == DT_REG)
                    TakeIfPasses(fd, name, std::strlen(name));
            }
        }
    }

    // Visits the subfolder name of frame i: walks it, or takes its files when the profile
    // names it. False when a stop was requested.
    bool Enter(size_t i, const std::string& name) {
        // What someone threw away is not for the cleaning to take.
        if (IsVolumeTrashName(NameOf(i), name) || IsHomeTrashName(m_path, name))
            return true;
        UniqueFd sub = OpenSubfolder(m_frames[i].fd.get(), name.c_str());
        if (!sub) {
            if (errno != EXDEV) // another file system is not walked, by design
                Report(m_path + name + " could not be opened: " +
                       WhyNotOpened(m_frames[i].fd.get(), name.c_str(), errno) +
                       "; it was not scanned.");
            return true;
        }
        if (m_context.homeTrash && name == "Trash" && IdOf(sub.get()) == *m_context.homeTrash)
            return true;

        const size_t mark = m_path.size();
        m_path += name;
        m_path += '/';
        if (IsFolderName(name)) {
            const bool go = TakeAllFiles(sub.get());
            m_path.resize(mark);
            return go;
        }
        Frame& f = m_frames.emplace_back();
        f.fd = std::move(sub);
        f.pathLen = m_path.size();
        f.nameLen = name.size();
        GiveUpFarDescriptors();
        m_sink.OnFolder(m_path);
        return ReadFolder(m_frames.size() - 1);
    }

    void GiveUpFarDescriptors() {
        while (m_frames.size() - m_firstOpen > kOpenAncestors) {
            Frame& f = m_frames[m_firstOpen++];
            f.id = IdOf(f.fd.get());
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
        UniqueFd up(::openat(m_frames[j + 1].fd.get(), "..", kOpenDir));
        if (up && IdOf(up.get()) == m_frames[j].id) {
            m_frames[j].fd = std::move(up);
            m_firstOpen = j;
            return true;
        }
        return ReopenByName(j); // the child was moved elsewhere meanwhile
    }

    // Reopens folder j by its names from the listed folder, checking each on the way. A
    // folder that is no longer the one walked ends the walk of it: the stack is cut back to
    // its parent, which then goes on with its next subfolder. False in that case.
    bool ReopenByName(size_t j) {
        UniqueFd held;
        for (size_t k = 1; k <= j; ++k) {
            const std::string name(NameOf(k));
            UniqueFd next = OpenSubfolder(k == 1 ? m_frames[0].fd.get() : held.get(), name.c_str());
            if (!next || IdOf(next.get()) != m_frames[k].id) {
                Report(m_path.substr(0, m_frames[k].pathLen - 1) +
                       " changed while it was being scanned; the rest of it was not scanned.");
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

    bool IsFolderName(const std::string& name) const {
        for (const auto& f : m_profile.m_lstFolders)
            if (f == name)
                return true;
        return false;
    }

    const CProfile& m_profile;
    const CStopEvent& m_stop;
    CScanSink& m_sink;
    const CScanContext& m_context;
    std::vector<CWildcard> m_patterns;
    // Per pattern, the names (each ended by '\0') of the files of the folder being read that
    // match it. Shared by all levels: a folder's files are taken before any subfolder is read.
    std::vector<std::string> m_hits;
    std::vector<Frame> m_frames;
    size_t m_firstOpen = 1; // frames from here down hold descriptors; above, only the first
    std::string m_path;     // the deepest frame's folder, with a trailing "/"
    std::vector<char> m_buffer = std::vector<char>(64 * 1024); // directory records
};

} // namespace

void SearchFolder(const std::string& folder, const CProfile& profile, const CStopEvent& stop,
                  CScanSink& sink, const CScanContext& context) {
    CWalker(profile, stop, sink, context).Run(folder);
}

void SearchFolder(const std::string& folder, const CProfile& profile, const CStopEvent& stop,
                  CScanSink& sink) {
    const CScanContext context = CScanContext::AtScanStart();
    SearchFolder(folder, profile, stop, sink, context);
}

bool PassesLimits(const CProfile& p, std::uint64_t size, std::time_t mtime) {
    if (!p.m_bUseLimits)
        return true;
    return mtime < p.m_timeOlderThan || size < p.m_dwMinSize || size > p.m_dwMaxSize;
}

std::string GetFileSizeText(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    return std::to_string(static_cast<std::uint64_t>(st.st_size));
}

std::string FormatFileTime(std::time_t t) {
    // English day and month names whatever the process's locale.
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return {};
    char buf[128];
    const size_t n = ::strftime_l(buf, sizeof buf, "%H:%M:%S %A, %B %d, %Y", &tm, c);
    return std::string(buf, n);
}
