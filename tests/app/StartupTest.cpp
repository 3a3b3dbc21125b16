// Runs the real program the way a user starts it.
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
};

RunResult RunFernwick(const std::string& args) {
    RunResult r;
    // A program that waits for a user must not hang the test run.
    const std::string cmd = "timeout 120 " + std::string(FW_BINARY) + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace

TEST(Startup, HelpAndVersionFollowLinuxConventions) {
    ScopedTestHome home;
    const RunResult help = RunFernwick("--help");
    EXPECT_EQ(help.exitCode, 0);
    for (const char* sw : {"/r", "/p", "/d", "/x", "/m", "--version"})
        EXPECT_NE(help.out.find(sw), std::string::npos) << sw;
    const RunResult version = RunFernwick("/r --version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Fernwick 2.0a\n");
    // Neither touched the settings.
    EXPECT_TRUE(fs::is_empty(home.program()));
}

TEST(Startup, FirstStartMergesTheShippedProfilesOnce) {
    ScopedTestHome home;
    fs::copy_file(FW_DEFAULT_PROFILES, home.program() / "newntsettings.dat");

    // A scheduled run that names no profile: start-up and the merge, then nothing to do.
    const RunResult first = RunFernwick("/r /p /d /x1022 /m");
    EXPECT_EQ(first.exitCode, 0) << first.out;
    EXPECT_FALSE(fs::exists(home.program() / "newntsettings.dat"));
    const std::string settings = ReadTextFile(home.program() / "settings.dat");
    ASSERT_TRUE(settings.starts_with("Fernwick 2.0, Data Stream Version 1.1\n7\n")) << settings;
    // Home-relative folders were made the user's own.
    EXPECT_NE(settings.find(home.home().string() + "/.cache\n"), std::string::npos);

    const RunResult second = RunFernwick("-r -p -d -x1022 -m");
    EXPECT_EQ(second.exitCode, 0) << second.out;
    EXPECT_EQ(ReadTextFile(home.program() / "settings.dat"), settings);
    EXPECT_NE(ReadTextFile(home.program() / "fwlog.txt").find("0 bytes were Deleted by Fernwick"),
              std::string::npos);
}
