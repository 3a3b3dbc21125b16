// Runs the scan engine without a window and prints every file it takes, one per line:
//   size<TAB>YYYY-MM-DD HH:MM:SS<TAB>path
// Usage: fernwick_scan [--pattern P]... [--folder NAME]... FOLDER...
#include "scan/ScanEngine.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>

namespace {

class CPrintSink : public CScanSink {
public:
    void OnFileTaken(const FoundFile& f) override {
        if (!m_seen.insert(f.path).second)
            return;
        std::tm tm{};
        char when[32] = "";
        if (f.size && localtime_r(&f.mtime, &tm))
            std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
        std::printf("%llu\t%s\t%s\n", static_cast<unsigned long long>(f.size.value_or(0)), when,
                    f.path.c_str());
    }

private:
    std::unordered_set<std::string> m_seen;
};

} // namespace

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
    CPrintSink sink;
    for (const auto& folder : folders)
        SearchFolder(folder, profile, stop, sink);
    return 0;
}
