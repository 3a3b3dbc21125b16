// Moving files to the trash: what lands in Trash/files and Trash/info, files of one name from
// two folders, and paths that are refused. Its own main points HOME and XDG_DATA_HOME at a
// temporary folder before GLib reads and caches them, so the real trash is never touched.
#include "dispose/Trash.h"

#include "support/TempDir.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

ScopedTestHome* g_home = nullptr;

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

class TrashTest : public testing::Test {
protected:
    void SetUp() override {
        // Anything else means GLib read its folders before main set them: stop before trashing.
        ASSERT_EQ(fs::path(g_get_user_data_dir()), g_home->root() / "data");
        ASSERT_EQ(fs::path(g_get_home_dir()), g_home->home());
        fs::remove_all(Trash());
        fs::remove_all(Work());
        fs::create_directories(Work());
    }

    // Beside the data folder: the home trash is only used for files on its file system.
    static fs::path Work() { return g_home->root() / "work"; }
    static fs::path Trash() { return g_home->root() / "data" / "Trash"; }

    static fs::path Make(const fs::path& relative, const std::string& text) {
        const fs::path file = Work() / relative;
        fs::create_directories(file.parent_path());
        WriteTextFile(file, text);
        return file;
    }

    static std::set<std::string> Trashed() {
        std::set<std::string> names;
        if (fs::exists(Trash() / "files"))
            for (const auto& e : fs::directory_iterator(Trash() / "files"))
                names.insert(e.path().filename().string());
        return names;
    }

    static Info ReadInfo(const std::string& trashedName) {
        Info info;
        std::istringstream in(ReadTextFile(Trash() / "info" / (trashedName + ".trashinfo")));
        for (std::string line; std::getline(in, line);) {
            info.lines.push_back(line);
            if (line.rfind("Path=", 0) == 0)
                info.path = line.substr(5);
            if (line.rfind("DeletionDate=", 0) == 0)
                info.date = line.substr(13);
        }
        return info;
    }
};

TEST_F(TrashTest, MovesTheFileAndRecordsWhereItCameFromAndWhen) {
    const fs::path file = Make("my file 100%.txt", "keep me");
    // The folder part is left as it is only while it needs no escaping.
    ASSERT_EQ(Work().string().find_first_not_of(
                  "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_./"),
              std::string::npos);

    const std::string before = LocalStamp(std::time(nullptr));
    const auto result = MoveToTrash(file);
    const std::string after = LocalStamp(std::time(nullptr));
    ASSERT_FALSE(result) << *result;

    EXPECT_FALSE(fs::exists(fs::symlink_status(file)));
    const auto trashed = Trashed();
    ASSERT_EQ(trashed.size(), 1u);
    const std::string name = *trashed.begin();
    EXPECT_EQ(ReadTextFile(Trash() / "files" / name), "keep me");

    const Info info = ReadInfo(name);
    ASSERT_FALSE(info.lines.empty());
    EXPECT_EQ(info.lines[0], "[Trash Info]");
    EXPECT_EQ(info.path, Work().string() + "/my%20file%20100%25.txt");
    ASSERT_EQ(info.date.size(), before.size()) << info.date;
    EXPECT_LE(before, info.date);
    EXPECT_LE(info.date, after);
}

TEST_F(TrashTest, FilesOfOneNameFromTwoFoldersAreKeptApart) {
    const fs::path one = Make("one/report.txt", "from one");
    const fs::path two = Make("two/report.txt", "from two");
    ASSERT_FALSE(MoveToTrash(one));
    ASSERT_FALSE(MoveToTrash(two));

    const auto trashed = Trashed();
    ASSERT_EQ(trashed.size(), 2u);
    std::set<std::string> origins;
    for (const std::string& name : trashed) {
        const std::string origin = ReadInfo(name).path;
        origins.insert(origin);
        EXPECT_EQ(ReadTextFile(Trash() / "files" / name),
                  origin == one.string() ? "from one" : "from two")
            << name;
    }
    EXPECT_EQ(origins, (std::set<std::string>{one.string(), two.string()}));
}

TEST_F(TrashTest, PathsThatAreNoPlainRegularFileAreRefused) {
    const fs::path inside = Make("real/inside.txt", "inside");
    fs::create_directory_symlink(Work() / "real", Work() / "linked");
    const fs::path target = Make("target.txt", "target");
    fs::create_symlink(target, Work() / "link.txt");
    const fs::path fifo = Work() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(Work() / "folder");

    const std::vector<std::pair<fs::path, std::string>> cases = {
        {Work() / "vanished.txt", "No such file"},
        {Work() / "linked" / "inside.txt", "symbolic link"},
        {Work() / "link.txt", "symbolic link"},
        {fifo, "not a regular file"},
        {Work() / "folder", "not a regular file"},
        {"relative.txt", "Invalid argument"}};
    for (const auto& [path, said] : cases) {
        const auto reason = MoveToTrash(path);
        ASSERT_TRUE(reason) << path;
        EXPECT_NE(reason->find(said), std::string::npos) << path << ": " << *reason;
    }
    EXPECT_TRUE(Trashed().empty());
    EXPECT_EQ(ReadTextFile(inside), "inside");
    EXPECT_EQ(ReadTextFile(target), "target");
    EXPECT_TRUE(fs::is_symlink(Work() / "link.txt"));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(Work() / "folder"));
}

TEST_F(TrashTest, ATrashThatCannotBeMadeGivesGLibsReasonAndLeavesTheFile) {
    const fs::path file = Make("stays.txt", "stays");
    WriteTextFile(Trash(), "a file where the trash folder belongs");
    const auto reason = MoveToTrash(file);
    ASSERT_TRUE(reason);
    EXPECT_FALSE(reason->empty());
    EXPECT_EQ(ReadTextFile(file), "stays");
    EXPECT_TRUE(fs::is_regular_file(Trash()));
}

} // namespace

int main(int argc, char** argv) {
    ScopedTestHome home; // before any GLib call: it caches HOME and XDG_DATA_HOME at first use
    g_home = &home;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
