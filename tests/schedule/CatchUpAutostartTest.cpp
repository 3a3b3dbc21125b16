// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CatchUpAutostart.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(CatchUpAutostart, TheEntryRunsThisVeryProgram) {
    const std::string entry = CatchUpDesktopEntry("/opt/my \"apps\"/100% $HOME/fern\\wick");
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
    // Quoted for Exec ('"', '$', '\' escaped, '%' doubled), then the backslashes doubled
    // for the file's own escapes.
    EXPECT_NE(entry.find("\nExec=\"/opt/my \\\\\"apps\\\\\"/100%% \\\\$HOME/fern\\\\\\\\wick\" "
                         "--catch-up\n"),
              std::string::npos)
        << entry;
    EXPECT_NE(entry.find("\nNoDisplay=true\n"), std::string::npos);
}

TEST(CatchUpAutostart, InstalledWithTheScheduleAndRemovedWithIt) {
    TempDir dir;
    const std::string config = (dir.path() / "config").string();
    const fs::path entry = dir.path() / "config" / "autostart" / kCatchUpEntryName;
    EXPECT_EQ(RemoveCatchUpAutostart(config), FsError()); // none yet: nothing to do
    ASSERT_EQ(InstallCatchUpAutostart(config, "/usr/bin/fernwick"), FsError());
    EXPECT_EQ(ReadTextFile(entry), CatchUpDesktopEntry("/usr/bin/fernwick"));
    ASSERT_EQ(InstallCatchUpAutostart(config, "/usr/local/bin/fernwick"), FsError());
    EXPECT_EQ(ReadTextFile(entry), CatchUpDesktopEntry("/usr/local/bin/fernwick"));
    WriteTextFile(dir.path() / "config" / "autostart" / "other.desktop", "mine");
    EXPECT_EQ(RemoveCatchUpAutostart(config), FsError());
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(ReadTextFile(dir.path() / "config" / "autostart" / "other.desktop"), "mine");
    // A link of that name is somebody else's: it stays, and so does what it points at.
    WriteTextFile(dir.path() / "target", "keep");
    fs::create_symlink(dir.path() / "target", entry);
    EXPECT_TRUE(RemoveCatchUpAutostart(config));
    EXPECT_TRUE(fs::is_symlink(entry));
    EXPECT_EQ(ReadTextFile(dir.path() / "target"), "keep");
    EXPECT_TRUE(InstallCatchUpAutostart("relative", "/usr/bin/fernwick"));
}
