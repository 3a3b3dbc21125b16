// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/FolderRead.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

namespace {

bool IsDots(const char* n) { return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)); }

// The entry's type where the file system did not say: DT_UNKNOWN when it cannot be looked at.
unsigned char TypeAt(int dirfd, const char* name) {
    struct stat st {};
    if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return DT_UNKNOWN;
    return S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_LNK;
}

} // namespace

FolderId IdOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {};
    return {st.st_dev, st.st_ino};
}

void WalkTargets::Add(const CProfile& profile) {
    Search& s = searches.emplace_back();
    s.profile = &profile;
    for (const std::string& p : profile.m_lstPatterns) {
        // The same text twice is one pattern to match, taken twice as the profile says.
        auto it = std::find(patternTexts.begin(), patternTexts.end(), p);
        if (it == patternTexts.end()) {
            patternTexts.push_back(p);
            patterns.emplace_back(p);
            it = patternTexts.end() - 1;
        }
        s.patterns.push_back(static_cast<std::uint16_t>(it - patternTexts.begin()));
    }
    words = std::max<size_t>(1, (patterns.size() + 63) / 64);
}

void WalkTargets::Split(const SearchSet& walkers, std::string_view name, SearchSet& takers,
                        SearchSet& walk) const {
    takers.clear();
    walk.clear();
    for (std::uint16_t s : walkers) {
        const auto& names = searches[s].profile->m_lstFolders;
        if (std::find(names.begin(), names.end(), name) != names.end())
            takers.push_back(s);
        else
            walk.push_back(s);
    }
}

const SearchSet* WalkTargets::NestedAt(const std::string& path) const {
    if (nested.empty() || path.size() > longestNested)
        return nullptr;
    const auto it = nested.find(path);
    return it == nested.end() ? nullptr : &it->second;
}

bool ReadFolderData(int fd, const WalkTargets& t, bool all, bool subs, const CStopEvent& stop,
                    std::vector<char>& buffer, FolderData& out, CWalkProgress* progress) {
    out.all = all;
    out.subs = subs;
    out.readError = 0;
    out.names.clear();
    out.files.clear();
    out.masks.clear();
    out.subfolders.clear();
    out.subInos.clear();
    // On the stack for the usual few patterns: this runs for every folder.
    std::uint64_t few[4];
    std::vector<std::uint64_t> many(t.words > 4 ? t.words : 0);
    const std::span<std::uint64_t> mask(t.words > 4 ? many.data() : few, t.words);
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            out.readError = errno;
            break;
        }
        for (ssize_t off = 0; off < n;) {
            const auto* d = reinterpret_cast<const dirent64*>(buffer.data() + off);
            off += d->d_reclen;
            const char* name = d->d_name;
            if (IsDots(name))
                continue;
            if (stop.IsSet())
                return false;
            if (progress)
                progress->Pump();
            const unsigned char type = d->d_type == DT_UNKNOWN ? TypeAt(fd, name) : d->d_type;
            const size_t len = std::strlen(name);
            if (type == DT_DIR) {
                if (subs) {
                    out.subfolders.append(name, len + 1);
                    out.subInos.push_back(d->d_ino);
                }
                continue;
            }
            if (type != DT_REG)
                continue;
            const std::string_view view(name, len);
            bool any = false;
            std::fill(mask.begin(), mask.end(), 0);
            for (size_t p = 0; p < t.patterns.size(); ++p)
                if (t.patterns[p].Matches(view)) {
                    mask[p / 64] |= std::uint64_t{1} << (p % 64);
                    any = true;
                }
            if (!any && !all)
                continue;
            FileEntry& f = out.files.emplace_back();
            f.nameOff = static_cast<std::uint32_t>(out.names.size());
            f.nameLen = static_cast<std::uint32_t>(len);
            out.names.append(name, len + 1);
            out.masks.insert(out.masks.end(), mask.begin(), mask.end());
        }
    }
    // Looked at once, whatever number of searches take them.
    for (FileEntry& f : out.files) {
        if (stop.IsSet())
            return false;
        struct stat st {};
        if (::fstatat(fd, out.NameOf(f), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        f.seen = true;
        f.regular = S_ISREG(st.st_mode);
        f.size = static_cast<std::uint64_t>(st.st_size);
        f.mtime = st.st_mtime;
        f.mtimeNsec = st.st_mtim.tv_nsec;
        f.dev = st.st_dev;
        f.ino = st.st_ino;
    }
    return true;
}
