// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"
#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

#include <sys/types.h>

#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>

// The user's trash, by freedesktop.org's rules for the trash, where the desktop's file
// manager and trash tools list and restore what is in it. A file goes to the trash of its own
// file system: the home trash ($XDG_DATA_HOME/Trash) for the home's file system, else the
// top folder of its mount's .Trash/UID (only when .Trash is a real folder with the sticky
// bit) or .Trash-UID. It is renamed there from its held folder, never copied: a file whose
// file system has no usable trash is refused.
//
// One CTrash serves one run: each file system's trash is found and opened once.
class CTrash {
public:
    // Reads XDG_DATA_HOME (only when absolute) and HOME as they are now.
    CTrash();
    CTrash(const CTrash&) = delete;
    CTrash& operator=(const CTrash&) = delete;

    // Moves the held file to the trash. path is its absolute path, recorded for restoring.
    // The record (info/NAME.trashinfo) is made first and only by us (O_EXCL); the file is then
    // renamed into files/NAME without replacing anything, and the record removed again when
    // that fails. A name the trash already holds gets a new one at once (see TrashName).
    // The name given in the trash goes to trashedAs.
    FsError Put(const HeldFile& file, const std::string& path, std::string* trashedAs = nullptr);

private:
    struct Bin {
        UniqueFd files, info;
        std::string top; // the mount's top folder; empty for the home trash
        FsError error;   // why this file system's trash cannot be used
    };
    Bin& BinFor(const HeldFile& file, const std::string& path);
    void OpenHomeBin(Bin& bin);
    void OpenTopBin(Bin& bin, const HeldFile& file, const std::string& path);
    const std::string& Now();

    std::string m_dataHome; // where the home trash is, or empty when neither variable says
    bool m_homeDevKnown = false;
    dev_t m_homeDev = 0;
    uid_t m_uid;
    std::unordered_map<dev_t, Bin> m_bins;
    std::mt19937_64 m_random;
    std::time_t m_stampTime = -1;
    std::string m_stamp;
};

// Holds the file at path (absolute) and moves it to the trash with a CTrash of its own.
FsError MoveToTrash(const std::string& path);

// The Path= value of a trash record: every byte but A-Z a-z 0-9 - _ . ~ / as %XX.
std::string EncodeTrashPath(const std::string& path);

// The name for a file in the trash. attempt 0 is the name itself, cut to leave room for the
// record's ".trashinfo" where it is very long; every later attempt puts "." and the suffix
// (hexadecimal) before the extension: "report.txt" -> "report.1f3a9c04be27.txt". A name
// taken is left at once for a random one, however many of that name the trash holds.
std::string TrashName(const std::string& name, int attempt, std::uint64_t suffix);
