// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>

// The folder that holds the program's data files (settings, update file, log), ending in "/".
// FERNWICK_HOME overrides; else the executable's own folder when the build marked it as the
// build tree; else $XDG_DATA_HOME/Fernwick/, created on first use and seeded once with the
// update file installed under the prefix (<prefix>/share/fernwick/). An installed program
// never writes beside its executable: that folder is shared by every user. Empty when no data
// folder can be found, so the data files are then looked up in the current directory.
std::string GetProgramDir();

// The running program's absolute path with every link resolved; empty when it cannot be told
// (argv[0] may be relative or name a link, so the kernel is asked).
std::string RunningProgramPath();
// The real folder of the running executable, ending in "/", or empty.
std::string GetExecutableDir();

// Always true here: the update file read at start-up is "newntsettings.dat".
bool IsWindowsNT();

// The folder an installed program's shipped files are in (<prefix>/share/fernwick/), found
// from the folder of its executable (<prefix>/bin/); empty when exeDir is.
std::string InstalledDataDir(const std::string& exeDir);

// The decision of GetProgramDir with every input given, for tests.
struct ProgramDirInputs {
    const char* fernwickHome = nullptr; // FERNWICK_HOME
    std::string exeDir;                 // real folder of the executable, with "/"
    bool inBuildTree = false;           // exeDir holds kBuildTreeMarker
    std::string shippedDir;             // where the installed update file is, with "/"
    const char* xdgDataHome = nullptr;  // XDG_DATA_HOME
    const char* home = nullptr;         // HOME
};
std::string ResolveProgramDir(const ProgramDirInputs& in);

// Name of the update file shipped with the program.
inline constexpr const char* kUpdateFileName = "newntsettings.dat";

// Written by the build next to the program it builds, never installed: the build tree keeps
// its data files beside the executable.
inline constexpr const char* kBuildTreeMarker = "fernwick-build-tree";
