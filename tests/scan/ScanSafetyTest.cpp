// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The walk on real systems: folders reached through links, trees of any depth and width,
// Fernwick's own files, the trash, and folders that cannot be opened.
#include "ScanTree.h"
#include "platform/UniqueFd.h"
#include "profiles/CProfileList.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanEngine.h"
#include "scan/ScanPlan.h"
#include "scan/SearchRun.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>

#include <sstream>

using Paths = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

CProfile Profile(Paths patterns, Paths folders = {}) {
    CProfile p;
    p.m_lstPatterns = std::move(patterns);
    p.m_lstFolders = std::move(folders);
    return p;
}

Paths Sorted(Paths p) {
    std::sort(p.begin(), p.end());
    return p;
}

// Counts what is taken without keeping it, but for the longest path.
class CountingSink : public CScanSink {
public:
    size_t files = 0;
    std::string longest;
    void OnFileTaken(const FoundFile& f) override {
        ++files;
        if (f.path.size() > longest.size())
            longest = f.path;
    }
};

// A chain of folders "d" depth deep under root with deep.tmp at the bottom, made and removed
// one level at a time relative to the level above: its paths are far longer than PATH_MAX.
class DeepChain {
public:
    DeepChain(const std::string& root, int depth) : m_root(root) {
        UniqueFd fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; i < depth && fd; ++i) {
            if (::mkdirat(fd.get(), "d", 0755) != 0)
                return;
            fd = UniqueFd(::openat(fd.get(), "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
        m_built =
            fd && UniqueFd(::openat(fd.get(), "deep.tmp", O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    }
    ~DeepChain() {
        UniqueFd fd(::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        int levels = 0;
        while (fd) {
            UniqueFd next(::openat(fd.get(), "d", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!next)
                break;
            fd = std::move(next);
            ++levels;
        }
        if (!fd)
            return;
        ::unlinkat(fd.get(), "deep.tmp", 0);
        for (; levels > 0; --levels) {
            UniqueFd up(::openat(fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!up || ::unlinkat(up.get(), "d", AT_REMOVEDIR) != 0)
                return;
            fd = std::move(up);
        }
    }
    bool Built() const { return m_built; }

private:
    std::string m_root;
    bool m_built = false;
};

// A memory file system over folder while the object lives, where the kernel allows it: trees
// of tens of thousands of folders are made there in a moment, on a busy disk in minutes.
class FastFolder {
public:
    explicit FastFolder(std::string folder) : m_folder(std::move(folder)) {
        fs::create_directories(m_folder);
        m_mounted = ::mount("fernwick-test", m_folder.c_str(), "tmpfs", 0, "size=1g") == 0;
    }
    ~FastFolder() {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    FastFolder(const FastFolder&) = delete;
    FastFolder& operator=(const FastFolder&) = delete;

private:
    std::string m_folder;
    bool m_mounted = false;
};

// count empty files with long names that no pattern of the tests matches.
bool MakeFiles(const std::string& folder, int count) {
    fs::create_directories(folder);
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; dir && i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "a-file-the-scan-leaves-alone-%06d.dat", i);
        if (!UniqueFd(::openat(dir.get(), name, O_CREAT | O_WRONLY | O_CLOEXEC, 0644)))
            return false;
    }
    return static_cast<bool>(dir);
}

} // namespace

TEST(ScanSafety, ListedFoldersAreResolvedThroughTrustedLinksOnly) {
    ScanTree t;
    t.file("disk/Downloads/a.tmp");
    t.file("disk/Downloads/sub/b.tmp");
    t.dir("home");
    t.link(t.at("disk"), "home/linked");            // ours: followed
    t.link("../disk/Downloads", "home/relative");   // relative to where it lies
    ASSERT_TRUE(t.linkOwnedBy(t.at("disk/Downloads"), "home/theirs", 1234));
    ReportingContext rc;
    CStopEvent stop;
    const CProfile p = Profile({"*.tmp"});

    RecordingSink through, relative;
    SearchFolder(t.at("home/linked/Downloads"), p, stop, through, rc.context);
    SearchFolder(t.at("home/relative/"), p, stop, relative, rc.context);
    // Found by their real paths, which the disposal opens without following any link.
    ASSERT_EQ(through.files.size(), 2u);
    EXPECT_EQ(through.files[0].path, t.at("disk/Downloads/a.tmp"));
    EXPECT_EQ(through.files[1].path, t.at("disk/Downloads/sub/b.tmp"));
    EXPECT_EQ(relative.Relative(t.root()), through.Relative(t.root()));
    EXPECT_EQ(through.folders.front(), t.at("home/linked/Downloads")); // shown as given
    EXPECT_TRUE(rc.reports.empty());

    // Someone else's link could lead anywhere: refused, and the log says why.
    RecordingSink theirs, beyond;
    SearchFolder(t.at("home/theirs"), p, stop, theirs, rc.context);
    SearchFolder(t.at("home/theirs/sub"), p, stop, beyond, rc.context);
    EXPECT_TRUE(theirs.files.empty());
    EXPECT_TRUE(beyond.files.empty());
    ASSERT_EQ(rc.reports.size(), 2u);
    EXPECT_EQ(rc.Count({t.at("home/theirs") + " was not scanned: the symbolic link " +
                        t.at("home/theirs") + " belongs to user 1234"}),
              1u)
        << rc.reports[0];
    EXPECT_EQ(rc.Count({t.at("home/theirs/sub") + " was not scanned", "user 1234"}), 1u)
        << rc.reports[1];
}

TEST(ScanSafety, FoldersThatCannotBeResolvedAreReportedNotScanned) {
    ScanTree t;
    t.file("file.tmp");
    t.link("loop-b", "loop-a");
    t.link("loop-a", "loop-b");
    ReportingContext rc;
    CStopEvent stop;
    RecordingSink sink;
    for (const char* rel : {"loop-a", "missing", "file.tmp"})
        SearchFolder(t.at(rel), Profile({"*.*"}), stop, sink, rc.context);
    EXPECT_TRUE(sink.files.empty());
    ASSERT_EQ(rc.reports.size(), 3u);
    EXPECT_EQ(rc.Count({t.at("loop-a") + " was not scanned", "more than 40 symbolic links"}), 1u);
    EXPECT_EQ(rc.Count({t.at("missing") + " was not scanned", "No such file or directory"}), 1u);
    EXPECT_EQ(rc.Count({t.at("file.tmp") + " was not scanned", "is not a folder"}), 1u);
}

TEST(ScanSafety, ATreeThirtyThousandFoldersDeepIsScannedToTheBottom) {
    constexpr int kDepth = 30000;
    ScanTree t;
    FastFolder fast(t.root().string());
    t.file("top.tmp");
    DeepChain chain(t.root().string(), kDepth);
    ASSERT_TRUE(chain.Built());
    // The usual limits of a desktop session: 1,024 open files and an 8 MiB stack.
    const ChildOutcome c = RunInChild([&] {
        const rlimit files{1024, 1024};
        const rlimit stack{8 << 20, 8 << 20};
        if (::setrlimit(RLIMIT_NOFILE, &files) != 0 || ::setrlimit(RLIMIT_STACK, &stack) != 0)
            return std::string("limits not set");
        ReportingContext rc;
        CStopEvent stop;
        CountingSink sink;
        SearchFolder(t.root().string(), Profile({"*.tmp"}), stop, sink, rc.context);
        // And with every folder it can reach read ahead by workers, as on a cold disk.
        CountingSink ahead;
        const CProfile p = Profile({"*.tmp"});
        SearchRunOptions options;
        options.readAheadAlways = true;
        CSearchRun({{&p, t.root().string()}}, stop, ahead, rc.context, options).Run(0);
        return std::to_string(sink.files) + " " + std::to_string(ahead.files) + " " +
               std::to_string(rc.reports.size()) + "\n" + sink.longest + "\n" + ahead.longest;
    });
    ASSERT_TRUE(c.EndedWell()) << "the scan ended with status " << c.status;
    std::string deepest = t.root().string();
    for (int i = 0; i < kDepth; ++i)
        deepest += "/d";
    deepest += "/deep.tmp";
    EXPECT_EQ(c.out.substr(0, c.out.find('\n')), "2 2 0"); // both files, nothing reported
    EXPECT_TRUE(c.out.ends_with("\n" + deepest + "\n" + deepest))
        << c.out.size() << " bytes of output";
}

TEST(ScanSafety, PeakMemoryFollowsWhatIsTakenNotTheSizeOfTheFolders) {
    ScanTree t;
    FastFolder fast(t.root().string());
    t.dir("empty");
    // Two nested folders of 150,000 files each, none of them taken.
    ASSERT_TRUE(MakeFiles(t.at("wide"), 150000));
    ASSERT_TRUE(MakeFiles(t.at("wide/inner"), 150000));
    t.file("wide/inner/taken.tmp");
    const auto peakKiB = [&](const std::string& folder, size_t& taken, bool readAhead = false) {
        const ChildOutcome c = RunInChild([&] {
            CStopEvent stop;
            CountingSink sink;
            const CProfile p = Profile({"*.tmp", "~*.*"});
            const CScanContext context = CScanContext::AtScanStart();
            SearchRunOptions options;
            options.readAheadAlways = readAhead;
            CSearchRun({{&p, folder}}, stop, sink, context, options).Run(0);
            rusage ru{};
            ::getrusage(RUSAGE_SELF, &ru);
            return std::to_string(ru.ru_maxrss) + " " + std::to_string(sink.files);
        });
        EXPECT_TRUE(c.EndedWell());
        std::istringstream in(c.out);
        long kib = 0;
        in >> kib >> taken;
        return kib;
    };
    size_t none = 9, one = 9;
    const long empty = peakKiB(t.at("empty"), none);
    const long wide = peakKiB(t.at("wide"), one);
    EXPECT_EQ(none, 0u);
    EXPECT_EQ(one, 1u);
    ASSERT_GT(empty, 0);
    EXPECT_LT(wide - empty, 20 * 1024)
        << "empty scan " << empty << " KiB, wide scan " << wide << " KiB";
    // Workers reading ahead keep no more of a folder than the walk does.
    size_t ahead = 9;
    const long wideAhead = peakKiB(t.at("wide"), ahead, true);
    EXPECT_EQ(ahead, 1u);
    EXPECT_LT(wideAhead - empty, 24 * 1024)
        << "empty scan " << empty << " KiB, wide scan read ahead " << wideAhead << " KiB";
}

TEST(ScanSafety, FernwicksOwnFilesAreNeverTaken) {
    ScopedTestHome home; // program directory, settings and data folders of its own
    const fs::path prog = home.program();
    for (const char* name : {"newntsettings.dat", "new95settings.dat", "settings.dat.damaged",
                             "settings.dat.damaged.2", "other.dat", "notes.txt"})
        WriteTextFile(prog / name, "x");
    // The settings kept by a dotfile manager: a link to a file in another folder.
    WriteTextFile(home.root() / "dotfiles" / "fernwick.dat", "settings");
    WriteTextFile(home.root() / "dotfiles" / "unrelated.dat", "x");
    fs::create_symlink(home.root() / "dotfiles" / "fernwick.dat", prog / "settings.dat");
    WriteTextFile(home.root() / "config" / "Quenby Works" / "Fernwick.ini", "[General]");
    WriteTextFile(home.root() / "config" / "Quenby Works" / "other.ini", "x");
    // A copy under another name elsewhere is fair game.
    WriteTextFile(home.root() / "home" / "copy-of-settings.dat", "x");

    CProfileList store;
    auto profile = std::make_unique<CProfile>(Profile({"*.dat", "*.txt", "*.ini", "*.damaged*"}));
    profile->m_strName = "Everything";
    profile->m_lstScanFolders = {home.root().string()};
    store.AddTail(std::move(profile));
    ScanRequest request;
    request.isSelected = [](const CProfile&) { return true; };
    // The log is created only once the scan has started, as on a first run.
    ASSERT_FALSE(fs::exists(prog / "fwlog.txt"));
    request.log = [&](const std::string& s) {
        std::ofstream(prog / "fwlog.txt", std::ios::app) << s << "\n";
    };
    CStopEvent stop;
    CFoundFileList found;
    ASSERT_TRUE(RunScanPlan(store, request, stop, found));
    Paths got;
    for (const auto& p : found.Paths())
        got.push_back(fs::path(p).lexically_relative(home.root()).string());
    EXPECT_EQ(Sorted(got), (Paths{"config/Quenby Works/other.ini", "dotfiles/unrelated.dat",
                                  "home/copy-of-settings.dat", "program/notes.txt",
                                  "program/other.dat"}));
    EXPECT_TRUE(fs::exists(prog / "fwlog.txt"));
}

TEST(ScanSafety, TrashFoldersAreNeverEnteredNorScanned) {
    ScopedTestHome home; // XDG_DATA_HOME is <root>/data
    const fs::path r = home.root();
    for (const char* rel : {"data/Trash/files/a.tmp", "vol/.Trash-1000/files/b.tmp",
                            "vol/.Trash-0/files/c.tmp", "vol/.Trash/1000/files/d.tmp",
                            "other/.local/share/Trash/files/e.tmp", "data/keep.tmp",
                            "vol/.Trash/notes.tmp", "vol/.Trash-old/f.tmp", "vol/g.tmp"})
        WriteTextFile(r / rel, "x");
    fs::create_symlink(r / "data" / "Trash", r / "to-trash");
    ReportingContext rc;
    CStopEvent stop;
    RecordingSink sink;
    SearchFolder(r.string(), Profile({"*.tmp"}), stop, sink, rc.context);
    // The shared ".Trash" itself is not anyone's trash; only its numbered folders are.
    EXPECT_EQ(Sorted(sink.Relative(r)), (Paths{"data/keep.tmp", "vol/.Trash-old/f.tmp",
                                               "vol/.Trash/notes.tmp", "vol/g.tmp"}));
    EXPECT_TRUE(rc.reports.empty());

    // A listed folder in a trash, reached directly or through a link, is refused.
    RecordingSink listed;
    for (const char* rel : {"data/Trash/files", "vol/.Trash-1000", "vol/.Trash/1000/files",
                            "other/.local/share/Trash", "to-trash"})
        SearchFolder((r / rel).string(), Profile({"*.tmp"}), stop, listed, rc.context);
    EXPECT_TRUE(listed.files.empty());
    ASSERT_EQ(rc.reports.size(), 5u);
    EXPECT_EQ(rc.Count({"was not scanned", "is a trash folder or lies in one"}), 5u);
    EXPECT_EQ(rc.Count({(r / "to-trash").string() + " was not scanned: " +
                        (r / "data/Trash").string() + " is a trash"}),
              1u);
}

TEST(ScanSafety, AFolderThatCannotBeOpenedIsReportedAndTheWalkGoesOn) {
    ScanTree t;
    t.file("a.tmp");
    t.file("now-a-file/b.tmp");
    t.file("now-a-link/c.tmp");
    t.file("stays/d.tmp");
    t.file("elsewhere/e.tmp");
    ReportingContext rc;
    CStopEvent stop;
    RecordingSink sink;
    bool swapped = false;
    // Once the folder has been read and its own file taken, before any subfolder is opened.
    sink.onPump = [&] {
        if (swapped || sink.files.empty())
            return;
        swapped = true;
        fs::remove_all(t.at("now-a-file"));
        t.file("now-a-file");
        fs::remove_all(t.at("now-a-link"));
        t.link(t.at("elsewhere"), "now-a-link");
    };
    SearchFolder(t.root().string(), Profile({"*.tmp"}), stop, sink, rc.context);
    ASSERT_TRUE(swapped);
    EXPECT_EQ(Sorted(sink.Relative(t.root())), (Paths{"a.tmp", "elsewhere/e.tmp", "stays/d.tmp"}));
    ASSERT_EQ(rc.reports.size(), 2u);
    EXPECT_EQ(rc.Count({t.at("now-a-file") +
                        " could not be opened: it is not a folder any more; it was not scanned."}),
              1u);
    EXPECT_EQ(rc.Count({t.at("now-a-link") +
                        " could not be opened: it is a symbolic link now; it was not scanned."}),
              1u);
}

TEST(ScanSafety, AFolderReopenedOnTheWayUpMustBeTheOneLeft) {
    // l1/l2/.../l30 with a file in each: deeper than the descriptors the walk keeps open.
    ScanTree t;
    std::string rel;
    std::vector<std::string> level(31);
    for (int i = 1; i <= 30; ++i) {
        rel += (i > 1 ? "/l" : "l") + std::to_string(i);
        level[i] = rel;
        t.file(rel + "/f" + std::to_string(i) + ".tmp");
    }
    ReportingContext rc;
    CStopEvent stop;
    RecordingSink sink;
    // At the bottom: l15 goes elsewhere, and l10 is replaced by a new folder of the same name.
    sink.onFolder = [&](const std::string& f) {
        if (f != t.at(level[30]) + "/")
            return;
        fs::rename(t.at(level[15]), t.at("moved-l15"));
        fs::rename(t.at(level[10]), t.at("old-l10"));
        fs::create_directory(t.at(level[10]));
    };
    SearchFolder(t.root().string(), Profile({"*.tmp"}), stop, sink, rc.context);
    EXPECT_EQ(sink.files.size(), 30u); // each folder's own files are taken on the way down
    ASSERT_EQ(rc.reports.size(), 1u);
    EXPECT_EQ(rc.reports[0], t.at(level[10]) + " changed while it was being scanned; the rest of "
                                                "it was not scanned.");
}

TEST(ScanSafety, TakenFilesCarryTheirIdentityIntoTheUnattendedList) {
    ScanTree t;
    t.file("a.tmp", 10);
    t.file("sub/b.tmp", 20);
    CStopEvent stop;
    CFoundFileList found;
    SearchFolder(t.root().string(), Profile({"*.tmp"}), stop, found);
    ASSERT_EQ(found.Paths().size(), 2u);
    ASSERT_EQ(found.Devices().size(), 2u);
    ASSERT_EQ(found.Inodes().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        struct stat st {};
        ASSERT_EQ(::lstat(found.Paths()[i].c_str(), &st), 0);
        EXPECT_EQ(found.Devices()[i], st.st_dev);
        EXPECT_EQ(found.Inodes()[i], st.st_ino);
        EXPECT_EQ(found.Sizes()[i], static_cast<std::uint64_t>(st.st_size));
    }
    EXPECT_NE(found.Inodes()[0], found.Inodes()[1]);
}

TEST(ScanSafety, WhatIsATrashFolder) {
    EXPECT_TRUE(IsVolumeTrashName("", ".Trash-1000"));
    EXPECT_TRUE(IsVolumeTrashName("media", ".Trash-0"));
    EXPECT_FALSE(IsVolumeTrashName("", ".Trash-"));
    EXPECT_FALSE(IsVolumeTrashName("", ".Trash-10a"));
    EXPECT_TRUE(IsVolumeTrashName(".Trash", "1000"));
    EXPECT_FALSE(IsVolumeTrashName(".trash", "1000"));
    EXPECT_FALSE(IsVolumeTrashName("Trash", "1000"));
    EXPECT_FALSE(IsVolumeTrashName(".Trash", "files"));
    EXPECT_TRUE(IsHomeTrashName("/home/anna/.local/share/", "Trash"));
    EXPECT_FALSE(IsHomeTrashName("/home/anna/share/", "Trash"));
    EXPECT_FALSE(IsHomeTrashName("/home/anna/.local/share/", "trash"));

    ::setenv("HOME", "/home/anna", 1);
    ::setenv("XDG_DATA_HOME", "/data/anna/", 1);
    EXPECT_EQ(HomeTrashPath(), "/data/anna/Trash");
    ::setenv("XDG_DATA_HOME", "data", 1); // relative: ignored
    EXPECT_EQ(HomeTrashPath(), "/home/anna/.local/share/Trash");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(HomeTrashPath(), "");
}
