// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <sys/types.h>

#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

// Fernwick's own files, which no cleaning may take whatever its patterns: in the program
// directory the settings (settings.dat, and any copy kept aside as settings.dat.damaged...),
// the update files, the cleaning log and the record of scheduled runs with its lock; and the
// per-user options file. Each is known by its
// identity (device and inode) when it exists at the time of the look, which also catches a
// settings file that is a link to a file elsewhere, and by its real path, which also catches
// one created later, such as the log of the cleaning under way.
class COwnFiles {
public:
    COwnFiles() = default;
    // Looks at the program directory (GetProgramDir) and OptionsFilePath() as they are now.
    static COwnFiles Find();
    // The same for a given program directory and options file.
    static COwnFiles Find(const std::string& programDir, const std::string& optionsFile);

    bool Contains(dev_t dev, ino_t ino) const;
    // realPath: absolute, with no link, "." or ".." in it.
    bool Contains(const std::string& realPath) const;

    const std::unordered_set<std::string>& Paths() const { return m_paths; }

private:
    void Add(const std::string& realFolder, const std::string& name);

    std::vector<std::pair<dev_t, ino_t>> m_ids;
    std::unordered_set<std::string> m_paths;
};

// The names of the files Fernwick keeps in its program directory.
inline constexpr const char* kOwnProgramFiles[] = {
    "settings.dat",       "newntsettings.dat",   "new95settings.dat",
    "fwlog.txt",          "settings.dat.damaged", "scheduled-runs.dat",
    "scheduled-runs.lock", "scheduled-runs.running", "scheduled-runs.dat.damaged",
};
// A settings file kept aside as damaged may carry a number after this name.
inline constexpr const char* kDamagedSettingsPrefix = "settings.dat.damaged";
// So may a damaged record of scheduled runs.
inline constexpr const char* kDamagedRunRecordPrefix = "scheduled-runs.dat.damaged";

// The per-user options file: $XDG_CONFIG_HOME when it is absolute, else $HOME/.config, then
// "/Quenby Works/Fernwick.ini". Empty when neither is known.
std::string OptionsFilePath();

// The real path of an existing folder or file (links, "." and ".." resolved), or empty.
std::string RealPath(const std::string& path);
