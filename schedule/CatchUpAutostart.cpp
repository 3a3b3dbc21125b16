// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CatchUpAutostart.h"

#include "platform/FileIo.h"
#include "platform/XdgDirs.h"
#include "schedule/ScheduledCleanings.h"
#include "schedule/ScheduledEntries.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// An Exec argument: in double quotes, with '"', '`', '$' and '\' escaped by a backslash, and
// '%' doubled, as field codes start with it.
std::string ExecArgument(const std::string& arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        if (c == '%')
            out += '%';
        out += c;
    }
    return out + '"';
}

// In the desktop file's own escapes the backslash is one too: each is written twice.
std::string DesktopString(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

std::string AutostartDir(const std::string& configHome) { return configHome + "/autostart"; }

FsError MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST)
        return {};
    return FsError::System(errno);
}

} // namespace

std::string CatchUpDesktopEntry(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Fernwick scheduled cleanings\n"
           "Comment=Runs the scheduled cleanings missed while the computer was off\n"
           "Exec=" +
           DesktopString(ExecArgument(program)) +
           " --catch-up\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

FsError InstallCatchUpAutostart(const std::string& configHome, const std::string& program) {
    if (configHome.empty() || configHome[0] != '/')
        return FsError::Refused(EINVAL, refusal::kNotAbsolute);
    if (FsError e = MakeFolder(configHome))
        return e;
    if (FsError e = MakeFolder(AutostartDir(configHome)))
        return e;
    return ReplaceFileAtomically(AutostartDir(configHome) + "/" + kCatchUpEntryName,
                                 CatchUpDesktopEntry(program));
}

FsError RemoveCatchUpAutostart(const std::string& configHome) {
    const std::string path = AutostartDir(configHome) + "/" + kCatchUpEntryName;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? FsError() : FsError::System(errno);
    if (!S_ISREG(st.st_mode))
        return NotRegularFile(st.st_mode);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return FsError::System(errno);
    return {};
}

FsError RemoveCatchUpIfNoneLeft(const std::string& table) {
    if (!ReadScheduledEntries(table, kScheduleEventName).empty())
        return {};
    const std::string configHome = XdgConfigHome();
    return configHome.empty() ? FsError() : RemoveCatchUpAutostart(configHome);
}
