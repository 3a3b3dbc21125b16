// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "fernwick-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = tmpl;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }
    // The folder as a program directory: with a trailing "/".
    std::string dir() const { return m_path.string() + "/"; }

private:
    std::filesystem::path m_path;
};

// Writes a file, making its folders first.
inline void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

inline std::string ReadTextFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Points FERNWICK_HOME, HOME and the XDG folders at a temporary folder for its lifetime, so a
// test never touches the user's real files.
class ScopedTestHome {
public:
    ScopedTestHome() {
        std::filesystem::create_directories(m_dir.path() / "home");
        std::filesystem::create_directories(m_dir.path() / "config");
        std::filesystem::create_directories(m_dir.path() / "data");
        std::filesystem::create_directories(m_dir.path() / "program");
        // The session's runtime folder, where a desktop's bus would be; empty unless a test
        // starts a bus of its own there.
        std::filesystem::create_directories(m_dir.path() / "runtime");
        std::filesystem::permissions(m_dir.path() / "runtime", std::filesystem::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", (m_dir.path() / "runtime").c_str(), 1);
        ::setenv("HOME", (m_dir.path() / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_dir.path() / "config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_dir.path() / "data").c_str(), 1);
        ::setenv("FERNWICK_HOME", (m_dir.path() / "program").c_str(), 1);
    }
    // The program directory, with a trailing "/".
    std::string programDir() const { return (m_dir.path() / "program").string() + "/"; }
    std::filesystem::path program() const { return m_dir.path() / "program"; }
    std::filesystem::path home() const { return m_dir.path() / "home"; }
    std::filesystem::path root() const { return m_dir.path(); }
    std::filesystem::path runtime() const { return m_dir.path() / "runtime"; }

private:
    TempDir m_dir;
};
