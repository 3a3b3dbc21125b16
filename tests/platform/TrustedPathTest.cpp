// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Following a folder's path through the links that can be trusted, on real folders.
#include "platform/TrustedPath.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr uid_t kOther = 1234;    // neither root nor the follower
constexpr uid_t kFollower = 2345; // the user the tests resolve for, when not root

struct Tree {
    TempDir dir;
    std::string at(const std::string& rel) const { return (dir.path() / rel).string(); }
    void folder(const std::string& rel, mode_t mode = 0755, uid_t owner = 0) {
        fs::create_directories(dir.path() / rel);
        ::chmod(at(rel).c_str(), mode);
        ::chown(at(rel).c_str(), owner, owner);
    }
    bool link(const std::string& target, const std::string& rel, uid_t owner = 0) {
        fs::create_symlink(target, dir.path() / rel);
        return ::lchown(at(rel).c_str(), owner, owner) == 0;
    }
};

ino_t InodeOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? st.st_ino : 0;
}

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// What OpenTrustedFolder made of a path: the folder, or why not.
struct Opened {
    TrustedFolder folder;
    FsError error;
};
Opened Open(const std::string& path, uid_t follower = ::geteuid()) {
    Opened o;
    o.error = OpenTrustedFolder(path, follower, o.folder);
    return o;
}

} // namespace

TEST(TrustedPath, TheRuleOfProtectedLinks) {
    const mode_t plain = 0755, open = 0777, sticky = 01777, stickyClosed = 01755;
    // Outside sticky world-writable folders: root's links and the follower's own.
    EXPECT_TRUE(MayFollowLink(0, kOther, plain, kFollower));
    EXPECT_TRUE(MayFollowLink(kFollower, kOther, open, kFollower));
    EXPECT_FALSE(MayFollowLink(kOther, kOther, plain, kFollower));
    EXPECT_FALSE(MayFollowLink(kOther, 0, open, kFollower));
    EXPECT_TRUE(MayFollowLink(0, kOther, stickyClosed, kFollower)); // sticky but not open
    // Inside one: the link's owner must be the follower or the folder's owner.
    EXPECT_TRUE(MayFollowLink(kFollower, kOther, sticky, kFollower));
    EXPECT_TRUE(MayFollowLink(0, 0, sticky, kFollower)); // root's link in /tmp
    EXPECT_FALSE(MayFollowLink(0, kOther, sticky, kFollower));
    EXPECT_FALSE(MayFollowLink(kOther, kOther, sticky, kFollower)); // not trusted at all
    // Root follows its own links anywhere, and nobody else's.
    EXPECT_TRUE(MayFollowLink(0, kOther, sticky, 0));
    EXPECT_FALSE(MayFollowLink(kOther, kOther, plain, 0));
}

TEST(TrustedPath, ResolvesToTheRealPathThroughTrustedLinks) {
    Tree t;
    t.folder("var/home/anna/Downloads");
    t.folder("mnt/disk/stuff");
    t.folder("home");
    ASSERT_TRUE(t.link(t.at("var/home"), "home/users"));                  // absolute
    ASSERT_TRUE(t.link("../../../mnt/disk/stuff", "var/home/anna/disk")); // relative, climbing
    ASSERT_TRUE(t.link("users", "home/again"));                           // a link to a link

    Opened r = Open(t.at("home/again/anna/./Downloads/../disk//"));
    ASSERT_TRUE(r.folder.fd) << r.error.Text();
    EXPECT_EQ(r.folder.path, t.at("mnt/disk/stuff"));
    EXPECT_EQ(InodeOf(r.folder.fd.get()), InodeOf(t.at("mnt/disk/stuff")));
    EXPECT_FALSE(r.error);

    // Relative to the current folder; ".." never climbs back through a link.
    const auto old = fs::current_path();
    fs::current_path(t.dir.path() / "home");
    Opened rel = Open("users/anna/..");
    fs::current_path(old);
    ASSERT_TRUE(rel.folder.fd) << rel.error.Text();
    EXPECT_EQ(rel.folder.path, t.at("var/home"));

    Opened root = Open("/");
    ASSERT_TRUE(root.folder.fd);
    EXPECT_EQ(root.folder.path, "/");
}

TEST(TrustedPath, AnotherUsersLinkIsRefusedWithItsName) {
    Tree t;
    t.folder("target");
    t.folder("home");
    ASSERT_TRUE(t.link(t.at("target"), "home/theirs", kOther));
    ASSERT_TRUE(t.link("theirs", "home/ours")); // ours, but leading through theirs

    for (const char* rel : {"home/theirs", "home/ours"}) {
        Opened r = Open(t.at(rel), 0);
        EXPECT_FALSE(r.folder.fd) << rel;
        EXPECT_EQ(r.error.Code(), EPERM) << rel;
        EXPECT_EQ(r.error.Text(),
                  "the symbolic link " + t.at("home/theirs") +
                      " belongs to user 1234, neither root nor the user running the program")
            << rel;
    }
    // The same link is the follower's own when resolved for that user.
    EXPECT_TRUE(Open(t.at("home/theirs"), kOther).folder.fd);
}

TEST(TrustedPath, InAStickyFolderAnyoneMayWriteToLinksNeedTheRightOwner) {
    Tree t;
    t.folder("target");
    t.folder("tmp", 01777, kOther); // another user's sticky, world-writable folder
    t.folder("roottmp", 01777, 0);  // root's, as /tmp is
    ASSERT_TRUE(t.link(t.at("target"), "tmp/roots"));
    ASSERT_TRUE(t.link(t.at("target"), "tmp/followers", kFollower));
    ASSERT_TRUE(t.link(t.at("target"), "roottmp/roots"));

    Opened refused = Open(t.at("tmp/roots"), kFollower);
    EXPECT_FALSE(refused.folder.fd);
    EXPECT_EQ(refused.error.Code(), EPERM);
    EXPECT_EQ(refused.error.Text(),
              "the symbolic link " + t.at("tmp/roots") + " belongs to root but lies in " +
                  t.at("tmp") +
                  ", a sticky folder anyone may write to, which belongs to user 1234");
    EXPECT_TRUE(Open(t.at("tmp/followers"), kFollower).folder.fd);
    EXPECT_TRUE(Open(t.at("roottmp/roots"), kFollower).folder.fd);
    EXPECT_TRUE(Open(t.at("tmp/roots"), 0).folder.fd); // root's own link, for root
}

TEST(TrustedPath, LoopsMissingFoldersAndFilesFail) {
    Tree t;
    t.folder("end");
    // A chain of exactly the allowed number of links resolves; one more does not.
    std::string next = t.at("end");
    for (int i = 0; i < kMaxFollowedLinks; ++i) {
        const std::string name = "l" + std::to_string(i);
        ASSERT_TRUE(t.link(next, name));
        next = t.at(name);
    }
    EXPECT_TRUE(Open(next).folder.fd) << Open(next).error.Text();
    ASSERT_TRUE(t.link(next, "one-too-many"));
    Opened loop = Open(t.at("one-too-many"));
    EXPECT_FALSE(loop.folder.fd);
    EXPECT_EQ(loop.error.Code(), ELOOP);

    ASSERT_TRUE(t.link("self", "self"));
    EXPECT_EQ(Open(t.at("self")).error.Code(), ELOOP);

    Opened missing = Open(t.at("end/nothing/below"));
    EXPECT_EQ(missing.error.Code(), ENOENT);
    EXPECT_EQ(missing.error.Text(), t.at("end/nothing") + ": No such file or directory");

    WriteTextFile(t.dir.path() / "file", "x");
    EXPECT_EQ(Open(t.at("file")).error.Code(), ENOTDIR);
    EXPECT_EQ(Open(t.at("file/below")).error.Code(), ENOTDIR);
    EXPECT_FALSE(Open("").folder.fd);
}
