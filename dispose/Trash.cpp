// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/Trash.h"

#include "platform/FileIo.h"
#include "platform/RenameNoReplace.h"
#include "platform/TrustedPath.h"
#include "platform/XdgDirs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int kFolder = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr char kInfoSuffix[] = ".trashinfo";
constexpr size_t kSuffixDigits = 12;
// Room for the record's suffix and for "." and a suffix in a later attempt.
constexpr size_t kMaxBaseName = NAME_MAX - (sizeof kInfoSuffix - 1) - 1 - kSuffixDigits;
constexpr int kAttempts = 16;

constexpr char kNoHome[] = "neither XDG_DATA_HOME nor HOME names the home folder";
constexpr char kHomeTrash[] = "the home trash cannot be used";
constexpr char kVolumeTrash[] = "the trash of its file system cannot be used";
constexpr char kNotOurs[] = "the trash of its file system belongs to another user";
constexpr char kRecord[] = "the trash record could not be written";
constexpr char kOtherMount[] =
    "the trash of its file system is on another mount; files are never copied to a trash";
constexpr char kNoFreeName[] = "no free name was found in the trash";

// Makes the folder name in dir (0700) unless it is there, and opens it without following a
// link. An existing one must be a folder.
FsError MakeFolderAt(int dir, const char* name, UniqueFd& out, const char* step) {
    if (::mkdirat(dir, name, 0700) != 0 && errno != EEXIST)
        return FsError::System(errno, step);
    out.reset(::openat(dir, name, kFolder));
    if (!out)
        return FsError::System(errno, step);
    return {};
}

// Opens folder, making it and its missing parents (0700) first. The folders that are there
// are reached through trusted links only, as the scan reaches its own.
FsError MakeFolders(const std::string& folder, UniqueFd& out, int depth = 0) {
    TrustedFolder found;
    const FsError missing = OpenTrustedFolder(folder, found);
    if (!missing) {
        out = std::move(found.fd);
        return {};
    }
    std::string parent, name;
    if (missing.Code() != ENOENT || depth > 64 || SplitPath(folder, parent, name))
        return FsError::System(missing.Code(), kHomeTrash);
    UniqueFd up;
    if (FsError e = MakeFolders(parent, up, depth + 1))
        return e;
    return MakeFolderAt(up.get(), name.c_str(), out, kHomeTrash);
}

FsError OpenFilesAndInfo(int trash, UniqueFd& files, UniqueFd& info, const char* step) {
    if (FsError e = MakeFolderAt(trash, "files", files, step))
        return e;
    return MakeFolderAt(trash, "info", info, step);
}

// The device a folder made at path would be on: that of path or its nearest existing parent.
bool DeviceOf(std::string path, dev_t& dev) {
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            dev = st.st_dev;
            return true;
        }
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos || path == "/")
            return false;
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
}

struct MountPlace {
    std::uint64_t mount = 0;
    bool mountKnown = false;
    dev_t dev = 0;
    ino_t ino = 0;
};

bool PlaceOf(int fd, MountPlace& place) {
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &sx) != 0)
        return false;
    place.mountKnown = (sx.stx_mask & STATX_MNT_ID) != 0;
    place.mount = sx.stx_mnt_id;
    place.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    place.ino = sx.stx_ino;
    return true;
}

// The top folder of the mount dir is on, found by climbing while the parent is on the same
// mount; its path is folder's with as many components taken off.
FsError FindTop(int dir, std::string folder, UniqueFd& top, std::string& topPath) {
    UniqueFd cur(::openat(dir, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    MountPlace here;
    if (!cur || !PlaceOf(cur.get(), here))
        return FsError::System(errno, kVolumeTrash);
    while (folder != "/") {
        UniqueFd up(::openat(cur.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        MountPlace above;
        if (!up || !PlaceOf(up.get(), above))
            return FsError::System(errno, kVolumeTrash);
        const bool sameMount = here.mountKnown && above.mountKnown ? above.mount == here.mount
                                                                   : above.dev == here.dev;
        if (!sameMount || (above.dev == here.dev && above.ino == here.ino))
            break;
        cur = std::move(up);
        here = above;
        const size_t slash = folder.rfind('/');
        folder = slash == 0 ? "/" : folder.substr(0, slash);
    }
    top = std::move(cur);
    topPath = folder;
    return {};
}

bool OwnedFolder(int fd, uid_t uid) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid;
}

} // namespace

std::string EncodeTrashPath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            b == '-' || b == '_' || b == '.' || b == '~' || b == '/') {
            out += c;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
    return out;
}

std::string TrashName(const std::string& name, int attempt, std::uint64_t suffix) {
    size_t dot = name.rfind('.');
    if (dot == 0 || dot == std::string::npos || name.size() - dot > 16)
        dot = name.size(); // no extension worth keeping (".bashrc", a dot far from the end)
    std::string stem = name.substr(0, dot);
    const std::string ext = name.substr(dot);
    if (stem.size() + ext.size() > kMaxBaseName) {
        stem.resize(kMaxBaseName - ext.size());
        // Not in the middle of a UTF-8 sequence.
        while (!stem.empty() && (static_cast<unsigned char>(stem.back()) & 0xC0) == 0x80)
            stem.pop_back();
        if (!stem.empty() && static_cast<unsigned char>(stem.back()) >= 0xC0)
            stem.pop_back();
    }
    if (attempt == 0)
        return stem + ext;
    static const char hex[] = "0123456789abcdef";
    std::string digits(kSuffixDigits, '0');
    for (size_t i = 0; i < kSuffixDigits; ++i)
        digits[kSuffixDigits - 1 - i] = hex[(suffix >> (4 * i)) & 15];
    return stem + "." + digits + ext;
}

CTrash::CTrash() : m_uid(::geteuid()), m_random(std::random_device{}()) {
    m_dataHome = XdgDataHome();
    if (!m_dataHome.empty())
        m_homeDevKnown = DeviceOf(m_dataHome + "/Trash", m_homeDev);
}

const std::string& CTrash::Now() {
    const std::time_t now = std::time(nullptr);
    if (now != m_stampTime) {
        m_stampTime = now;
        std::tm tm{};
        char buf[32] = "";
        if (localtime_r(&now, &tm))
            std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
        m_stamp = buf;
    }
    return m_stamp;
}

void CTrash::OpenHomeBin(Bin& bin) {
    if (m_dataHome.empty()) {
        bin.error = FsError::Refused(ENOENT, kNoHome);
        return;
    }
    UniqueFd data, trash;
    if (!(bin.error = MakeFolders(m_dataHome, data)))
        if (!(bin.error = MakeFolderAt(data.get(), "Trash", trash, kHomeTrash)))
            bin.error = OpenFilesAndInfo(trash.get(), bin.files, bin.info, kHomeTrash);
}

void CTrash::OpenTopBin(Bin& bin, const HeldFile& file, const std::string& path) {
    std::string folder, name;
    if ((bin.error = SplitPath(path, folder, name)))
        return;
    UniqueFd top;
    if ((bin.error = FindTop(file.dir.get(), folder, top, bin.top)))
        return;
    const std::string uid = std::to_string(m_uid);
    UniqueFd trash;
    // The shared .Trash only when it is what an administrator made: a real folder with the
    // sticky bit, so that nobody can take another's folder in it.
    struct stat st {};
    if (::fstatat(top.get(), ".Trash", &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX)) {
        UniqueFd shared(::openat(top.get(), ".Trash", kFolder));
        if (shared && !MakeFolderAt(shared.get(), uid.c_str(), trash, kVolumeTrash) &&
            !OwnedFolder(trash.get(), m_uid))
            trash.reset();
    }
    if (!trash) {
        const std::string own = ".Trash-" + uid;
        if ((bin.error = MakeFolderAt(top.get(), own.c_str(), trash, kVolumeTrash)))
            return;
        if (!OwnedFolder(trash.get(), m_uid)) {
            bin.error = FsError::Refused(EPERM, kNotOurs);
            return;
        }
    }
    bin.error = OpenFilesAndInfo(trash.get(), bin.files, bin.info, kVolumeTrash);
}

CTrash::Bin& CTrash::BinFor(const HeldFile& file, const std::string& path) {
    const dev_t dev = file.st.st_dev;
    auto it = m_bins.find(dev);
    if (it != m_bins.end())
        return it->second;
    Bin& bin = m_bins[dev];
    if (m_homeDevKnown && dev == m_homeDev)
        OpenHomeBin(bin);
    else
        OpenTopBin(bin, file, path);
    return bin;
}

FsError CTrash::Put(const HeldFile& file, const std::string& path, std::string* trashedAs) {
    Bin& bin = BinFor(file, path);
    if (bin.error)
        return bin.error;
    // Under its mount's top the record holds the path from there, so that the trash still
    // fits when the file system is mounted elsewhere.
    std::string record = path;
    if (!bin.top.empty()) {
        const size_t from = bin.top == "/" ? 1 : bin.top.size() + 1;
        if (path.size() > from && path.compare(0, bin.top.size(), bin.top) == 0 &&
            (bin.top == "/" || path[bin.top.size()] == '/'))
            record = path.substr(from);
    }
    const std::string text =
        "[Trash Info]\nPath=" + EncodeTrashPath(record) + "\nDeletionDate=" + Now() + "\n";

    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = TrashName(file.name, attempt, attempt == 0 ? 0 : m_random());
        const std::string infoName = name + kInfoSuffix;
        UniqueFd info(::openat(bin.info.get(), infoName.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!info) {
            if (errno == EEXIST)
                continue;
            return FsError::System(errno, kRecord);
        }
        FsError e = WriteAll(info.get(), text);
        if (::close(info.release()) != 0 && !e)
            e = FsError::System(errno);
        if (e) {
            ::unlinkat(bin.info.get(), infoName.c_str(), 0);
            return FsError::System(e.Code(), kRecord);
        }
        // Right before the rename: still the file that was held.
        if (FsError changed = CheckStillSame(file)) {
            ::unlinkat(bin.info.get(), infoName.c_str(), 0);
            return changed;
        }
        const FsError moved = RenameNoReplace(file.dir.get(), file.name, bin.files.get(), name);
        if (!moved) {
            if (trashedAs)
                *trashedAs = name;
            return {};
        }
        ::unlinkat(bin.info.get(), infoName.c_str(), 0);
        if (moved.Code() == EEXIST) // a file without its record
            continue;
        if (moved.Code() == EXDEV)
            return FsError::Refused(EXDEV, kOtherMount);
        return moved;
    }
    return FsError::Refused(EEXIST, kNoFreeName);
}

FsError MoveToTrash(const std::string& path) {
    HeldFile file;
    if (FsError e = HoldFile(path, file))
        return e;
    CTrash trash;
    return trash.Put(file, path);
}
