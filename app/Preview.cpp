#include "app/Preview.h"

#include "app/CommandLine.h"
#include "app/DriveLetterStore.h"
#include "app/DrivesForLetters.h"
#include "platform/TextEscape.h"
#include "profiles/CProfileList.h"
#include "scan/CFoundFileList.h"
#include "scan/ProfileSelection.h"
#include "scan/ScanPlan.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int RunPreview(std::vector<std::string> args) {
    ParseCommandLine(args); // rewrites a leading '-' to '/'
    // The update file is merged in memory only: a preview writes nothing.
    CProfileList store;
    store.LoadAndMerge(false);

    const auto selected = SelectProfilesByNameList(store, GetSwitchValue(args, "/p"));
    if (selected.empty()) {
        std::fprintf(stderr, "fernwick: the /p switch names no profile; the profiles are:\n");
        for (const CProfile& p : store)
            std::fprintf(stderr, "  %s\n", EscapeControlChars(p.m_strName).c_str());
        return 2;
    }
    ScanRequest request;
    request.isSelected = [&selected](const CProfile& p) { return selected.count(p.m_strName) > 0; };
    const std::string drives = GetSwitchValue(args, "/d");
    request.drivePass = !drives.empty();
    if (request.drivePass) {
        // Letters given to new mounts serve this listing only.
        CDriveLetterStore letters(CDriveLetterStore::Mode::ReadOnly);
        request.drives = DrivesForLetters(drives, letters, [](char letter) {
            std::fprintf(stderr, "fernwick: there is no drive %s:\n",
                         EscapeControlChars(std::string(1, letter)).c_str());
        });
    }

    // Folders that cannot be scanned are told on standard error: a preview writes no log.
    request.report = [](const std::string& text) {
        std::fprintf(stderr, "fernwick: %s\n", EscapeControlChars(text).c_str());
    };

    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    CStopEvent stop;
    CListingFoundFileList sink;
    RunScanPlan(store, request, stop, sink);
    std::printf("# %zu files, %llu bytes\n", sink.Paths().size(),
                static_cast<unsigned long long>(sink.TotalBytes()));
    // A listing that did not reach its reader (a full disk, a closed pipe) is no success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "fernwick: the listing could not be written: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return 0;
}
