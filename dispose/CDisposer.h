// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "dispose/CInUseChecker.h"
#include "dispose/Trash.h"
#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A file to dispose of: its path and what the scan saw of it.
struct DisposalFile {
    std::string path;
    FileSeen seen;
};

// One disposal run, file by file, shared by the wizard and the scheduled cleaning.
//
// A file is disposed of only while it is the file the scan saw: it is reached through its
// folder without following links, and must be the same file (device and inode) of the same
// size and last-write time, in a folder on the file system the scan saw. Otherwise nothing is
// done to it and the log says why. Then it is tested for being in use, logged, and the step
// is carried out on the file so reached. The "<path> <verb>" line is written only once the
// step has succeeded (for Zip, once the archive holding the file is on disk); a step that
// fails gets only its failure line, and neither a refused nor a failed file counts as
// cleaned. Zip acts once after the last file (Finish).
//
// A run never takes what its own disposal put in place: a file lying in the Move destination
// folder itself, or the Zip archive, is refused with its own reason.
class CDisposer {
public:
    using LogFn = std::function<void(const std::string&)>;

    // A Move destination, or a Zip archive's folder, is resolved to its real path here, when
    // the run starts, through trusted links only (OpenTrustedFolder), and a Move destination
    // is held open for the run; one that cannot be resolved fails every file with the reason.
    CDisposer(int method, std::string destination, LogFn log);
    ~CDisposer();
    CDisposer(const CDisposer&) = delete;
    CDisposer& operator=(const CDisposer&) = delete;

    enum class Result {
        Disposed, // done, counted as cleaned
        Pending,  // waits for Finish (zip)
        InUse,    // left alone, logged as in use
        Failed,   // refused or failed, logged with its reason
    };
    // path: absolute; seen: what the scan saw of it.
    Result Handle(const std::string& path, const FileSeen& seen);
    // Carries out the step after the last file; returns the pending files that failed in it.
    // stop, when given, is asked while the archive waits for its lock and is written; true
    // stops the write and leaves every pending file as it was (Stopped() tells afterwards).
    std::vector<std::string> Finish(const std::function<bool()>& stop = {});
    bool Stopped() const { return m_bStopped; }

    const char* Verb() const { return m_verb; }
    int Method() const { return m_nMethod; }

    std::uint64_t m_cleanedBytes = 0;
    int m_nCleanedFiles = 0;
    std::uint64_t m_inUseBytes = 0;
    int m_nInUseFiles = 0;
    std::uint64_t m_failedBytes = 0;
    int m_nFailedFiles = 0;
    int m_nHandled = 0; // files not in use, whatever became of them

private:
    struct PendingFile {
        std::string path;
        FileSeen seen;
    };

    void Failed(const std::string& path, std::uint64_t size, const std::string& reason);
    // A file changed since the scan is told so; any other refusal or failure by its reason.
    void Failed(const std::string& path, std::uint64_t size, const FsError& why);
    void Cleaned(std::uint64_t size);
    FsError WhyNotInUse(const std::string& path, const FileSeen& seen) const;
    // Why a held file must not be taken by this run: it is where the run puts what it takes.
    const char* OwnDestinationRefusal(const HeldFile& file) const;
    void Disposed(const std::string& path, std::uint64_t size, const std::string& note = {});

    int m_nMethod;
    const char* m_verb;
    std::string m_strDestination;
    UniqueFd m_destDir;           // a Move destination, held for the run
    struct stat m_destSt {};      // its identity, or the archive's when it exists
    bool m_bDestKnown = false;
    bool m_bStopped = false;
    FsError m_destinationRefused; // why the destination cannot be used; none when it can
    LogFn m_log;
    CInUseChecker m_inUse;
    std::unique_ptr<CTrash> m_trash;
    std::vector<PendingFile> m_pending;
};
