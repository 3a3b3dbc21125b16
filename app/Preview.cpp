// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "app/Preview.h"

#include "schedule/ScheduledRun.h"
#include "platform/TextEscape.h"
#include "profiles/CProfileList.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanPlan.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int RunPreview(const std::vector<std::string>& args, IDriveLetterStore& letters) {
    // The update file is merged in memory only: a preview writes nothing.
    CProfileList store;
    store.LoadAndMerge(false);

    // Missing drives are told only once the profiles are known to be there.
    std::string missing;
    ScheduledScan scan = BuildScheduledScan(store, ReadScheduledSwitches(args), letters,
                                            [&missing](char letter) { missing += letter; });
    if (scan.profileCount == 0) {
        std::fprintf(stderr, "fernwick: the /p switch names no profile; the profiles are:\n");
        for (const CProfile& p : store)
            std::fprintf(stderr, "  %s\n", EscapeControlChars(p.m_strName).c_str());
        return 2;
    }
    for (char letter : missing)
        std::fprintf(stderr, "fernwick: there is no drive %s:\n",
                     EscapeControlChars(std::string(1, letter)).c_str());
    ScanRequest& request = scan.request;

    // Folders that cannot be scanned are told on standard error: a preview writes no log.
    request.report = [](const std::string& text) {
        std::fprintf(stderr, "fernwick: %s\n", EscapeControlChars(text).c_str());
    };

    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    CStopEvent stop;
    CListingFoundFileList sink;
    RunScanPlan(store, request, stop, sink);
    std::printf("# %zu files, %llu bytes\n", sink.Count(),
                static_cast<unsigned long long>(sink.TotalBytes()));
    // A listing that did not reach its reader (a full disk, a closed pipe) is no success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "fernwick: the listing could not be written: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}
