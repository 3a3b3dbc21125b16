// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The default profiles shipped with the program, run as root would run them with drive C chosen,
// over a small copy of a system's folders: they take the leftovers and nothing an installed
// program or fsck keeps.
#include "profiles/CProfileList.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanPlan.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

// Absolute scan folders outside the home are moved under the copy of the system.
void MoveUnder(CProfileList& store, const std::string& root, const std::string& home) {
    for (CProfile& p : store)
        for (std::string& f : p.m_lstScanFolders)
            if (f.rfind(home, 0) != 0)
                f = root + f;
}

} // namespace

TEST(ShippedProfiles, TakeLeftoversAndNothingThatTheSystemKeeps) {
    ScopedTestHome env;
    const fs::path root = env.root() / "sysroot";
    const fs::path home = root / "root"; // as root, "~" is /root
    fs::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);

    const std::set<std::string> wanted = {
        "root/notes.bak", "root/.bashrc~", "root/project/main.c.orig", "root/old/list.old",
        "root/x.tmp", "tmp/y.tmp", "var/tmp/z.temp", "tmp/~wrl0001.tmp",
        "root/.report.txt.swp", "tmp/.~lock.sheet.ods#", "root/~$letter.docx",
        "FILE0002.CHK", "media/FOUND.000/FILE0001.CHK", "media/FOUND.000/FILE0003.CHK",
        "var/lib/systemd/coredump/core.bash.1000.4f1e.42.1700000000000000.zst",
        "root/vgcore.1234",
        "root/.cache/thumbnails/normal/0a1b.png",
        "root/.cache/mozilla/firefox/p.default/cache2/entries/ABCDEF",
    };
    const std::set<std::string> kept = {
        "etc/xml/catalog.old", "var/lib/sgml-base/supercatalog.old", "etc/apt/sources.list.bak",
        "usr/lib/python3/dist-packages/pkg/core", "usr/lib/python3/dist-packages/pkg/data/core",
        "usr/share/doc/x/README.orig", "opt/app/cache.tmp", "boot/grub/grub.cfg.old",
        "var/lib/dpkg/status-old", "var/lib/app/state.tmp", "lost+found/#12345",
        "lost+found/#12346", "root/core", "root/core.py", "var/lib/systemd/timers/stamp",
        "var/lib/systemd/core.bash.1.2.3.4", "root/notes.txt",
    };
    for (const auto& set : {wanted, kept})
        for (const std::string& rel : set)
            WriteTextFile(root / rel, "x");

    fs::copy_file(FW_DEFAULT_PROFILES, env.program() / "newntsettings.dat");
    CProfileList store;
    store.LoadAndMerge(false);
    ASSERT_GE(store.GetCount(), 6u);
    MoveUnder(store, root.string(), home.string());

    ScanRequest request;
    request.isSelected = [](const CProfile&) { return true; };
    request.drivePass = true;
    request.drives = {{'C', root.string()}};
    CStopEvent stop;
    CFoundFileList found;
    RunScanPlan(store, request, stop, found);

    std::set<std::string> taken;
    for (const std::string& path : found.Paths()) {
        ASSERT_EQ(path.rfind(root.string() + "/", 0), 0u) << path;
        taken.insert(path.substr(root.string().size() + 1));
    }
    EXPECT_EQ(taken, wanted);
}
