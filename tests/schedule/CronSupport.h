// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "support/TempDir.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// What Debian's cron daemon hands /bin/sh: a backslash before '%' or before another backslash
// escapes it (so "\\%" is a backslash followed by a bare '%'), any other backslash stays, and
// a bare '%' ends the command (the rest becomes its input).
inline std::string CronUnescape(const std::string& command) {
    std::string out;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == '\\' && i + 1 < command.size() && (command[i + 1] == '%' || command[i + 1] == '\\')) {
            out += command[++i];
        } else if (c == '%') {
            break;
        } else {
            out += c;
        }
    }
    return out;
}

// The command field of a crontab line: what follows the five time fields.
inline std::string CronCommandField(const std::string& line) {
    std::size_t pos = 0;
    for (int field = 0; field < 5; ++field) {
        pos = line.find(' ', pos);
        if (pos == std::string::npos)
            return {};
        ++pos;
    }
    return line.substr(pos);
}

// A stand-in program that writes its arguments, each followed by a NUL byte, to the file
// named by its ARGV_OUT variable, then the three variables a scheduled run is given.
inline void WriteArgvPrinter(const std::filesystem::path& path) {
    WriteTextFile(path, "#!/bin/sh\n"
                        "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$ARGV_OUT\"\n"
                        "printf 'FERNWICK_HOME=%s\\0XDG_CONFIG_HOME=%s\\0XDG_DATA_HOME=%s\\0' "
                        "\"$FERNWICK_HOME\" \"$XDG_CONFIG_HOME\" \"$XDG_DATA_HOME\" "
                        ">> \"$ARGV_OUT\"\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

inline std::vector<std::string> SplitNul(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\0') {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    return parts;
}

#include <unistd.h>

// Runs command with /bin/sh -c in an environment made of env alone, as cron does; returns the
// shell's exit status, or -1.
inline int RunWithBareShell(const std::string& command, const std::vector<std::string>& env) {
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::execle("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr),
                 envp.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A stand-in "crontab" program that keeps the table in the file named by FAKE_CRONTAB: "-l"
// prints it or says "no crontab for" and fails; "-" stores its input. FAKE_CRONTAB_FAIL makes
// it refuse with that text.
inline void WriteStandInCrontab(const std::filesystem::path& path) {
    WriteTextFile(path,
                  "#!/bin/sh\n"
                  "if [ -n \"$FAKE_CRONTAB_FAIL\" ]; then\n"
                  "  echo \"crontab: $FAKE_CRONTAB_FAIL\" >&2; exit 1\n"
                  "fi\n"
                  "case \"$1\" in\n"
                  "-l) if [ -f \"$FAKE_CRONTAB\" ]; then cat \"$FAKE_CRONTAB\"; else\n"
                  "    echo \"no crontab for tester\" >&2; exit 1; fi ;;\n"
                  "-) cat > \"$FAKE_CRONTAB.new\" && mv \"$FAKE_CRONTAB.new\" \"$FAKE_CRONTAB\" ;;\n"
                  "*) echo \"crontab: usage\" >&2; exit 1 ;;\n"
                  "esac\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}
