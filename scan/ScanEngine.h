#pragma once

#include "profiles/CProfile.h"
#include "scan/CStopEvent.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// A file the search took.
struct FoundFile {
    std::string path;                  // absolute
    std::optional<std::uint64_t> size; // unknown when the file vanished before it was read
    std::time_t mtime = 0;             // last write; meaningful only with a size
};

// Where a search puts what it finds. Called on the searching thread.
class CScanSink {
public:
    virtual ~CScanSink() = default;
    // The folder being walked, as given or as reached.
    virtual void OnFolder(const std::string& /*folder*/) {}
    virtual void OnFileTaken(const FoundFile& file) = 0;
    // Called between directory entries: a window may process its pending events here.
    virtual void Pump() {}
};

// Walks one folder tree depth first for the profile's patterns and folder names and hands
// every file taken to the sink. The folder's own files come first (pattern by pattern, in
// pattern order), then its subfolders in the order the file system lists them. A subfolder
// named in the folder names has the files directly inside it taken and is not entered.
// Symbolic links are never followed or taken, only regular files are taken, and the walk
// stays on the file system it starts on. A folder that cannot be read yields nothing.
void SearchFolder(const std::string& folder, const CProfile& profile, const CStopEvent& stop,
                  CScanSink& sink);

// The profile's limits: with them on, a file is taken when it was last written before the
// date, or is smaller than the minimum, or larger than the maximum (all strict).
bool PassesLimits(const CProfile& profile, std::uint64_t size, std::time_t mtime);

// The size of the file as decimal text, or empty when it cannot be read. Links are not
// followed.
std::string GetFileSizeText(const std::string& path);
// A last-write time as the results list shows it: "%H:%M:%S %A, %B %d, %Y", local time.
std::string FormatFileTime(std::time_t t);
