// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Runs the scan engine without a window and prints every file it takes, once, one per line:
//   size<TAB>YYYY-MM-DD HH:MM:SS<TAB>path
// Usage: fernwick_scan [--threads N] [--alone] [--pattern P]... [--folder NAME]...
//                      [--profile [--pattern P]... [--folder NAME]...]... FOLDER...
// Each --profile begins another profile; every profile lists every FOLDER. --threads sets the
// threads that read folders ahead of the walk (0: none); --alone has each profile walk each
// folder on its own, in turn; --stats tells on standard error what the walks did.
#include "profiles/CProfileList.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanPlan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::unique_ptr<CProfile>> profiles;
    profiles.push_back(std::make_unique<CProfile>());
    std::vector<std::string> folders;
    ScanRequest request;
    WalkStats stats;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pattern") == 0 && i + 1 < argc)
            profiles.back()->m_lstPatterns.push_back(argv[++i]);
        else if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc)
            profiles.back()->m_lstFolders.push_back(argv[++i]);
        else if (std::strcmp(argv[i], "--profile") == 0)
            profiles.push_back(std::make_unique<CProfile>());
        else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
            request.how.readAheadThreads = static_cast<unsigned>(std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--read-ahead-always") == 0)
            request.how.readAheadAlways = true;
        else if (std::strcmp(argv[i], "--stats") == 0)
            request.how.stats = &stats;
        else if (std::strcmp(argv[i], "--alone") == 0)
            request.how.oneWalk = false;
        else
            folders.push_back(argv[i]);
    }
    if (folders.empty()) {
        std::fprintf(stderr, "usage: fernwick_scan [--threads N] [--alone] [--pattern P]... "
                             "[--folder NAME]... [--profile ...]... FOLDER...\n");
        return 2;
    }
    CProfileList store;
    int n = 0;
    for (auto& p : profiles) {
        if (p->m_lstPatterns.empty() && p->m_lstFolders.empty())
            continue; // a --profile with nothing after it
        p->m_strName = "Profile " + std::to_string(++n);
        p->m_nScanScope = SCOPE_LISTED_FOLDERS;
        p->m_lstScanFolders = folders;
        store.AddTail(std::move(p));
    }
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    CStopEvent stop;
    CListingFoundFileList sink;
    request.isSelected = [](const CProfile&) { return true; };
    // Folders that cannot be scanned are told on standard error, as a log would have them.
    request.report = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
    RunScanPlan(store, request, stop, sink);
    if (request.how.stats)
        std::fprintf(stderr,
                     "folders read by the walk %zu, by workers %zu; evicted %zu; taken open %zu; "
                     "most held open %zu\n",
                     stats.walkReads, stats.workerReads, stats.evicted, stats.handedOver,
                     stats.mostHeld);
    return 0;
}
