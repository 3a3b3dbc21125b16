// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Packing files into a zip archive: entry names, contents, adding to an archive, files that
// must not be archived, archive paths that must not be written, the old call, many files
// written at once, files that change before the archive is written, two runs writing one
// archive, the archive's permissions and owner, a stop during the write, and names too long
// for an entry.
#include "dispose/CZip.h"
#include "platform/UniqueFd.h"
#include "support/FileFacts.h"
#include "support/ChildProcess.h"
#include "support/DeepTree.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string data;
    zip_uint16_t method = 0;
    std::time_t mtime = 0;
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
};

struct ZipDiscard {
    void operator()(zip_t* za) const { zip_discard(za); }
};
struct ZipFileClose {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// Every entry of the archive by raw name; the test fails on anything unreadable.
std::map<std::string, Entry> ReadArchive(const fs::path& archive) {
    std::map<std::string, Entry> entries;
    int error = 0;
    std::unique_ptr<zip_t, ZipDiscard> za(zip_open(archive.c_str(), ZIP_RDONLY, &error));
    EXPECT_TRUE(za) << "cannot open " << archive << ", libzip error " << error;
    if (!za)
        return entries;
    const zip_int64_t count = zip_get_num_entries(za.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        zip_stat_init(&st);
        EXPECT_EQ(zip_stat_index(za.get(), index, ZIP_FL_ENC_RAW, &st), 0);
        Entry entry;
        entry.method = st.comp_method;
        entry.mtime = st.mtime;
        EXPECT_EQ(
            zip_file_get_external_attributes(za.get(), index, 0, &entry.system, &entry.attributes),
            0);
        std::unique_ptr<zip_file_t, ZipFileClose> file(zip_fopen_index(za.get(), index, 0));
        EXPECT_TRUE(file) << st.name;
        if (file) {
            char buf[4096];
            zip_int64_t n;
            while ((n = zip_fread(file.get(), buf, sizeof buf)) > 0)
                entry.data.append(buf, static_cast<std::size_t>(n));
            EXPECT_EQ(n, 0) << "read error in " << st.name;
        }
        entries[zip_get_name(za.get(), index, ZIP_FL_ENC_RAW)] = entry;
    }
    return entries;
}

std::string EntryName(const fs::path& file) {
    return file.string().substr(1);
}

std::vector<std::string> FailedPaths(const std::vector<ZipFailure>& failures) {
    std::vector<std::string> paths;
    for (const ZipFailure& f : failures)
        paths.push_back(f.path);
    return paths;
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// Compressible, and different for every file.
std::string Text(const std::string& seed) {
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += seed + " line " + std::to_string(i) + "\n";
    return text;
}

class ZipTest : public testing::Test {
  protected:
    fs::path Make(const fs::path& relative, const std::string& text) {
        const fs::path file = m_dir.path() / relative;
        fs::create_directories(file.parent_path());
        WriteTextFile(file, text);
        return file;
    }
    fs::path Archive() const { return m_dir.path() / "out.zip"; }

    TempDir m_dir;
    CZIP m_zip;
};

TEST_F(ZipTest, StoresFullPathsContentsTimesAndDeflate) {
    const fs::path first = Make("a folder/my notes.txt", Text("first"));
    const fs::path second = Make("other/my notes.txt", Text("second"));
    const fs::path empty = Make("empty file", "");
    std::tm t{};
    t.tm_year = 2021 - 1900;
    t.tm_mon = 5;
    t.tm_mday = 15;
    t.tm_hour = 10;
    t.tm_min = 20;
    t.tm_sec = 30; // even: zip times have two-second steps
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, first.c_str(), times, 0), 0);

    const auto failures = m_zip.AddFiles(Archive().string(), {first, second, empty});
    EXPECT_TRUE(failures.empty()) << failures.front().path << ": " << failures.front().reason;

    const auto entries = ReadArchive(Archive());
    ASSERT_EQ(entries.size(), 3u);
    ASSERT_TRUE(entries.count(EntryName(first)));
    ASSERT_TRUE(entries.count(EntryName(second)));
    ASSERT_TRUE(entries.count(EntryName(empty)));
    EXPECT_EQ(entries.at(EntryName(first)).data, Text("first"));
    EXPECT_EQ(entries.at(EntryName(second)).data, Text("second"));
    EXPECT_EQ(entries.at(EntryName(empty)).data, "");
    EXPECT_EQ(entries.at(EntryName(first)).method, ZIP_CM_DEFLATE);
    EXPECT_EQ(entries.at(EntryName(second)).method, ZIP_CM_DEFLATE);
    EXPECT_EQ(entries.at(EntryName(first)).mtime, when);
    // The permissions go with the file, so an unpacked script can still be run.
    ASSERT_EQ(::chmod(second.c_str(), 0751), 0);
    const fs::path archive2 = m_dir.path() / "modes.zip";
    ASSERT_TRUE(m_zip.AddFiles(archive2.string(), {second}).empty());
    const Entry mode = ReadArchive(archive2).at(EntryName(second));
    EXPECT_EQ(mode.system, ZIP_OPSYS_UNIX);
    EXPECT_EQ(mode.attributes >> 16, S_IFREG | 0751u);
}

TEST_F(ZipTest, AddsToAnExistingArchiveAndKeepsEntriesItHolds) {
    const fs::path a = Make("a.txt", Text("a"));
    const fs::path b = Make("b.txt", Text("b"));
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {a}).empty());
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {b}).empty());
    auto entries = ReadArchive(Archive());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[EntryName(a)].data, Text("a"));
    EXPECT_EQ(entries[EntryName(b)].data, Text("b"));

    // The same name again, from a later run and within one list: reported, old data kept.
    WriteTextFile(a, Text("changed"));
    const auto failures = m_zip.AddFiles(Archive().string(), {a, b.string(), b.string()});
    ASSERT_EQ(failures.size(), 3u);
    for (const ZipFailure& f : failures)
        EXPECT_EQ(f.reason, "the archive already holds an entry of that name") << f.path;
    entries = ReadArchive(Archive());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[EntryName(a)].data, Text("a"));

    // A first listing of a name within one call is stored, the repeat reported.
    const fs::path c = Make("c.txt", Text("c"));
    const auto repeat = m_zip.AddFiles(Archive().string(), {c, c});
    ASSERT_EQ(repeat.size(), 1u);
    EXPECT_EQ(repeat[0].path, c.string());
    EXPECT_EQ(ReadArchive(Archive())[EntryName(c)].data, Text("c"));
}

TEST_F(ZipTest, UnsuitableFilesAreReportedAndTheOthersArchived) {
    const fs::path good1 = Make("good one.txt", Text("good1"));
    const fs::path target = Make("target.txt", Text("target"));
    const fs::path link = m_dir.path() / "link.txt";
    fs::create_symlink(target, link);
    const fs::path vanished = m_dir.path() / "vanished.txt";
    const fs::path fifo = m_dir.path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path folder = m_dir.path() / "a folder";
    fs::create_directories(folder);
    const fs::path realDir = m_dir.path() / "real";
    const fs::path inReal = Make("real/inside.txt", Text("inside"));
    fs::create_directory_symlink(realDir, m_dir.path() / "linked");
    const fs::path throughLink = m_dir.path() / "linked" / "inside.txt";
    const std::string climbing = (m_dir.path() / "real" / ".." / "good one.txt").string();
    const std::string relative = "good one.txt";
    const fs::path good2 = Make("good two.txt", Text("good2"));

    const std::size_t fdsBefore = OpenDescriptors();
    const std::vector<std::string> list = {good1,       link,     vanished, fifo, folder,
                                           throughLink, climbing, relative, good2};
    const auto failures = m_zip.AddFiles(Archive().string(), list);
    EXPECT_EQ(OpenDescriptors(), fdsBefore);

    const std::vector<std::string> expected = {link,        vanished, fifo,    folder,
                                               throughLink, climbing, relative};
    ASSERT_EQ(FailedPaths(failures), expected);
    const std::vector<std::string> said = {"symbolic link",  "no longer there", "not a regular",
                                           "not a regular",  "symbolic link",   "climbs",
                                           "not an absolute"};
    for (std::size_t i = 0; i < failures.size(); ++i)
        EXPECT_NE(failures[i].reason.find(said[i]), std::string::npos)
            << failures[i].path << ": " << failures[i].reason;
    const auto entries = ReadArchive(Archive());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.count(EntryName(good1)), 1u);
    EXPECT_EQ(entries.count(EntryName(good2)), 1u);
    EXPECT_EQ(ReadTextFile(inReal), Text("inside"));
    EXPECT_EQ(ReadTextFile(target), Text("target"));
}

TEST_F(ZipTest, AnArchiveThatCannotBeWrittenReportsEveryFile) {
    const fs::path a = Make("a.txt", Text("a"));
    const fs::path b = Make("b.txt", Text("b"));
    const fs::path archive = m_dir.path() / "missing" / "out.zip";
    const auto failures = m_zip.AddFiles(archive.string(), {a, b});
    EXPECT_EQ(FailedPaths(failures), (std::vector<std::string>{a, b}));
    for (const ZipFailure& f : failures)
        EXPECT_FALSE(f.reason.empty());
    EXPECT_FALSE(fs::exists(m_dir.path() / "missing"));
    EXPECT_EQ(ReadTextFile(a), Text("a"));
}

TEST_F(ZipTest, ArchivePathsThatAreNoRegularFileAreRefused) {
    const fs::path a = Make("a.txt", Text("a"));
    const fs::path existing = m_dir.path() / "existing.zip";
    ASSERT_TRUE(m_zip.AddFiles(existing.string(), {a}).empty());
    const std::string existingBytes = ReadTextFile(existing);
    const fs::path b = Make("b.txt", Text("b"));

    // A link to an archive: neither written through nor replaced.
    const fs::path link = m_dir.path() / "link.zip";
    fs::create_symlink(existing, link);
    auto failures = m_zip.AddFiles(link.string(), {b});
    EXPECT_EQ(FailedPaths(failures), std::vector<std::string>{b});
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadTextFile(existing), existingBytes);
    EXPECT_EQ(m_zip.Add(link.c_str(), (b.string() + "\n").c_str(), nullptr, nullptr, nullptr,
                        nullptr, 1, 0, 5, 0, 0, nullptr, 0, nullptr),
              -1);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadTextFile(existing), existingBytes);

    // A dangling link would be created at its target by a write through it.
    const fs::path dangling = m_dir.path() / "dangling.zip";
    fs::create_symlink(m_dir.path() / "nowhere.zip", dangling);
    EXPECT_EQ(m_zip.AddFiles(dangling.string(), {b}).size(), 1u);
    EXPECT_FALSE(fs::exists(m_dir.path() / "nowhere.zip"));

    // A folder, and a file that is no archive when adding to it.
    const fs::path folder = m_dir.path() / "folder.zip";
    fs::create_directory(folder);
    EXPECT_EQ(m_zip.AddFiles(folder.string(), {b}).size(), 1u);
    EXPECT_TRUE(fs::is_empty(folder));
    const fs::path notes = Make("notes.zip", "not an archive");
    EXPECT_EQ(m_zip.AddFiles(notes.string(), {b}).size(), 1u);
    EXPECT_EQ(ReadTextFile(notes), "not an archive");
}

int g_progressCalls = 0;
int g_cancelAsked = 0;
int CountProgress() {
    return ++g_progressCalls;
}
int CancelAtThird() {
    return ++g_cancelAsked >= 3;
}

TEST_F(ZipTest, OldCallParsesTheListAndCountsStoredFiles) {
    const fs::path a = Make("with blanks/a b.txt", Text("a"));
    const fs::path b = Make("b .txt", Text("b"));
    const fs::path c = Make("c", Text("c"));
    const std::string list = a.string() + "\n\n" + b.string() + "\n" +
                             (m_dir.path() / "vanished").string() + "\n" + c.string() + "\n";
    g_progressCalls = 0;
    EXPECT_EQ(m_zip.Add(Archive().c_str(), list.c_str(), CountProgress, nullptr, nullptr, nullptr,
                        1, 1, 5, 0, 0, nullptr, 0, nullptr),
              3);
    EXPECT_EQ(g_progressCalls, 4);
    auto entries = ReadArchive(Archive());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[EntryName(a)].data, Text("a"));
    EXPECT_EQ(entries[EntryName(b)].data, Text("b"));
    EXPECT_EQ(entries[EntryName(c)].data, Text("c"));

    // Replacing: only the new file is left; level 0 stores; file names only; no final newline.
    EXPECT_EQ(m_zip.Add(Archive().c_str(), c.c_str(), nullptr, nullptr, nullptr, nullptr, 0, 0, 0,
                        0, 0, nullptr, 0, nullptr),
              1);
    entries = ReadArchive(Archive());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries["c"].data, Text("c"));
    EXPECT_EQ(entries["c"].method, ZIP_CM_STORE);

    // Cancelled before the third file: the first two are written.
    const fs::path other = m_dir.path() / "other.zip";
    g_cancelAsked = 0;
    const std::string three = a.string() + "\n" + b.string() + "\n" + c.string() + "\n";
    EXPECT_EQ(m_zip.Add(other.c_str(), three.c_str(), nullptr, nullptr, CancelAtThird, nullptr, 1,
                        1, 5, 0, 0, nullptr, 0, nullptr),
              2);
    EXPECT_EQ(ReadArchive(other).size(), 2u);

    // Calls it cannot honour do nothing.
    const fs::path untouched = m_dir.path() / "untouched.zip";
    const auto call = [&](int full, int existing, int level, int r1, const char* password,
                          const char* comment) {
        return m_zip.Add(untouched.c_str(), list.c_str(), nullptr, nullptr, nullptr, nullptr, full,
                         existing, level, r1, 0, password, 0, comment);
    };
    EXPECT_EQ(call(2, 1, 5, 0, nullptr, nullptr), -1);
    EXPECT_EQ(call(1, 1, 10, 0, nullptr, nullptr), -1);
    EXPECT_EQ(call(1, 1, 5, 1, nullptr, nullptr), -1);
    EXPECT_EQ(call(1, 1, 5, 0, "secret", nullptr), -1);
    EXPECT_EQ(call(1, 1, 5, 0, nullptr, "comment"), -1);
    EXPECT_EQ(m_zip.Add(untouched.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, 1, 1, 5, 0,
                        0, nullptr, 0, nullptr),
              -1);
    EXPECT_FALSE(fs::exists(untouched));

    // An archive that cannot be written.
    const fs::path missing = m_dir.path() / "missing" / "out.zip";
    EXPECT_EQ(m_zip.Add(missing.c_str(), list.c_str(), nullptr, nullptr, nullptr, nullptr, 1, 1, 5,
                        0, 0, nullptr, 0, nullptr),
              -1);
}

// Runs body in a child process and returns its exit code (-1 when it did not exit), so that
// limits it sets stay out of the test process.
int ExitCodeInChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ZipTest, FarMoreFilesThanTheOpenFileLimitAllLandInOneWrite) {
    const std::size_t count = 500;
    std::vector<std::string> paths;
    std::string list;
    for (std::size_t i = 0; i < count; ++i) {
        paths.push_back(Make("many/file " + std::to_string(i), "content " + std::to_string(i)));
        list += paths.back() + "\n";
    }
    const fs::path stale = Make("stale.txt", "stale");
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {stale}).empty());

    // Every rename onto the archive name is one write of the whole archive.
    const UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_TRUE(watch);
    ASSERT_GE(::inotify_add_watch(watch.get(), m_dir.path().c_str(), IN_MOVED_TO | IN_CREATE), 0);

    // 64 descriptors for 500 files: holding them all open at once cannot work.
    const int code = ExitCodeInChild([&] {
        const rlimit low{64, 64};
        if (::setrlimit(RLIMIT_NOFILE, &low) != 0)
            return 2;
        // Replacing: the stale entry goes, all new files are stored.
        const int stored = m_zip.Add(Archive().c_str(), list.c_str(), nullptr, nullptr, nullptr,
                                     nullptr, 1, 0, 5, 0, 0, nullptr, 0, nullptr);
        return stored == static_cast<int>(count) ? 0 : 1;
    });
    EXPECT_EQ(code, 0);

    int renamedOnto = 0, created = 0;
    alignas(inotify_event) char buf[64 * 1024];
    ssize_t n;
    while ((n = ::read(watch.get(), buf, sizeof buf)) > 0) {
        for (char* p = buf; p < buf + n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(p);
            const std::string name = ev->len ? ev->name : "";
            if ((ev->mask & IN_MOVED_TO) && name == Archive().filename())
                ++renamedOnto;
            if (ev->mask & IN_CREATE)
                ++created;
            p += sizeof(inotify_event) + ev->len;
        }
    }
    EXPECT_EQ(renamedOnto, 1);
    EXPECT_EQ(created, 1); // one temporary archive, renamed over the old one

    auto entries = ReadArchive(Archive());
    ASSERT_EQ(entries.size(), count);
    EXPECT_EQ(entries.count(EntryName(stale)), 0u);
    for (std::size_t i = 0; i < count; ++i)
        EXPECT_EQ(entries[EntryName(paths[i])].data, "content " + std::to_string(i));
}

TEST_F(ZipTest, PathsWithABackslashAreNotArchived) {
    const fs::path climbing = Make("..\\..\\evil.txt", Text("evil"));
    const fs::path inFolder = Make("a\\b/file.txt", Text("folder"));
    const fs::path good = Make("good.txt", Text("good"));
    const auto failures = m_zip.AddFiles(Archive().string(), {climbing, good, inFolder});
    ASSERT_EQ(FailedPaths(failures), (std::vector<std::string>{climbing, inFolder}));
    for (const ZipFailure& f : failures)
        EXPECT_NE(f.reason.find("backslash"), std::string::npos) << f.reason;
    const auto entries = ReadArchive(Archive());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.count(EntryName(good)), 1u);

    // Not counted as stored by the old call either, with names only.
    const fs::path other = m_dir.path() / "other.zip";
    EXPECT_EQ(m_zip.Add(other.c_str(), (climbing.string() + "\n" + good.string()).c_str(), nullptr,
                        nullptr, nullptr, nullptr, 0, 1, 5, 0, 0, nullptr, 0, nullptr),
              1);
    EXPECT_EQ(ReadArchive(other).count("good.txt"), 1u);
}

TEST_F(ZipTest, FilesChangedBeforeTheArchiveIsWrittenAreReportedAndTheOthersStored) {
    const fs::path kept = Make("kept.txt", Text("kept"));
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {kept}).empty());

    const fs::path first = Make("first.txt", Text("first"));
    const fs::path removed = Make("removed.txt", Text("removed"));
    const fs::path replaced = Make("replaced.txt", Text("replaced"));
    const fs::path linked = Make("linked.txt", Text("linked"));
    const fs::path grown = Make("grown.txt", Text("grown"));
    const fs::path shrunk = Make("shrunk.txt", Text("shrunk"));
    const fs::path inFolder = Make("folder/inside.txt", Text("inside"));
    const fs::path last = Make("last.txt", Text("last"));
    const std::vector<std::string> list = {first, removed, replaced, linked,
                                           grown, shrunk,  inFolder, last};
    const fs::path elsewhere = Make("elsewhere/inside.txt", Text("elsewhere"));

    // Once the last file is queued, and before any is read, the world changes.
    std::size_t queued = 0;
    const auto change = [&] {
        if (++queued != list.size())
            return;
        fs::remove(removed);
        const fs::path fresh = Make("fresh.txt", Text("fresh"));
        fs::rename(fresh, replaced);
        fs::remove(linked);
        fs::create_symlink(first, linked);
        std::ofstream(grown, std::ios::app) << "more";
        fs::resize_file(shrunk, 3);
        fs::rename(m_dir.path() / "folder", m_dir.path() / "moved");
        fs::create_directory_symlink(m_dir.path() / "elsewhere", m_dir.path() / "folder");
    };
    const std::size_t fdsBefore = OpenDescriptors();
    const auto failures = m_zip.AddFiles(Archive().string(), list, 5, change);
    EXPECT_EQ(OpenDescriptors(), fdsBefore);
    EXPECT_EQ(queued, list.size());

    const std::vector<std::string> expected = {removed, replaced, linked, grown, shrunk, inFolder};
    ASSERT_EQ(FailedPaths(failures), expected);
    const std::vector<std::string> said = {"no longer there",         "another file now",
                                           "symbolic link",           "size or last-write time",
                                           "size or last-write time", "symbolic link"};
    for (std::size_t i = 0; i < failures.size(); ++i) {
        EXPECT_NE(failures[i].reason.find("when the archive was written"), std::string::npos)
            << failures[i].reason;
        EXPECT_NE(failures[i].reason.find(said[i]), std::string::npos)
            << failures[i].path << ": " << failures[i].reason;
    }
    auto entries = ReadArchive(Archive());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[EntryName(kept)].data, Text("kept"));
    EXPECT_EQ(entries[EntryName(first)].data, Text("first"));
    EXPECT_EQ(entries[EntryName(last)].data, Text("last"));
}

int g_vanishAfter = 0;
std::vector<std::string> g_toRemove;
int RemoveAllAtTheEnd() {
    if (--g_vanishAfter == 0)
        for (const std::string& p : g_toRemove)
            ::unlink(p.c_str());
    return 0;
}

TEST_F(ZipTest, WhenNoQueuedFileCanBeReadTheOldArchiveStays) {
    const fs::path kept = Make("kept.txt", Text("kept"));
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {kept}).empty());
    const std::string before = ReadTextFile(Archive());

    const fs::path a = Make("a.txt", Text("a"));
    const fs::path b = Make("b.txt", Text("b"));
    g_toRemove = {a, b};
    // Replacing the archive: it must not be replaced by an empty one, nor removed.
    g_vanishAfter = 2;
    EXPECT_EQ(m_zip.Add(Archive().c_str(), (a.string() + "\n" + b.string()).c_str(),
                        RemoveAllAtTheEnd, nullptr, nullptr, nullptr, 1, 0, 5, 0, 0, nullptr, 0,
                        nullptr),
              0);
    EXPECT_EQ(ReadTextFile(Archive()), before);

    // Adding to it: the same.
    WriteTextFile(a, Text("a"));
    WriteTextFile(b, Text("b"));
    g_vanishAfter = 2;
    EXPECT_EQ(m_zip.Add(Archive().c_str(), (a.string() + "\n" + b.string()).c_str(),
                        RemoveAllAtTheEnd, nullptr, nullptr, nullptr, 1, 1, 5, 0, 0, nullptr, 0,
                        nullptr),
              0);
    EXPECT_EQ(ReadTextFile(Archive()), before);
}

// Helpers for the tests below.

// Starts body in a forked child, ended by SIGALRM should it hang; its result is the exit code.
pid_t StartChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(120);
        ::_exit(body());
    }
    return pid;
}

int WaitForChild(pid_t pid) {
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every failure to standard error, for a child whose exit code says only that there were some.
int ExitCodeFor(const std::vector<ZipFailure>& failures) {
    for (const ZipFailure& f : failures)
        std::fprintf(stderr, "%s: %s\n", f.path.c_str(), f.reason.c_str());
    return failures.empty() ? 0 : 1;
}

TEST_F(ZipTest, TwoRunsAddingToOneArchiveAtOnceKeepBothSetsOfFiles) {
    const fs::path kept = Make("kept.txt", Text("kept"));
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {kept}).empty());
    std::vector<std::string> first, second;
    for (int i = 0; i < 20; ++i) {
        first.push_back(
            Make("first/file " + std::to_string(i), Text("first " + std::to_string(i))));
        second.push_back(
            Make("second/file " + std::to_string(i), Text("second " + std::to_string(i))));
    }

    // Each run, once it has queued its last file, waits for the other to have queued its
    // own: both have then begun before either has written anything.
    int toFirst[2], toSecond[2];
    ASSERT_EQ(::pipe(toFirst), 0);
    ASSERT_EQ(::pipe(toSecond), 0);
    const auto run = [&](const std::vector<std::string>& paths, int tellOther, int hearOther) {
        return [&, tellOther, hearOther] {
            std::size_t calls = 0;
            const auto meet = [&] {
                if (++calls != paths.size())
                    return;
                char c = 'x';
                if (::write(tellOther, &c, 1) != 1 || ::read(hearOther, &c, 1) != 1)
                    ::_exit(3);
            };
            return ExitCodeFor(CZIP().AddFiles(Archive().string(), paths, 5, meet));
        };
    };
    const pid_t a = StartChild(run(first, toSecond[1], toFirst[0]));
    const pid_t b = StartChild(run(second, toFirst[1], toSecond[0]));
    EXPECT_EQ(WaitForChild(a), 0);
    EXPECT_EQ(WaitForChild(b), 0);
    for (int fd : {toFirst[0], toFirst[1], toSecond[0], toSecond[1]})
        ::close(fd);

    // Both runs' files, each with its own contents, beside the entry that was there.
    const auto entries = ReadArchive(Archive());
    EXPECT_EQ(entries.size(), 41u);
    const auto holds = [&](const std::string& path, const std::string& text) {
        const auto found = entries.find(EntryName(path));
        return found != entries.end() && found->second.data == text;
    };
    EXPECT_TRUE(holds(kept, Text("kept")));
    int firstHeld = 0, secondHeld = 0;
    for (int i = 0; i < 20; ++i) {
        firstHeld += holds(first[i], Text("first " + std::to_string(i))) ? 1 : 0;
        secondHeld += holds(second[i], Text("second " + std::to_string(i))) ? 1 : 0;
    }
    EXPECT_EQ(firstHeld, 20);
    EXPECT_EQ(secondHeld, 20);
    EXPECT_EQ(NamesIn(m_dir.path()),
              (std::set<std::string>{"first", "kept.txt", "out.zip", "second"}));
}

TEST_F(ZipTest, ARunWaitsForAnotherWritingTheArchiveAndGivesUpOrStopsWithAReason) {
    const fs::path kept = Make("kept.txt", Text("kept"));
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {kept}).empty());
    const std::string before = ReadTextFile(Archive());
    const fs::path a = Make("a.txt", Text("a"));
    const fs::path b = Make("b.txt", Text("b"));
    const std::vector<std::string> list = {a, b};
    {
        // Another run in the middle of writing an archive in this folder.
        LockingChild other(m_dir.path().string());

        // A short wait runs out: every file says why, the window was kept alive meanwhile.
        CZIP impatient(std::chrono::milliseconds(300));
        std::size_t progressCalls = 0;
        auto failures = impatient.AddFiles(Archive().string(), list, 5, [&] { ++progressCalls; });
        ASSERT_EQ(FailedPaths(failures), list);
        for (const ZipFailure& f : failures)
            EXPECT_EQ(f.reason, kZipBusy);
        EXPECT_GT(progressCalls, list.size());
        EXPECT_EQ(impatient.Add(Archive().c_str(), a.c_str(), nullptr, nullptr, nullptr, nullptr, 1,
                                1, 5, 0, 0, nullptr, 0, nullptr),
                  -1);

        // A stop ends the wait of a patient run.
        progressCalls = 0;
        failures = m_zip.AddFiles(
            Archive().string(), list, 5, [&] { ++progressCalls; },
            [&] { return progressCalls >= list.size() + 3; });
        ASSERT_EQ(FailedPaths(failures), list);
        for (const ZipFailure& f : failures)
            EXPECT_EQ(f.reason, kZipStopped);
        EXPECT_EQ(ReadTextFile(Archive()), before);
        EXPECT_EQ(NamesIn(m_dir.path()),
                  (std::set<std::string>{"a.txt", "b.txt", "kept.txt", "out.zip"}));
    }
    // The other run is done: the same call goes through.
    EXPECT_TRUE(CZIP(std::chrono::milliseconds(300)).AddFiles(Archive().string(), list).empty());
    EXPECT_EQ(ReadArchive(Archive()).size(), 3u);
}

TEST_F(ZipTest, ANewArchiveIsForItsOwnerOnlyAndAnOldOneKeepsItsPermissions) {
    const fs::path a = Make("a.txt", Text("a"));
    const fs::path b = Make("b.txt", Text("b"));
    const fs::path outDir = m_dir.path() / "out";
    fs::create_directory(outDir);
    for (const mode_t mask : {mode_t{0}, mode_t{022}}) {
        const ScopedUmask umask(mask);
        const fs::path archive = outDir / ("new" + std::to_string(mask) + ".zip");
        // Whatever stands in the folder while the archive is written is private too.
        std::vector<std::string> exposed;
        const auto look = [&] {
            for (const auto& e : fs::directory_iterator(outDir))
                if (ModeOf(e.path()) & 077)
                    exposed.push_back(e.path().filename().string());
            return false;
        };
        ASSERT_TRUE(m_zip.AddFiles(archive.string(), {a}, 5, {}, look).empty());
        EXPECT_EQ(ModeOf(archive), 0600u) << "umask " << mask;
        EXPECT_TRUE(exposed.empty()) << exposed.front();
        // The old call creates it so too.
        const fs::path old = outDir / ("old" + std::to_string(mask) + ".zip");
        ASSERT_EQ(m_zip.Add(old.c_str(), a.c_str(), nullptr, nullptr, nullptr, nullptr, 1, 0, 5, 0,
                            0, nullptr, 0, nullptr),
                  1);
        EXPECT_EQ(ModeOf(old), 0600u) << "umask " << mask;
    }

    // An archive the user opened to the group keeps that, under any umask, added to or
    // replaced.
    const ScopedUmask umask(077);
    const fs::path shared = outDir / "shared.zip";
    ASSERT_TRUE(m_zip.AddFiles(shared.string(), {a}).empty());
    ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
    ASSERT_TRUE(m_zip.AddFiles(shared.string(), {b}).empty());
    EXPECT_EQ(ModeOf(shared), 0640u);
    EXPECT_EQ(ReadArchive(shared).size(), 2u);
    ASSERT_EQ(m_zip.Add(shared.c_str(), a.c_str(), nullptr, nullptr, nullptr, nullptr, 1, 0, 5, 0,
                        0, nullptr, 0, nullptr),
              1);
    EXPECT_EQ(ModeOf(shared), 0640u);
    EXPECT_EQ(ReadArchive(shared).size(), 1u);
}

TEST_F(ZipTest, AnArchiveOfAnotherOwnerKeepsItsOwnerAndGroup) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give the archive another owner";
    const fs::path a = Make("a.txt", Text("a"));
    const fs::path b = Make("b.txt", Text("b"));
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {a}).empty());
    ASSERT_EQ(::chown(Archive().c_str(), 4321, 8765), 0);
    ASSERT_EQ(::chmod(Archive().c_str(), 0640), 0);
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {b}).empty());
    struct stat st {};
    ASSERT_EQ(::stat(Archive().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadArchive(Archive()).size(), 2u);
}

TEST_F(ZipTest, AGroupThatCannotBeKeptGetsNoMoreThanEverybody) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to write as another user";
    const uid_t nobody = 65534;
    const gid_t nogroup = 65534;
    // A folder anybody may write in, below ours, which anybody may pass.
    ASSERT_EQ(::chmod(m_dir.path().c_str(), 0711), 0);
    const fs::path shared = m_dir.path() / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    const fs::path a = Make("shared/a.txt", Text("a"));
    const fs::path b = Make("shared/b.txt", Text("b"));
    const fs::path archive = shared / "out.zip";
    ASSERT_TRUE(m_zip.AddFiles(archive.string(), {a}).empty());
    ASSERT_EQ(::chown(archive.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(archive.c_str(), 0664), 0); // root's group may write, everybody read

    const int code = WaitForChild(StartChild([&] {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(nogroup, nogroup, nogroup) != 0 ||
            ::setresuid(nobody, nobody, nobody) != 0)
            return 2;
        return ExitCodeFor(CZIP().AddFiles(archive.string(), {b}));
    }));
    ASSERT_EQ(code, 0);
    struct stat st {};
    ASSERT_EQ(::stat(archive.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody);
    EXPECT_EQ(st.st_gid, nogroup);
    // nogroup may read, as everybody may; writing was root's group's alone.
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(ReadArchive(archive).size(), 2u);
}

// Fills a file with bytes deflate cannot shrink, quickly.
void WriteNoise(const fs::path& file, std::size_t size, std::uint64_t seed) {
    std::vector<std::uint64_t> block(std::size_t{1} << 17); // 1 MiB
    std::ofstream out(file, std::ios::binary);
    for (std::size_t done = 0; done < size; done += block.size() * sizeof block[0]) {
        for (std::uint64_t& word : block) {
            seed ^= seed << 13;
            seed ^= seed >> 7;
            seed ^= seed << 17;
            word = seed;
        }
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * sizeof block[0]));
    }
    ASSERT_TRUE(out.good());
}

TEST_F(ZipTest, AStopWhileTheArchiveIsWrittenKeepsTheOldArchiveAndLeavesNothing) {
    const fs::path kept = Make("kept.txt", Text("kept"));
    ASSERT_TRUE(m_zip.AddFiles(Archive().string(), {kept}).empty());
    const std::string before = ReadTextFile(Archive());
    std::vector<std::string> big;
    for (int i = 0; i < 4; ++i) {
        big.push_back((m_dir.path() / ("noise " + std::to_string(i))).string());
        WriteNoise(big.back(), std::size_t{64} << 20, 0x9e3779b97f4a7c15u + std::uint64_t(i));
    }
    const std::set<std::string> namesBefore = NamesIn(m_dir.path());

    // Another thread asks for the stop once the write is well under way: the stop function
    // has then been asked many times after the last file was queued.
    std::atomic<bool> stopAsked{false}, returned{false};
    std::atomic<std::size_t> queued{0}, asksAfterQueued{0}, asksAfterStop{0};
    std::thread stopper([&] {
        while (!returned && asksAfterQueued < 25)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stopAsked = true;
    });
    const auto failures = m_zip.AddFiles(
        Archive().string(), big, 5, [&] { ++queued; },
        [&] {
            if (queued == big.size())
                ++asksAfterQueued;
            if (stopAsked)
                ++asksAfterStop;
            return stopAsked.load();
        });
    returned = true;
    stopper.join();

    EXPECT_TRUE(stopAsked);
    EXPECT_GE(asksAfterQueued.load(), 25u);
    EXPECT_GE(asksAfterStop.load(), 1u);
    ASSERT_EQ(FailedPaths(failures), big);
    for (const ZipFailure& f : failures)
        EXPECT_EQ(f.reason, kZipStopped);
    EXPECT_EQ(ReadTextFile(Archive()), before);
    EXPECT_EQ(NamesIn(m_dir.path()), namesBefore);
}

TEST_F(ZipTest, AStopBeforeTheFirstFileStoresNothing) {
    const fs::path a = Make("a.txt", Text("a"));
    const fs::path link = m_dir.path() / "link";
    fs::create_symlink(a, link);
    std::size_t progressCalls = 0;
    const auto failures = m_zip.AddFiles(
        Archive().string(), {a, link}, 5, [&] { ++progressCalls; }, [] { return true; });
    ASSERT_EQ(FailedPaths(failures), (std::vector<std::string>{a, link}));
    for (const ZipFailure& f : failures)
        EXPECT_EQ(f.reason, kZipStopped);
    EXPECT_EQ(progressCalls, 0u);
    EXPECT_FALSE(fs::exists(Archive()));
}

TEST_F(ZipTest, PathsLongerThanAZipEntryNameAreRefusedNeverCutOff) {
    const std::string deepRoot = (m_dir.path() / "deep").string();
    fs::create_directory(deepRoot);
    struct RemoveDeep {
        std::string root;
        ~RemoveDeep() { RemoveDeepTree(root); }
    } removeDeep{deepRoot};

    // Names of exactly the most an entry can hold and one byte more: the entry name is the
    // path without its leading "/".
    const std::string folder = MakeDeepFolder(deepRoot, 65535 - 250 - 1);
    const std::size_t nameRoom = 65535 - folder.size(); // "/" + name, less the leading "/"
    ASSERT_GE(nameRoom, 2u);
    ASSERT_LE(nameRoom + 1, 255u);
    const std::string longest = std::string(nameRoom, 'l');
    const std::string tooLong = std::string(nameRoom + 1, 't');
    WriteDeepFile(deepRoot, folder, longest, "longest");
    WriteDeepFile(deepRoot, folder, tooLong, "too long");
    const std::string longestPath = folder + "/" + longest;
    const std::string tooLongPath = folder + "/" + tooLong;
    ASSERT_EQ(longestPath.size() - 1, 65535u);
    ASSERT_EQ(tooLongPath.size() - 1, 65536u);

    // Far beyond: about 70,000 bytes.
    const std::string deeper = MakeDeepFolder(deepRoot, 70000);
    WriteDeepFile(deepRoot, deeper, "far", "far");
    const std::string farPath = deeper + "/far";
    ASSERT_GT(farPath.size(), 70000u);
    const fs::path normal = Make("normal.txt", Text("normal"));

    // Told apart by a short label: the paths are too long for a readable failure.
    const std::map<std::string, std::string> label = {{longestPath, "65,535"},
                                                      {tooLongPath, "65,536"},
                                                      {farPath, "70,000"},
                                                      {normal.string(), "normal"}};
    const auto failures =
        m_zip.AddFiles(Archive().string(), {longestPath, tooLongPath, farPath, normal});
    std::vector<std::string> refused;
    for (const ZipFailure& f : failures) {
        refused.push_back(label.count(f.path) ? label.at(f.path) : "another path");
        EXPECT_EQ(f.reason, "its path is longer than a zip entry name can be (65,535 bytes)");
    }
    EXPECT_EQ(refused, (std::vector<std::string>{"65,536", "70,000"}));
    auto entries = ReadArchive(Archive());
    std::vector<std::size_t> nameLengths;
    for (const auto& [name, entry] : entries)
        nameLengths.push_back(name.size());
    std::sort(nameLengths.begin(), nameLengths.end());
    EXPECT_EQ(nameLengths, (std::vector<std::size_t>{EntryName(normal).size(), 65535}));
    EXPECT_EQ(entries[longestPath.substr(1)].data, "longest");
    EXPECT_EQ(entries[EntryName(normal)].data, Text("normal"));
}

} // namespace
