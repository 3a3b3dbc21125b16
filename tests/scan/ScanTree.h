#pragma once

#include "scan/ScanEngine.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Builds real trees for the engine to walk.
class ScanTree {
public:
    const std::filesystem::path& root() const { return m_dir.path(); }
    std::string at(const std::string& rel) const { return (m_dir.path() / rel).string(); }

    void dir(const std::string& rel) { std::filesystem::create_directories(m_dir.path() / rel); }
    // A file of size bytes (sparse beyond the first), last written at mtime when given.
    void file(const std::string& rel, std::uint64_t size = 1, std::time_t mtime = 0) {
        const auto p = m_dir.path() / rel;
        std::filesystem::create_directories(p.parent_path());
        WriteTextFile(p, size ? "x" : "");
        if (size > 1)
            std::filesystem::resize_file(p, size);
        if (mtime) {
            timespec times[2] = {{mtime, 0}, {mtime, 0}};
            ::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW);
        }
    }
    void link(const std::string& target, const std::string& rel) {
        std::filesystem::create_symlink(target, m_dir.path() / rel);
    }

private:
    TempDir m_dir;
};

// Records what the engine hands over; a hook may act between entries.
class RecordingSink : public CScanSink {
public:
    std::vector<FoundFile> files;
    std::vector<std::string> folders;
    std::function<void()> onPump;
    void OnFolder(const std::string& f) override { folders.push_back(f); }
    void OnFileTaken(const FoundFile& f) override { files.push_back(f); }
    void Pump() override {
        if (onPump)
            onPump();
    }
    // Paths relative to base, in the order taken.
    std::vector<std::string> Relative(const std::filesystem::path& base) const {
        std::vector<std::string> r;
        for (const auto& f : files)
            r.push_back(std::filesystem::path(f.path).lexically_relative(base).string());
        return r;
    }
};
