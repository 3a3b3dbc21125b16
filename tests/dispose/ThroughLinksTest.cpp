// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Folders reached through symbolic links, from the scan to the disposal: what the scan finds
// there is disposed of, and a Move or Zip destination reached through a link is resolved when
// the run starts, through trusted links only.
#include "dispose/UnattendedDisposal.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanEngine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

struct LinkedRun {
    TempDir dir;
    Lines log;
    std::vector<DisposalFile> files;
    LinkedRun() {
        for (const char* name : {"a.tmp", "b.tmp"}) {
            WriteTextFile(dir.path() / "var/home/anna" / name, std::string(name) + " data");
            const std::string path = (dir.path() / "var/home/anna" / name).string();
            struct stat st {};
            ::lstat(path.c_str(), &st);
            files.push_back({path, FileSeen::Of(st)});
        }
        fs::create_directories(dir.path() / "var/dest");
        fs::create_directories(dir.path() / "home");
        fs::create_symlink(dir.path() / "var/home", dir.path() / "home/users"); // root's
        fs::create_symlink(dir.path() / "var/dest", dir.path() / "home/theirs");
        ::lchown((dir.path() / "home/theirs").c_str(), 1234, 1234);
    }
    fs::path At(const std::string& rel) const { return dir.path() / rel; }
    std::uint64_t Dispose(const std::string& method, const std::string& dest) {
        UnattendedDisposalIo io;
        io.log = [this](const std::string& s) { log.push_back(s); };
        return RunUnattendedDisposal(files, method, dest, io).cleanedBytes;
    }
};

} // namespace

TEST(ThroughLinks, FilesFoundUnderALinkedHomeAreDisposedOfNotCalledInUse) {
    LinkedRun r;
    r.files.clear();
    CProfile profile;
    profile.m_lstPatterns = {"*.tmp"};
    CStopEvent stop;
    CFoundFileList found;
    SearchFolder(r.At("home/users/anna").string(), profile, stop, found);
    ASSERT_EQ(found.Paths().size(), 2u);
    for (size_t i = 0; i < found.Paths().size(); ++i)
        r.files.push_back({found.Paths()[i], found.Seen(i)});
    EXPECT_EQ(r.Dispose("1022", ""), 20u);
    EXPECT_FALSE(fs::exists(r.At("var/home/anna/a.tmp")));
    EXPECT_FALSE(fs::exists(r.At("var/home/anna/b.tmp")));
    for (const std::string& line : r.log)
        EXPECT_EQ(line.find("in use"), std::string::npos) << line;
}

TEST(ThroughLinks, AMoveDestinationThroughATrustedLinkIsUsedByItsRealPath) {
    LinkedRun r;
    EXPECT_EQ(r.Dispose("1024", r.At("home/users/../dest/").string()), 20u);
    EXPECT_EQ(ReadTextFile(r.At("var/dest/a.tmp")), "a.tmp data");
    EXPECT_EQ(ReadTextFile(r.At("var/dest/b.tmp")), "b.tmp data");
    EXPECT_EQ(r.log.back(), "20 bytes were Moved by Fernwick");
}

TEST(ThroughLinks, AMoveDestinationThroughSomeoneElsesLinkFailsEveryFile) {
    LinkedRun r;
    const std::string dest = r.At("home/theirs").string();
    EXPECT_EQ(r.Dispose("1024", dest), 0u);
    EXPECT_TRUE(fs::exists(r.files[0].path));
    EXPECT_TRUE(fs::exists(r.files[1].path));
    EXPECT_TRUE(fs::is_empty(r.At("var/dest")));
    // Only failure lines: nothing claims a file was moved.
    ASSERT_EQ(r.log.size(), 3u);
    EXPECT_EQ(r.log[0], r.files[0].path + " could not be Moved: the destination folder " + dest +
                            " cannot be used: the symbolic link " + dest +
                            " belongs to user 1234, neither root nor the user running the program.");
    EXPECT_TRUE(r.log[1].starts_with(r.files[1].path + " could not be Moved: the destination folder"));
    EXPECT_EQ(r.log[2], "0 bytes were Moved by Fernwick");
}

TEST(ThroughLinks, AZipArchivesFolderIsResolvedTheSameWay) {
    LinkedRun trusted;
    EXPECT_EQ(trusted.Dispose("1023", trusted.At("home/users/archive.zip").string()), 20u);
    EXPECT_TRUE(fs::is_regular_file(trusted.At("var/home/archive.zip")));

    LinkedRun refused;
    EXPECT_EQ(refused.Dispose("1023", refused.At("home/theirs/archive.zip").string()), 0u);
    EXPECT_FALSE(fs::exists(refused.At("var/dest/archive.zip")));
    EXPECT_EQ(refused.log.back(), "0 bytes were Zipped by Fernwick");
    size_t failures = 0;
    for (const std::string& line : refused.log)
        failures += line.find("could not be Zipped: the destination folder") != std::string::npos;
    EXPECT_EQ(failures, 2u);
}
