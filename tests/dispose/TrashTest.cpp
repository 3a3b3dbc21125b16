// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Moving files to the trash: what lands in Trash/files and Trash/info, names the trash already
// holds, the trash of another file system, refusals, a failed rename, and what the desktop's
// trash tools make of it. Every case has a home of its own, so the real trash is never touched.
#include "dispose/Trash.h"

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Info {
    std::vector<std::string> lines;
    std::string path;
    std::string date;
};

std::string LocalStamp(std::time_t when) {
    std::tm t{};
    localtime_r(&when, &t);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &t);
    return buf;
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    if (fs::exists(folder))
        for (const auto& e : fs::directory_iterator(folder))
            names.insert(e.path().filename().string());
    return names;
}

Info ReadInfo(const fs::path& file) {
    Info info;
    std::istringstream in(ReadTextFile(file));
    for (std::string line; std::getline(in, line);) {
        info.lines.push_back(line);
        if (line.rfind("Path=", 0) == 0)
            info.path = line.substr(5);
        if (line.rfind("DeletionDate=", 0) == 0)
            info.date = line.substr(13);
    }
    return info;
}

// A tmpfs mounted for the test's lifetime.
class TmpfsMount {
public:
    explicit TmpfsMount(const fs::path& where) : m_where(where) {
        fs::create_directories(where);
        m_ok = ::mount("fernwick-test", where.c_str(), "tmpfs", 0, "size=4m") == 0;
        if (!m_ok)
            m_error = std::strerror(errno);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    ~TmpfsMount() {
        if (m_ok)
            ::umount2(m_where.c_str(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }

private:
    fs::path m_where;
    bool m_ok = false;
    std::string m_error;
};

class TrashTest : public testing::Test {
protected:
    ScopedTestHome m_home; // HOME and XDG_DATA_HOME: read when a CTrash is made

    fs::path Work() const { return m_home.root() / "work"; }
    fs::path Trash() const { return m_home.root() / "data" / "Trash"; }

    fs::path Make(const std::string& relative, const std::string& text) const {
        const fs::path file = Work() / relative;
        WriteTextFile(file, text);
        return file;
    }
    std::set<std::string> Trashed() const { return Names(Trash() / "files"); }
    Info InfoOf(const std::string& trashedName) const {
        return ReadInfo(Trash() / "info" / (trashedName + ".trashinfo"));
    }
};

} // namespace

TEST_F(TrashTest, MovesTheFileAndRecordsWhereItCameFromAndWhen) {
    const fs::path file = Make("my file 100%.txt", "keep me");
    ASSERT_EQ(Work().string().find_first_not_of(
                  "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_./"),
              std::string::npos);
    struct stat made {};
    ASSERT_EQ(::lstat(file.c_str(), &made), 0);

    const std::string before = LocalStamp(std::time(nullptr));
    const FsError result = MoveToTrash(file.string());
    const std::string after = LocalStamp(std::time(nullptr));
    ASSERT_FALSE(result) << result.Text();

    EXPECT_FALSE(fs::exists(fs::symlink_status(file)));
    ASSERT_EQ(Trashed(), std::set<std::string>{"my file 100%.txt"});
    struct stat st {};
    ASSERT_EQ(::lstat((Trash() / "files" / "my file 100%.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_ino, made.st_ino); // renamed, never copied
    EXPECT_EQ(ReadTextFile(Trash() / "files" / "my file 100%.txt"), "keep me");

    const Info info = InfoOf("my file 100%.txt");
    ASSERT_EQ(info.lines.size(), 3u);
    EXPECT_EQ(info.lines[0], "[Trash Info]");
    EXPECT_EQ(info.path, Work().string() + "/my%20file%20100%25.txt");
    ASSERT_EQ(info.date.size(), before.size()) << info.date;
    EXPECT_LE(before, info.date);
    EXPECT_LE(info.date, after);
    // The trash is made as freedesktop.org's trash rules ask: private to the user.
    EXPECT_EQ(fs::status(Trash()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(Names(Trash() / "info"), std::set<std::string>{"my file 100%.txt.trashinfo"});
}

TEST_F(TrashTest, ANameTheTrashHoldsGetsARandomSuffixBeforeItsExtension) {
    std::vector<fs::path> files;
    for (const char* folder : {"one", "two", "three"})
        files.push_back(Make(std::string(folder) + "/report.txt", folder));
    CTrash trash;
    std::vector<std::string> given;
    for (const fs::path& f : files) {
        HeldFile held;
        ASSERT_FALSE(HoldFile(f.string(), held));
        std::string as;
        const FsError e = trash.Put(held, f.string(), &as);
        ASSERT_FALSE(e) << e.Text();
        given.push_back(as);
    }
    EXPECT_EQ(given[0], "report.txt");
    const std::regex suffixed("report\\.[0-9a-f]{12}\\.txt");
    EXPECT_TRUE(std::regex_match(given[1], suffixed)) << given[1];
    EXPECT_TRUE(std::regex_match(given[2], suffixed)) << given[2];
    EXPECT_NE(given[1], given[2]);
    ASSERT_EQ(Trashed().size(), 3u);
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(InfoOf(given[i]).path, files[i].string());
        EXPECT_EQ(ReadTextFile(Trash() / "files" / given[i]), files[i].parent_path().filename().string());
    }
}

TEST(TrashName, KeepsTheExtensionAndRoomForTheRecord) {
    EXPECT_EQ(TrashName("report.txt", 0, 0), "report.txt");
    EXPECT_EQ(TrashName("report.txt", 1, 0xabc), "report.000000000abc.txt");
    EXPECT_EQ(TrashName("archive.tar.gz", 2, 1), "archive.tar.000000000001.gz");
    EXPECT_EQ(TrashName("Makefile", 1, 0xffffffffffff), "Makefile.ffffffffffff");
    EXPECT_EQ(TrashName(".bashrc", 1, 2), ".bashrc.000000000002");
    EXPECT_EQ(TrashName("notes.a-very-long-extension-here", 1, 3),
              "notes.a-very-long-extension-here.000000000003");

    // Every name fits with ".trashinfo" after it, also with a suffix.
    const std::string longName = std::string(250, 'n') + ".log";
    for (int attempt : {0, 1}) {
        const std::string name = TrashName(longName, attempt, 7);
        EXPECT_LE(name.size() + 10, 255u) << attempt;
        EXPECT_TRUE(name.ends_with(".log")) << name;
    }
    // Cut between characters, not inside one: "é" is two bytes.
    std::string accented;
    for (int i = 0; i < 150; ++i)
        accented += "\xc3\xa9";
    const std::string cut = TrashName(accented, 0, 0);
    EXPECT_EQ(cut.size() % 2, 0u);
    EXPECT_LE(cut.size() + 10, 255u);
}

TEST(TrashName, PathsArePercentEncodedExceptTheUnreservedAndSlashes) {
    EXPECT_EQ(EncodeTrashPath("/home/a-b_c.d~/x"), "/home/a-b_c.d~/x");
    EXPECT_EQ(EncodeTrashPath("/a b/100%"), "/a%20b/100%25");
    EXPECT_EQ(EncodeTrashPath("/caf\xc3\xa9\n#?"), "/caf%C3%A9%0A%23%3F");
}

TEST_F(TrashTest, PathsThatAreNoPlainRegularFileAreRefused) {
    const fs::path inside = Make("real/inside.txt", "inside");
    fs::create_directory_symlink(Work() / "real", Work() / "linked");
    const fs::path target = Make("target.txt", "target");
    fs::create_symlink(target, Work() / "link.txt");
    const fs::path fifo = Work() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(Work() / "folder");

    const std::vector<std::pair<fs::path, const char*>> cases = {
        {Work() / "vanished.txt", refusal::kGone},
        {Work() / "linked" / "inside.txt", refusal::kLinkOnPath},
        {Work() / "link.txt", refusal::kLink},
        {fifo, refusal::kNotRegular},
        {Work() / "folder", refusal::kNotRegular},
        {"relative.txt", refusal::kNotAbsolute}};
    for (const auto& [path, said] : cases) {
        const FsError e = MoveToTrash(path.string());
        EXPECT_EQ(e.Text(), said) << path;
    }
    EXPECT_TRUE(Trashed().empty());
    EXPECT_EQ(ReadTextFile(inside), "inside");
    EXPECT_EQ(ReadTextFile(target), "target");
    EXPECT_TRUE(fs::is_symlink(Work() / "link.txt"));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(Work() / "folder"));
}

TEST_F(TrashTest, ATrashThatCannotBeUsedLeavesTheFileWhereItIs) {
    const fs::path file = Make("stays.txt", "stays");
    WriteTextFile(Trash(), "a file where the trash folder belongs");
    const FsError asFile = MoveToTrash(file.string());
    EXPECT_EQ(asFile.Text(), "the home trash cannot be used: Not a directory");
    EXPECT_EQ(ReadTextFile(file), "stays");

    // A link in its place is not followed, wherever it points.
    fs::remove(Trash());
    fs::create_directories(Work() / "elsewhere" / "files");
    fs::create_directories(Work() / "elsewhere" / "info");
    fs::create_directory_symlink(Work() / "elsewhere", Trash());
    const FsError asLink = MoveToTrash(file.string());
    EXPECT_TRUE(asLink.Text().starts_with("the home trash cannot be used: ")) << asLink.Text();
    EXPECT_EQ(ReadTextFile(file), "stays");
    EXPECT_TRUE(Names(Work() / "elsewhere" / "files").empty());
    EXPECT_TRUE(Names(Work() / "elsewhere" / "info").empty());

    // Missing folders on the way to the data folder are made.
    fs::remove(Trash());
    fs::remove_all(m_home.root() / "data");
    ::setenv("XDG_DATA_HOME", (m_home.root() / "data" / "deeper" / "share").c_str(), 1);
    ASSERT_FALSE(MoveToTrash(file.string()));
    EXPECT_TRUE(fs::exists(m_home.root() / "data/deeper/share/Trash/files/stays.txt"));
}

TEST_F(TrashTest, TheRecordGoesAgainWhenTheRenameFails) {
    const fs::path file = Make("held/f.txt", "f");
    // A file the trash holds without a record: the name is taken all the same.
    WriteTextFile(Trash() / "files" / "f.txt", "orphan");
    fs::create_directories(Trash() / "info");
    std::string as;
    {
        CTrash trash;
        HeldFile held;
        ASSERT_FALSE(HoldFile(file.string(), held));
        ASSERT_FALSE(trash.Put(held, file.string(), &as));
    }
    EXPECT_NE(as, "f.txt");
    EXPECT_EQ(ReadTextFile(Trash() / "files" / "f.txt"), "orphan");
    EXPECT_EQ(Names(Trash() / "info"), std::set<std::string>{as + ".trashinfo"});

    // A folder whose entries cannot change: the rename fails and nothing is left behind.
    const fs::path stuck = Make("stuck/g.txt", "g");
    const UniqueFd folder(::open(stuck.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int flags = 0;
    if (::ioctl(folder.get(), FS_IOC_GETFLAGS, &flags) != 0)
        GTEST_SKIP() << "file flags cannot be read here: " << std::strerror(errno);
    const int immutable = flags | FS_IMMUTABLE_FL;
    if (::ioctl(folder.get(), FS_IOC_SETFLAGS, &immutable) != 0)
        GTEST_SKIP() << "a folder cannot be made immutable here: " << std::strerror(errno);
    const FsError e = MoveToTrash(stuck.string());
    ::ioctl(folder.get(), FS_IOC_SETFLAGS, &flags);
    EXPECT_EQ(e.Code(), EPERM) << e.Text();
    EXPECT_EQ(ReadTextFile(stuck), "g");
    EXPECT_EQ(Names(Trash() / "info"), std::set<std::string>{as + ".trashinfo"});
}

TEST_F(TrashTest, AFileOnAnotherFileSystemGoesToThatFileSystemsOwnTrash) {
    TmpfsMount mount(Work() / "mnt");
    if (!mount.ok())
        GTEST_SKIP() << "cannot mount a tmpfs here (" << mount.error() << ")";
    const std::string uid = std::to_string(::geteuid());
    const fs::path top = Work() / "mnt";
    const fs::path file = Make("mnt/sub/f name.txt", "on tmpfs");

    ASSERT_FALSE(MoveToTrash(file.string()));
    const fs::path own = top / (".Trash-" + uid);
    EXPECT_EQ(Names(own / "files"), std::set<std::string>{"f name.txt"});
    // Relative to the mount's top, so the trash fits wherever the file system is mounted.
    EXPECT_EQ(ReadInfo(own / "info" / "f name.txt.trashinfo").path, "sub/f%20name.txt");
    EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(Trashed().empty()); // never copied to the home trash

    // A shared .Trash with the sticky bit is used, the user's own folder made in it.
    fs::create_directory(top / ".Trash");
    fs::permissions(top / ".Trash", fs::perms::all | fs::perms::sticky_bit);
    const fs::path second = Make("mnt/second.txt", "2");
    ASSERT_FALSE(MoveToTrash(second.string()));
    EXPECT_EQ(Names(top / ".Trash" / uid / "files"), std::set<std::string>{"second.txt"});
    EXPECT_EQ(ReadInfo(top / ".Trash" / uid / "info" / "second.txt.trashinfo").path, "second.txt");

    // Without the sticky bit, or as a link, it is not trusted: the user's .Trash-UID is used.
    fs::permissions(top / ".Trash", fs::perms::all);
    const fs::path third = Make("mnt/third.txt", "3");
    ASSERT_FALSE(MoveToTrash(third.string()));
    EXPECT_TRUE(fs::exists(own / "files" / "third.txt"));
    fs::remove_all(top / ".Trash");
    fs::create_directories(top / "decoy" / uid / "files");
    fs::create_directories(top / "decoy" / uid / "info");
    fs::permissions(top / "decoy", fs::perms::all | fs::perms::sticky_bit);
    fs::create_directory_symlink(top / "decoy", top / ".Trash");
    const fs::path fourth = Make("mnt/fourth.txt", "4");
    ASSERT_FALSE(MoveToTrash(fourth.string()));
    EXPECT_TRUE(fs::exists(own / "files" / "fourth.txt"));
    EXPECT_TRUE(Names(top / "decoy" / uid / "files").empty());

    // Someone else's .Trash-UID is refused, and the file stays.
    fs::remove_all(own);
    fs::create_directory(own);
    ASSERT_EQ(::chown(own.c_str(), ::geteuid() + 1, 0), 0);
    const fs::path fifth = Make("mnt/fifth.txt", "5");
    const FsError refused = MoveToTrash(fifth.string());
    EXPECT_EQ(refused.Text(), "the trash of its file system belongs to another user");
    EXPECT_EQ(ReadTextFile(fifth), "5");
}

TEST_F(TrashTest, TheDesktopsTrashToolsListAndRestoreWhatWasTrashed) {
    const fs::path one = Make("tools/first file.txt", "first");
    const fs::path two = Make("tools/second%.txt", "second");
    ASSERT_FALSE(MoveToTrash(one.string()));
    ASSERT_FALSE(MoveToTrash(two.string()));
    const std::string env = "HOME='" + m_home.home().string() + "' XDG_DATA_HOME='" +
                            (m_home.root() / "data").string() + "'";

    bool ranOne = false;
    if (::access("/usr/bin/trash-list", X_OK) == 0) {
        ranOne = true;
        const CommandResult listed = RunCommand(env, "trash-list", "");
        ASSERT_EQ(listed.exitCode, 0) << listed.out;
        EXPECT_NE(listed.out.find(" " + one.string() + "\n"), std::string::npos) << listed.out;
        EXPECT_NE(listed.out.find(" " + two.string() + "\n"), std::string::npos) << listed.out;

        // It offers the files trashed from the folder it runs in; 0 is the first offered.
        const CommandResult restored =
            RunCommand("cd '" + one.parent_path().string() + "' && echo 0 | " + env, "trash-restore", "");
        EXPECT_EQ(restored.exitCode, 0) << restored.out;
        const bool firstBack = fs::exists(one), secondBack = fs::exists(two);
        EXPECT_NE(firstBack, secondBack) << restored.out;
        EXPECT_EQ(ReadTextFile(firstBack ? one : two), firstBack ? "first" : "second");
        EXPECT_EQ(Trashed().size(), 1u);
    } else {
        std::printf("trash-list not installed (Debian package trash-cli): not checked with it\n");
    }

    const CommandResult gio = RunCommand(env, "gio", "list -u trash://");
    if (gio.exitCode == 0) {
        ranOne = true;
        EXPECT_NE(gio.out.find("trash:///"), std::string::npos) << gio.out;
    } else {
        std::printf("gio list trash:// does not work here (%s): not checked with it\n",
                    gio.out.substr(0, gio.out.find('\n')).c_str());
    }
    if (!ranOne)
        GTEST_SKIP() << "neither trash-cli nor a working gio trash is installed";
}
