#pragma once

#include "platform/SafeFile.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

// Tells whether a file about to be disposed of is in use: locked, open in another process or
// mapped into another process's memory (a mapping outlives the descriptor it was made from).
// One checker serves one disposal run: the table of files other processes hold open or mapped
// is built at the first check and reused, so a run over many files reads /proc once.
class CInUseChecker {
public:
    // nullopt when the file is free; otherwise a sentence for the log naming the cause, the
    // path and, where known, the process.
    std::optional<std::string> Check(const std::string& path);
    // The same for a file already reached through its folder: the test then looks at that very
    // file, so a folder swapped for a link meanwhile cannot make a free file look busy.
    std::optional<std::string> Check(const std::string& path, const HeldFile& held);

private:
    struct FileKey {
        dev_t dev;
        ino_t ino;
        bool operator==(const FileKey&) const = default;
    };
    struct FileKeyHash {
        size_t operator()(const FileKey& k) const noexcept {
            return std::hash<unsigned long long>()(k.ino) * 31 + std::hash<unsigned long long>()(k.dev);
        }
    };
    struct Holder {
        pid_t pid;
        std::string command; // from /proc/PID/comm; may be empty
    };

    // A mapped file as /proc/PID/maps names it. Its device number there is the file system's,
    // which on btrfs subvolumes is not the one stat gives, so the path is kept to confirm a
    // match on the inode alone.
    struct Mapping {
        dev_t dev;
        std::string path;
        Holder holder;
    };

    void BuildIndex();
    void IndexMappings(int procFd, const char* pidText, pid_t pid, std::optional<std::string>& command);
    const Holder* MappedBy(const struct stat& st) const;

    bool m_indexed = false;
    std::unordered_map<FileKey, Holder, FileKeyHash> m_openFiles;
    std::unordered_multimap<ino_t, Mapping> m_mappings;
};
