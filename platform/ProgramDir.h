#pragma once

#include <string>

// The folder that holds the program's data files (settings, update file, log), ending in "/".
// FERNWICK_HOME overrides; else the executable's own folder when it is writable (portable use,
// the build tree); else $XDG_DATA_HOME/Fernwick/, created on first use and seeded once with the
// update file installed beside the executable. Empty when none of these can be found, so the
// data files are then looked up in the current directory.
std::string GetProgramDir();

// The real folder of the running executable, ending in "/", or empty.
std::string GetExecutableDir();

// Always true here: the update file read at start-up is "newntsettings.dat".
bool IsWindowsNT();

// The decision of GetProgramDir with every input given, for tests.
struct ProgramDirInputs {
    const char* fernwickHome = nullptr; // FERNWICK_HOME
    std::string exeDir;                 // real folder of the executable, with "/"
    bool exeDirWritable = false;
    const char* xdgDataHome = nullptr; // XDG_DATA_HOME
    const char* home = nullptr;        // HOME
};
std::string ResolveProgramDir(const ProgramDirInputs& in);

// Name of the update file shipped with the program.
inline constexpr const char* kUpdateFileName = "newntsettings.dat";
