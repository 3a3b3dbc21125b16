// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "app/RunNotice.h"

#include "dispose/DisposalMethod.h"
#include "platform/TextEscape.h"
#include "schedule/CatchUpRun.h"

namespace {

DesktopNotice Notice(std::string summary, std::string body) {
    return {"Fernwick", FERNWICK_APP_ID, std::move(summary), std::move(body)};
}

std::string Files(int n) {
    return std::to_string(n) + (n == 1 ? " file" : " files");
}

std::string Bytes(std::uint64_t n) {
    return GroupThousands(n) + (n == 1 ? " byte" : " bytes");
}

// The method as the end of a sentence: "were <phrase>", "could not be <phrase>".
std::string Phrase(int method, const std::string& destination) {
    const std::string where = EscapeControlChars(destination);
    switch (method) {
    case METHOD_DELETE:
        return "deleted";
    case METHOD_ZIP:
        return "zipped into " + where;
    case METHOD_MOVE:
        return "moved to " + where;
    case METHOD_RECYCLE:
        return "moved to the trash";
    case METHOD_PERMANENT_DELETE:
        return "permanently deleted";
    default:
        return "cleaned";
    }
}

std::string LogLine(const std::string& logPath) {
    return "Each file is in the log: " + EscapeControlChars(logPath);
}

} // namespace

std::optional<DesktopNotice> NoticeOfRun(const UnattendedOutcome& outcome, int method,
                                         const std::string& destination,
                                         const std::string& logPath, std::time_t missedAt) {
    if (outcome.found == 0)
        return std::nullopt;
    const std::string phrase = Phrase(method, destination);
    const int left = outcome.found - outcome.disposed;
    std::string body;
    if (missedAt != 0)
        body = "Caught up at login: the cleaning was due at " + LocalDateTime(missedAt) +
               ", while the computer was off.\n";
    if (outcome.disposed > 0)
        body += Files(outcome.disposed) + " (" + Bytes(outcome.cleanedBytes) + ") " +
               (outcome.disposed == 1 ? "was " : "were ") + phrase + ".\n";
    if (left > 0 && outcome.stopped)
        body += "The run was stopped; " + Files(left) + (left == 1 ? " was" : " were") +
                " left as " + (left == 1 ? "it was" : "they were") + ".\n";
    else if (left > 0)
        body += Files(left) + " could not be " + phrase + ".\n";
    body += LogLine(logPath);

    const std::string kind = missedAt != 0 ? "Missed scheduled cleaning" : "Scheduled cleaning";
    std::string summary;
    if (left == 0)
        summary = kind + " done";
    else if (outcome.stopped)
        summary = kind + " stopped";
    else
        summary = kind + ": " + Files(left) + " left";
    return Notice(std::move(summary), std::move(body));
}

DesktopNotice NoticeOfRefusal(const std::string& reason, const std::string& logPath) {
    return Notice("Scheduled cleaning refused",
                  "The scheduled cleaning did not run: " + EscapeControlChars(reason) +
                      "\nSee the log: " + EscapeControlChars(logPath));
}
