#include "scan/ScanEngine.h"

#include "platform/UniqueFd.h"
#include "scan/Wildcard.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <memory>
#include <vector>

namespace {

struct Entry {
    std::string name;
    unsigned char type; // DT_REG, DT_DIR, DT_LNK ... or DT_UNKNOWN until asked
};

constexpr int kOpenDir = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

class CWalker {
public:
    CWalker(const CProfile& profile, const CStopEvent& stop, CScanSink& sink)
        : m_profile(profile), m_stop(stop), m_sink(sink) {
        m_patterns.reserve(profile.m_lstPatterns.size());
        for (const auto& p : profile.m_lstPatterns)
            m_patterns.emplace_back(p);
        m_hits.resize(m_patterns.size());
    }

    void Run(const std::string& folder) {
        m_sink.OnFolder(folder);
        m_path = folder;
        if (!m_path.empty() && m_path[0] != '/') {
            char cwd[PATH_MAX];
            if (!::getcwd(cwd, sizeof cwd))
                return;
            m_path = std::string(cwd) + "/" + m_path;
        }
        if (m_path.empty() || m_path.back() != '/')
            m_path += '/';
        if (m_stop.IsSet())
            return;
        // Opened without its trailing "/": a trailing slash would make the kernel follow a
        // link in the last component despite O_NOFOLLOW.
        std::string bare = m_path;
        while (bare.size() > 1 && bare.back() == '/')
            bare.pop_back();
        UniqueFd fd(::open(bare.c_str(), kOpenDir));
        struct stat st {};
        if (!fd || ::fstat(fd.get(), &st) != 0)
            return;
        m_dev = st.st_dev;
        Walk(std::move(fd));
    }

private:
    // Reads a folder once; the entries serve every pattern and the subfolder walk. Reads the
    // kernel's records directly with a large buffer: fewer calls than readdir makes.
    bool ReadFolder(int fd, std::vector<Entry>& entries) {
        for (;;) {
            const ssize_t n = ::getdents64(fd, m_buffer.data(), m_buffer.size());
            if (n == 0)
                return true;
            if (n < 0)
                return !entries.empty(); // keep what was read before a failure
            for (ssize_t off = 0; off < n;) {
                const auto* d = reinterpret_cast<const dirent64*>(m_buffer.data() + off);
                off += d->d_reclen;
                const char* name = d->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                entries.push_back({name, d->d_type});
            }
        }
    }

    // The entry's type where the file system did not say.
    static unsigned char TypeOf(int dirfd, Entry& e) {
        if (e.type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(dirfd, e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                e.type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_LNK;
        }
        return e.type;
    }

    // Opens a subfolder without following a link and only on the walk's own file system.
    UniqueFd OpenSubfolder(int dirfd, const std::string& name) const {
        // openat2 refuses links and mount crossings in the same call; older kernels lack it.
        static std::atomic<bool> s_noOpenat2{false};
        if (!s_noOpenat2.load(std::memory_order_relaxed)) {
            open_how how{};
            how.flags = kOpenDir;
            how.resolve = RESOLVE_NO_XDEV | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
            const long fd = ::syscall(SYS_openat2, dirfd, name.c_str(), &how, sizeof how);
            if (fd >= 0 || errno != ENOSYS)
                return UniqueFd(static_cast<int>(fd));
            s_noOpenat2.store(true, std::memory_order_relaxed);
        }
        UniqueFd fd(::openat(dirfd, name.c_str(), kOpenDir));
        struct stat st {};
        if (fd && (::fstat(fd.get(), &st) != 0 || st.st_dev != m_dev))
            fd.reset();
        return fd;
    }

    void TakeIfPasses(int dirfd, const Entry& e) {
        struct stat st {};
        FoundFile f;
        if (::fstatat(dirfd, e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (!S_ISREG(st.st_mode))
                return;
            f.size = static_cast<std::uint64_t>(st.st_size);
            f.mtime = st.st_mtime;
            if (m_profile.m_bUseLimits && !PassesLimits(m_profile, *f.size, f.mtime))
                return;
        } else if (m_profile.m_bUseLimits || e.type != DT_REG) {
            return; // vanished: without its size and date the limits cannot be applied
        }
        f.path = m_path + e.name;
        m_sink.OnFileTaken(f);
    }

    void Walk(UniqueFd fd) {
        std::vector<Entry> entries;
        const int dirfd = fd.get();
        if (!ReadFolder(dirfd, entries))
            return;

        // One pass over the entries finds each pattern's files; they are then taken pattern
        // by pattern, so the first pattern's files come first as the user ordered them.
        for (auto& hits : m_hits)
            hits.clear();
        for (size_t i = 0; i < entries.size(); ++i) {
            if (m_stop.IsSet())
                return;
            m_sink.Pump();
            Entry& e = entries[i];
            if (e.type != DT_REG && e.type != DT_UNKNOWN)
                continue;
            for (size_t p = 0; p < m_patterns.size(); ++p)
                if (m_patterns[p].Matches(e.name))
                    m_hits[p].push_back(i);
        }
        for (size_t p = 0; p < m_patterns.size(); ++p) {
            for (size_t i : m_hits[p]) {
                if (m_stop.IsSet())
                    return;
                Entry& e = entries[i];
                const unsigned char t = TypeOf(dirfd, e);
                if (t == DT_REG || t == DT_UNKNOWN)
                    TakeIfPasses(dirfd, e);
            }
        }

        for (Entry& e : entries) {
            if (m_stop.IsSet())
                return;
            m_sink.Pump();
            if (TypeOf(dirfd, e) != DT_DIR)
                continue;
            UniqueFd sub = OpenSubfolder(dirfd, e.name);
            if (!sub)
                continue;
            const size_t mark = m_path.size();
            m_path += e.name;
            m_path += '/';
            if (IsFolderName(e.name))
                TakeAllFiles(std::move(sub));
            else {
                m_sink.OnFolder(m_path);
                Walk(std::move(sub));
            }
            m_path.resize(mark);
        }
    }

    // A folder named in the profile: every regular file directly inside is taken.
    void TakeAllFiles(UniqueFd fd) {
        std::vector<Entry> entries;
        const int dirfd = fd.get();
        if (!ReadFolder(dirfd, entries))
            return;
        for (Entry& e : entries) {
            if (m_stop.IsSet())
                return;
            m_sink.Pump();
            const unsigned char t = TypeOf(dirfd, e);
            if (t == DT_REG || t == DT_UNKNOWN)
                TakeIfPasses(dirfd, e);
        }
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
    std::vector<CWildcard> m_patterns;
    // Per pattern, the entries of the folder being read that match it. Shared by all levels:
    // a folder's files are taken before any of its subfolders is read.
    std::vector<std::vector<size_t>> m_hits;
    std::string m_path; // the folder being read, with a trailing "/"
    std::vector<char> m_buffer = std::vector<char>(64 * 1024); // directory records
    dev_t m_dev = 0;
};

} // namespace

void SearchFolder(const std::string& folder, const CProfile& profile, const CStopEvent& stop,
                  CScanSink& sink) {
    CWalker(profile, stop, sink).Run(folder);
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
