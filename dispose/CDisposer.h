#pragma once

#include "dispose/InUse.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// One disposal run, file by file, shared by the wizard and the scheduled cleaning. For each
// file it tests whether the file is in use, logs what it is about to do and does it; a step
// that fails is logged with the system's reason and never counted as cleaned. Zip and trash
// act once after the last file (Finish).
class CDisposer {
public:
    using LogFn = std::function<void(const std::string&)>;

    // A Move destination, or a Zip archive's folder, is resolved to its real path here, when
    // the run starts, through trusted links only (OpenTrustedFolder); one that cannot be
    // resolved fails every file of the run with the reason.
    CDisposer(int method, std::string destination, LogFn log);

    enum class Result {
        Disposed, // done, counted as cleaned
        Pending,  // waits for Finish (zip, trash)
        InUse,    // left alone, logged as in use
        Failed,   // the step failed, logged with its reason
    };
    Result Handle(const std::string& path);
    // Carries out the step after the last file; returns the pending files that failed in it.
    std::vector<std::string> Finish();

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
    void Failed(const std::string& path, std::uint64_t size, const std::string& reason);
    void Cleaned(std::uint64_t size);

    int m_nMethod;
    const char* m_verb;
    std::string m_strDestination;
    std::string m_destinationRefused; // why the destination cannot be used; empty when it can
    LogFn m_log;
    CInUseChecker m_inUse;
    std::vector<std::pair<std::string, std::uint64_t>> m_pending;
};

// The size of a file as a number: 0 when it cannot be read.
std::uint64_t CurrentFileSize(const std::string& path);
