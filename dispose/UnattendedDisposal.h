// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "dispose/CDisposer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct UnattendedDisposalIo {
    std::function<void(const std::string&)> log;
    // "%d of %d files being %s" after each file.
    std::function<void(const std::string&)> progress;
    // Lets the window breathe between files.
    std::function<void()> pump;
    // Asked before each file and before the step after the last one: a non-empty answer
    // (what stopped the run, e.g. "SIGTERM") ends the run there. Files not reached, and
    // files still waiting for the archive, are left alone.
    std::function<std::string()> stopReason;
};

// What became of a run's files.
struct UnattendedOutcome {
    std::uint64_t cleanedBytes = 0;
    int found = 0;    // files in the list
    int reached = 0;  // files whose turn came before the run ended
    int disposed = 0; // files disposed of
    bool stopped = false;
    // Every file found was disposed of.
    bool Complete() const { return !stopped && disposed == found; }
};

// The files of a run, handed over one at a time: a run over a million found files makes no
// second list of them.
struct DisposalFiles {
    std::size_t count = 0;
    std::function<DisposalFile(std::size_t i)> at;
};

// Disposes of every found file with the method and destination of a scheduled command line
// ("/x" value, "/m" value) and logs it all; the log is the run's only report. Each file only
// while it is what the scan saw (see CDisposer).
UnattendedOutcome RunUnattendedDisposal(const DisposalFiles& files, const std::string& methodText,
                                        const std::string& destination,
                                        const UnattendedDisposalIo& io);
// The same for a list at hand.
UnattendedOutcome RunUnattendedDisposal(const std::vector<DisposalFile>& files,
                                        const std::string& methodText,
                                        const std::string& destination,
                                        const UnattendedDisposalIo& io);

// The "/x" value as a method code: its leading decimal number, 0 for anything else.
int ParseMethodCode(const std::string& text);

// Why a scheduled run with these "/x" and "/m" values cannot be carried out (no method or an
// unknown one, a move or an archive without a destination); none when it can.
FsError RefuseUnattendedCommand(const std::string& methodText, const std::string& destination);
