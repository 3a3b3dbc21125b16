// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "scan/ScanEngine.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

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
    // A link owned by uid (lchown: the tests run as root).
    bool linkOwnedBy(const std::string& target, const std::string& rel, uid_t uid) {
        link(target, rel);
        return ::lchown(at(rel).c_str(), uid, uid) == 0;
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
    std::function<void(const std::string&)> onFolder;
    void OnFolder(const std::string& f) override {
        folders.push_back(f);
        if (onFolder)
            onFolder(f);
    }
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

// A scan context that keeps what the searches report.
class ReportingContext {
public:
    std::vector<std::string> reports;
    CScanContext context =
        CScanContext::AtScanStart([this](const std::string& s) { reports.push_back(s); });

    ReportingContext() = default;
    ReportingContext(const ReportingContext&) = delete;
    ReportingContext& operator=(const ReportingContext&) = delete;
    // The reports containing every one of parts.
    size_t Count(std::initializer_list<std::string> parts) const {
        return static_cast<size_t>(
            std::count_if(reports.begin(), reports.end(), [&](const std::string& r) {
                return std::all_of(parts.begin(), parts.end(), [&](const std::string& p) {
                    return r.find(p) != std::string::npos;
                });
            }));
    }
};

// What a forked child wrote to its pipe, and how it ended.
struct ChildOutcome {
    int status = -1;
    std::string out;
    bool EndedWell() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// Runs body in a forked child, which sees a copy of this process and cannot harm it.
template <class Body> ChildOutcome RunInChild(Body body) {
    ChildOutcome r;
    int p[2];
    if (::pipe(p) != 0)
        return r;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(p[0]);
        const std::string out = body();
        for (size_t done = 0; done < out.size();) {
            const ssize_t w = ::write(p[1], out.data() + done, out.size() - done);
            if (w <= 0)
                ::_exit(3);
            done += static_cast<size_t>(w);
        }
        ::_exit(0);
    }
    ::close(p[1]);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(p[0], buf, sizeof buf)) > 0)
        r.out.append(buf, static_cast<size_t>(n));
    ::close(p[0]);
    ::waitpid(pid, &r.status, 0);
    return r;
}
