// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once
// Timing and tool-running helpers shared by the benchmark programs.

#include "platform/Spawn.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

template <class F> double Seconds(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

inline double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The full path of a program found in PATH, or "" when there is none.
inline std::string FindInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// Runs args with stdin from input and stdout/stderr into output; the exit code, or -1 when it
// did not start or did not end normally. The child gets our environment.
inline int RunTool(std::vector<std::string> args, const std::filesystem::path& input,
                   const std::filesystem::path& output) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    CSpawnActions actions;
    if (!actions.ok())
        return -1;
    posix_spawn_file_actions_addopen(actions.get(), 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), 1, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(actions.get(), 1, 2);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], actions.get(), nullptr, argv.data(), environ) != 0)
        return -1;
    return WaitForExit(pid);
}
