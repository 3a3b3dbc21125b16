// Runs the scan engine without a window and prints every file it takes, one per line:
//   size<TAB>YYYY-MM-DD HH:MM:SS<TAB>path
// Usage: fernwick_scan [--pattern P]... [--folder NAME]... FOLDER...
#include "scan/CFoundFileList.h"
#include "scan/ScanEngine.h"

#include <cstdio>
#include <cstring>
#include <string>


int main(int argc, char** argv) {
    CProfile profile;
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pattern") == 0 && i + 1 < argc)
            profile.m_lstPatterns.push_back(argv[++i]);
        else if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc)
            profile.m_lstFolders.push_back(argv[++i]);
        else
            folders.push_back(argv[i]);
    }
    if (folders.empty()) {
        std::fprintf(stderr, "usage: fernwick_scan [--pattern P]... [--folder NAME]... FOLDER...\n");
        return 2;
    }
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    CStopEvent stop;
    CListingFoundFileList sink;
    // Folders that cannot be scanned are told on standard error, as a log would have them.
    const CScanContext context = CScanContext::AtScanStart(
        [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    for (const auto& folder : folders)
        SearchFolder(folder, profile, stop, sink, context);
    return 0;
}
