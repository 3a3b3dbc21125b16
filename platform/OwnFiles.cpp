// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "platform/OwnFiles.h"

#include "platform/ProgramDir.h"
#include "platform/XdgDirs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <string_view>

#include <algorithm>
#include <cstdlib>
#include <memory>

std::string RealPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                            &std::free);
    return real ? std::string(real.get()) : std::string();
}

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

void COwnFiles::Add(const std::string& realFolder, const std::string& name) {
    const std::string path = (realFolder == "/" ? "" : realFolder) + "/" + name;
    m_paths.insert(path);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return; // not there yet: the path alone will know it
    m_ids.emplace_back(st.st_dev, st.st_ino);
    // A link (a settings file kept by a dotfile manager): its target is ours too.
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        const std::string target = RealPath(path);
        if (!target.empty())
            m_paths.insert(target);
    }
}

COwnFiles COwnFiles::Find(const std::string& programDir, const std::string& optionsFile) {
    COwnFiles own;
    const std::string dir = RealPath(programDir.empty() ? std::string(".") : programDir);
    if (!dir.empty()) {
        for (const char* name : kOwnProgramFiles)
            own.Add(dir, name);
        // Damaged settings kept aside under a numbered name as well.
        if (DIR* d = ::opendir(dir.c_str())) {
            while (const dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                for (const std::string_view prefix :
                     {kDamagedSettingsPrefix, kDamagedRunRecordPrefix})
                    if (name.size() > prefix.size() && name.starts_with(prefix))
                        own.Add(dir, name);
            }
            ::closedir(d);
        }
    }
    if (!optionsFile.empty()) {
        const std::string folder = RealPath(FolderOf(optionsFile));
        if (!folder.empty())
            own.Add(folder, optionsFile.substr(optionsFile.rfind('/') + 1));
    }
    return own;
}

COwnFiles COwnFiles::Find() { return Find(GetProgramDir(), OptionsFilePath()); }

bool COwnFiles::Contains(dev_t dev, ino_t ino) const {
    return std::find(m_ids.begin(), m_ids.end(), std::make_pair(dev, ino)) != m_ids.end();
}

bool COwnFiles::Contains(const std::string& realPath) const { return m_paths.count(realPath) > 0; }

std::string OptionsFilePath() {
    const std::string config = XdgConfigHome();
    return config.empty() ? std::string() : config + "/Quenby Works/Fernwick.ini";
}
