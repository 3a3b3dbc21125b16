// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Runs the real program the way a user starts it.
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

CommandResult RunFernwick(const std::string& args) { return RunCommand({}, FW_BINARY, args); }

} // namespace

TEST(Startup, HelpAndVersionFollowLinuxConventions) {
    ScopedTestHome home;
    const CommandResult help = RunFernwick("--help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* sw : {"/r", "/p", "/d", "/x", "/m", "--version"})
        EXPECT_NE(help.out.find(sw), std::string::npos) << sw;
    const CommandResult version = RunFernwick("/r --version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Fernwick 2.0a\n");
    // Neither touched the settings.
    EXPECT_TRUE(fs::is_empty(home.program()));
}

TEST(Startup, FirstStartMergesTheShippedProfilesOnce) {
    ScopedTestHome home;
    fs::copy_file(FW_DEFAULT_PROFILES, home.program() / "newntsettings.dat");

    // A scheduled run that names no profile: start-up and the merge, then nothing to do.
    const CommandResult first = RunFernwick("/r /p /d /x1022 /m");
    EXPECT_EQ(first.exitCode, 0) << first.out;
    EXPECT_FALSE(fs::exists(home.program() / "newntsettings.dat"));
    const std::string settings = ReadTextFile(home.program() / "settings.dat");
    ASSERT_TRUE(settings.starts_with("Fernwick 2.0, Data Stream Version 1.1\n8\n")) << settings;
    // Home-relative folders were made the user's own.
    EXPECT_NE(settings.find(home.home().string() + "/.cache\n"), std::string::npos);

    const CommandResult second = RunFernwick("-r -p -d -x1022 -m");
    EXPECT_EQ(second.exitCode, 0) << second.out;
    EXPECT_EQ(ReadTextFile(home.program() / "settings.dat"), settings);
    EXPECT_NE(ReadTextFile(home.program() / "fwlog.txt").find("0 bytes were Deleted by Fernwick"),
              std::string::npos);
}
