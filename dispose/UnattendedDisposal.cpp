// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/UnattendedDisposal.h"

#include "dispose/CDisposer.h"
#include "dispose/DisposalMethod.h"

#include <cerrno>
#include <charconv>

int ParseMethodCode(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    int code = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), code);
    (void)end;
    return ec == std::errc() ? code : 0;
}

FsError RefuseUnattendedCommand(const std::string& methodText, const std::string& destination) {
    const int method = ParseMethodCode(methodText);
    if (*MethodVerb(method) == '\0')
        return FsError::Told(
            EINVAL,
            (methodText.empty()
                 ? std::string("no /x switch names the disposal method")
                 : "the /x switch names no disposal method (\"" + methodText + "\")") +
                "; it must be 1022 delete, 1023 zip, 1024 move, 1025 move to the trash or 1026 "
                "permanently delete. Nothing was scanned or disposed of.");
    if (MethodNeedsDestination(method) && destination.empty())
        return FsError::Told(EINVAL, std::string("the files are to be ") + MethodVerb(method) +
                                         ", but no /m switch names the " +
                                         (method == METHOD_ZIP ? "archive" : "destination folder") +
                                         ". Nothing was scanned or disposed of.");
    return {};
}

UnattendedOutcome RunUnattendedDisposal(const std::vector<DisposalFile>& files,
                                        const std::string& methodText,
                                        const std::string& destination,
                                        const UnattendedDisposalIo& io) {
    const DisposalFiles each{files.size(), [&files](std::size_t i) { return files[i]; }};
    return RunUnattendedDisposal(each, methodText, destination, io);
}

UnattendedOutcome RunUnattendedDisposal(const DisposalFiles& files, const std::string& methodText,
                                        const std::string& destination,
                                        const UnattendedDisposalIo& io) {
    const int method = ParseMethodCode(methodText);
    const std::string verb = MethodVerb(method);
    UnattendedOutcome outcome;
    outcome.found = static_cast<int>(files.count);
    auto closing = [&](std::uint64_t bytes) {
        io.log(GroupThousands(bytes) + " bytes were " + verb + " by Fernwick");
        outcome.cleanedBytes = bytes;
        return outcome;
    };
    // Without a destination a move or an archive has nowhere to go: touch nothing.
    if (MethodNeedsDestination(method) && destination.empty()) {
        io.log("No destination was given for the files to be " + verb + "; no file was touched.");
        return closing(0);
    }

    auto stopReason = [&io] { return io.stopReason ? io.stopReason() : std::string(); };
    std::string stoppedBy;
    CDisposer disposer(method, destination, io.log);
    const int n = outcome.found;
    int pending = 0;
    for (int i = 0; i < n; ++i) {
        if (io.pump)
            io.pump();
        if (stoppedBy = stopReason(); !stoppedBy.empty())
            break;
        ++outcome.reached;
        const DisposalFile file = files.at(static_cast<std::size_t>(i));
        if (disposer.Handle(file.path, file.seen) == CDisposer::Result::Pending)
            ++pending;
        if (io.progress)
            io.progress(std::to_string(i + 1) + " of " + std::to_string(n) + " files being " +
                        verb);
    }
    // The archive acts on its files only when no stop came before it.
    if (stoppedBy.empty() && pending > 0)
        stoppedBy = stopReason();
    if (stoppedBy.empty()) {
        // A stop while the archive is written ends the write: the files stay as they were.
        disposer.Finish([&stopReason] { return !stopReason().empty(); });
        if (disposer.Stopped())
            stoppedBy = stopReason();
    }
    outcome.disposed = disposer.m_nCleanedFiles;
    if (!stoppedBy.empty()) {
        outcome.stopped = true;
        io.log("The run was stopped by " + stoppedBy + " after " + std::to_string(outcome.reached) +
               " of " + std::to_string(n) + " files; " + std::to_string(outcome.disposed) +
               " were " + verb + ", the others were left alone.");
    }
    return closing(disposer.m_cleanedBytes);
}
