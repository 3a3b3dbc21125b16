// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "profiles/HomeFolder.h"

#include "platform/FsError.h"

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

HomeFolder NoHome(std::string problem) { return {{}, FsError::Told(ENOENT, std::move(problem))}; }

// The password database's home for the user running the program; none without an entry.
std::optional<std::string> PasswordDatabaseHome() {
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<size_t>(hint) : 16384);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (size_t(1) << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || !found || !found->pw_dir)
            return std::nullopt;
        return std::string(found->pw_dir);
    }
}

} // namespace

HomeFolder JudgeHomeFolder(const std::string& candidate) {
    const std::string named = "the home folder " + Quoted(candidate);
    if (candidate.empty())
        return NoHome("the home folder is empty");
    // A relative home would be taken from whatever folder the program was started in.
    if (candidate.front() != '/')
        return NoHome(named + " is not a full path");
    struct stat st {};
    if (::stat(candidate.c_str(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT)
            return NoHome(named + " does not exist");
        return NoHome(named + " cannot be looked at: " + ErrorText(error));
    }
    if (!S_ISDIR(st.st_mode))
        return NoHome(named + " is not a folder");
    // "//", "/.", "/tmp/.." or a link to "/" are the root as much as "/" is.
    struct stat root {};
    if (::stat("/", &root) != 0 || (st.st_dev == root.st_dev && st.st_ino == root.st_ino))
        return NoHome(named + " is not a folder of its own");
    std::string path = candidate;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return {std::move(path), {}};
}

HomeFolder FindHomeFolder(const char* homeVariable,
                          const std::function<std::optional<std::string>()>& passwordHome) {
    if (homeVariable) {
        if (!*homeVariable)
            return NoHome("HOME is set but empty");
        return JudgeHomeFolder(homeVariable);
    }
    const std::optional<std::string> fromDatabase = passwordHome();
    if (!fromDatabase)
        return NoHome("HOME is not set, and the password database has no entry for user " +
                      std::to_string(::getuid()));
    HomeFolder home = JudgeHomeFolder(*fromDatabase);
    if (!home.Usable())
        home.problem = FsError::Told(home.problem.Code(), "HOME is not set, and " +
                                                              home.problem.Text() +
                                                              " (from the password database)");
    return home;
}

HomeFolder FindHomeFolder() { return FindHomeFolder(std::getenv("HOME"), PasswordDatabaseHome); }

bool NamesHomeFolder(std::string_view folder) {
    return folder == "~" || folder.starts_with("~/");
}

std::string ExpandHomeFolder(const std::string& folder, const HomeFolder& home) {
    if (!NamesHomeFolder(folder) || !home.Usable())
        return folder;
    return home.path + folder.substr(1);
}
