// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/ScanContext.h"

#include "platform/UniqueFd.h"
#include "platform/XdgDirs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>

namespace {

bool AllDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

std::string HomeTrashPath() {
    const std::string data = XdgDataHome();
    return data.empty() ? std::string() : data + "/Trash";
}

bool IsVolumeTrashName(std::string_view parentName, std::string_view name) {
    constexpr std::string_view kPrefix = ".Trash-";
    if (name.starts_with(kPrefix) && AllDigits(name.substr(kPrefix.size())))
        return true;
    return parentName == ".Trash" && AllDigits(name);
}

bool IsHomeTrashName(std::string_view parentPath, std::string_view name) {
    return name == "Trash" && parentPath.ends_with("/.local/share/");
}

namespace {

std::optional<FolderId> FileIdentity(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FolderId{st.st_dev, st.st_ino};
}

// The archive's path with its folder resolved, as the scan names the files it finds.
std::string RealArchivePath(const std::string& archive) {
    const size_t slash = archive.rfind('/');
    if (archive.empty() || slash == std::string::npos || slash + 1 == archive.size())
        return archive;
    const std::string folder = RealPath(slash == 0 ? std::string("/") : archive.substr(0, slash));
    if (folder.empty())
        return archive;
    return (folder == "/" ? "" : folder) + archive.substr(slash);
}

} // namespace

CScanContext CScanContext::AtScanStart(LogFn log, const RunDestination& destination) {
    CScanContext c;
    if (!destination.moveFolder.empty()) {
        c.moveFolder = RealPath(destination.moveFolder);
        if (!c.moveFolder.empty() && c.moveFolder.back() != '/')
            c.moveFolder += '/';
    }
    c.archiveId = FileIdentity(destination.archive);
    if (!destination.archive.empty())
        c.archivePath = RealArchivePath(destination.archive);
    c.ownFiles = COwnFiles::Find();
    struct stat st {};
    const std::string trash = HomeTrashPath();
    if (!trash.empty() && ::stat(trash.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        c.homeTrash = FolderId{st.st_dev, st.st_ino};
    c.log = std::move(log);
    return c;
}

bool CScanContext::IsInTrash(int fd, const std::string& realPath) const {
    // By name, folder by folder along the real path.
    std::string_view parent;
    for (size_t begin = 1; begin < realPath.size();) {
        size_t end = realPath.find('/', begin);
        if (end == std::string::npos)
            end = realPath.size();
        const std::string_view name(realPath.data() + begin, end - begin);
        if (IsVolumeTrashName(parent, name) ||
            IsHomeTrashName(std::string_view(realPath.data(), begin), name))
            return true;
        parent = name;
        begin = end + 1;
    }
    // By identity, climbing from the folder itself: the trash may be reached another way.
    if (!homeTrash)
        return false;
    UniqueFd cur(::openat(fd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!cur || ::fstat(cur.get(), &st) != 0)
        return false;
    for (;;) {
        if (FolderId{st.st_dev, st.st_ino} == *homeTrash)
            return true;
        UniqueFd up(::openat(cur.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat upSt {};
        if (!up || ::fstat(up.get(), &upSt) != 0)
            return false;
        if (upSt.st_dev == st.st_dev && upSt.st_ino == st.st_ino)
            return false; // the root
        cur = std::move(up);
        st = upSt;
    }
}
