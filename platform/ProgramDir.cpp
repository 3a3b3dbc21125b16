// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/ProgramDir.h"

#include "platform/DataFile.h"
#include "platform/UniqueFd.h"
#include "platform/XdgDirs.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The way from the installed program's folder to its shipped files, set by the build from the
// install layout; this is the usual one.
#ifndef FW_BIN_TO_DATA_DIR
#define FW_BIN_TO_DATA_DIR "../share/fernwick"
#endif

namespace {

std::string WithSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

// mkdir -p; true when the folder exists afterwards. Sets created when the last part was made.
bool MakeFolders(std::string dir, bool& created) {
    created = false;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string part = dir.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) == 0)
            created = true;
        else if (errno == EEXIST)
            created = false;
        else
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Copies src to dst unless dst exists. Failures leave no partial dst behind.
void CopyIfAbsent(const std::string& src, const std::string& dst) {
    // Only a regular file is copied: a FIFO in its place would make the start wait forever.
    DataFile source;
    if (OpenDataFile(src, source))
        return;
    const UniqueFd in = std::move(source.fd);
    UniqueFd out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out)
        return;
    char buf[8192];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in.get(), buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out.get(), buf + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    if (!ok)
        ::unlink(dst.c_str());
}

} // namespace

std::string InstalledDataDir(const std::string& exeDir) {
    if (exeDir.empty())
        return {};
    return WithSlash(WithSlash(exeDir) + FW_BIN_TO_DATA_DIR);
}

std::string ResolveProgramDir(const ProgramDirInputs& in) {
    if (in.fernwickHome && *in.fernwickHome)
        return WithSlash(in.fernwickHome);
    if (!in.exeDir.empty() && in.inBuildTree)
        return WithSlash(in.exeDir);

    const std::string data = XdgBaseDir(in.xdgDataHome, in.home, ".local/share");
    if (data.empty())
        return {};
    const std::string dir = WithSlash(data) + "Fernwick/";
    bool created = false;
    if (!MakeFolders(dir, created))
        return {};
    // Seed only a folder made just now: a user's later removal of the update file must stick.
    if (created && !in.shippedDir.empty())
        CopyIfAbsent(WithSlash(in.shippedDir) + kUpdateFileName, dir + kUpdateFileName);
    return dir;
}

std::string RunningProgramPath() {
    char* path = ::realpath("/proc/self/exe", nullptr);
    if (!path)
        return {};
    std::string result(path);
    std::free(path);
    return result;
}

std::string GetExecutableDir() {
    const std::string path = RunningProgramPath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string GetProgramDir() {
    ProgramDirInputs in;
    in.fernwickHome = std::getenv("FERNWICK_HOME");
    if (in.fernwickHome && *in.fernwickHome)
        return ResolveProgramDir(in);
    in.exeDir = GetExecutableDir();
    struct stat marker {};
    in.inBuildTree = !in.exeDir.empty() &&
                     ::stat((in.exeDir + kBuildTreeMarker).c_str(), &marker) == 0 &&
                     S_ISREG(marker.st_mode);
    in.shippedDir = InstalledDataDir(in.exeDir);
    in.xdgDataHome = std::getenv("XDG_DATA_HOME");
    in.home = std::getenv("HOME");
    return ResolveProgramDir(in);
}

bool IsWindowsNT() { return true; }
