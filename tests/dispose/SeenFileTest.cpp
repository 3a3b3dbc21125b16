// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// From the scan to the disposal on real files: a file is disposed of only while it is the file
// the scan saw. Files replaced or rewritten after the scan, a file system mounted over a
// scanned folder, a folder swapped for a link (once, and over and over by another process
// during a trash run), paths longer than PATH_MAX, and which of them the log calls in use.
#include "dispose/CDisposer.h"
#include "dispose/DisposalMethod.h"
#include "scan/CFoundFileList.h"
#include "scan/ScanEngine.h"

#include "support/ChildProcess.h"
#include "support/DeepTree.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

const int kAllMethods[] = {METHOD_DELETE, METHOD_PERMANENT_DELETE, METHOD_RECYCLE, METHOD_MOVE,
                           METHOD_ZIP};

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    if (fs::exists(folder))
        for (const auto& e : fs::directory_iterator(folder))
            names.insert(e.path().filename().string());
    return names;
}

bool Contains(const Lines& lines, const std::string& text) {
    for (const std::string& l : lines)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

// A scanned folder in a home of its own (the trash goes there), and a run over what was found.
class Scanned {
public:
    Scanned() { fs::create_directories(Folder()); }

    fs::path Root() const { return m_home.root(); }
    fs::path Folder() const { return m_home.root() / "scan"; }
    fs::path Dest() const { return m_home.root() / "dest"; }
    fs::path TrashFiles() const { return m_home.root() / "data" / "Trash" / "files"; }
    std::string At(const std::string& name) const { return (Folder() / name).string(); }

    // Written long ago, so that a rewrite now has another time whatever the clock's grain.
    void File(const std::string& name, const std::string& text) {
        WriteTextFile(Folder() / name, text);
        const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, At(name).c_str(), old, AT_SYMLINK_NOFOLLOW);
    }

    void Scan(const std::string& folder = {}) {
        CProfile profile;
        profile.m_lstPatterns = {"*.tmp"};
        CStopEvent stop;
        found = CFoundFileList();
        SearchFolder(folder.empty() ? Folder().string() : folder, profile, stop, found);
    }

    // Disposes of everything found with one run of the method; the results in found order.
    std::vector<CDisposer::Result> Dispose(int method) {
        fs::create_directories(Dest());
        log.clear();
        const std::string dest = method == METHOD_ZIP    ? (Dest() / "old.zip").string()
                                 : method == METHOD_MOVE ? Dest().string()
                                                         : std::string();
        CDisposer disposer(method, dest, [this](const std::string& s) { log.push_back(s); });
        std::vector<CDisposer::Result> results;
        for (size_t i = 0; i < found.Paths().size(); ++i)
            results.push_back(disposer.Handle(found.Paths()[i], found.Seen(i)));
        for (const std::string& failed : disposer.Finish())
            for (size_t i = 0; i < found.Paths().size(); ++i)
                if (found.Paths()[i] == failed)
                    results[i] = CDisposer::Result::Failed;
        cleaned = disposer.m_nCleanedFiles;
        inUse = disposer.m_nInUseFiles;
        failed = disposer.m_nFailedFiles;
        return results;
    }

    size_t Index(const std::string& name) const {
        for (size_t i = 0; i < found.Paths().size(); ++i)
            if (found.Paths()[i] == At(name))
                return i;
        ADD_FAILURE() << name << " was not found";
        return 0;
    }

    CFoundFileList found;
    Lines log;
    int cleaned = 0, inUse = 0, failed = 0;

private:
    ScopedTestHome m_home;
};

// A tmpfs mounted for the test's lifetime.
class TmpfsMount {
public:
    explicit TmpfsMount(const fs::path& where) : m_where(where) {
        m_ok = ::mount("fernwick-test", where.c_str(), "tmpfs", 0, "size=4m") == 0;
        if (!m_ok)
            m_error = std::strerror(errno);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    ~TmpfsMount() { Unmount(); }
    void Unmount() {
        if (m_ok)
            ::umount2(m_where.c_str(), MNT_DETACH);
        m_ok = false;
    }
    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }

private:
    fs::path m_where;
    bool m_ok = false;
    std::string m_error;
};

} // namespace

TEST(SeenFile, FilesReplacedOrRewrittenAfterTheScanAreLeftAloneByEveryMethod) {
    for (const int method : kAllMethods) {
        SCOPED_TRACE(MethodVerb(method));
        Scanned s;
        for (const char* name : {"replaced.tmp", "rewritten.tmp", "gone.tmp", "kept.tmp"})
            s.File(name, "scanned!");
        s.Scan();
        ASSERT_EQ(s.found.Paths().size(), 4u);

        WriteTextFile(s.Root() / "newer", "newer!!!"); // as many bytes
        fs::rename(s.Root() / "newer", s.At("replaced.tmp"));
        {
            std::fstream inPlace(s.At("rewritten.tmp"), std::ios::in | std::ios::out | std::ios::binary);
            inPlace << "REWRITE!"; // same size, same inode
        }
        fs::remove(s.At("gone.tmp"));

        const auto results = s.Dispose(method);
        const std::string verb = MethodVerb(method);
        EXPECT_EQ(results[s.Index("replaced.tmp")], CDisposer::Result::Failed);
        EXPECT_EQ(results[s.Index("rewritten.tmp")], CDisposer::Result::Failed);
        EXPECT_EQ(results[s.Index("gone.tmp")], CDisposer::Result::Failed);
        EXPECT_EQ(s.cleaned, 1);
        EXPECT_EQ(s.failed, 3);
        EXPECT_EQ(s.inUse, 0);
        EXPECT_EQ(ReadTextFile(s.At("replaced.tmp")), "newer!!!");
        EXPECT_EQ(ReadTextFile(s.At("rewritten.tmp")), "REWRITE!");
        EXPECT_EQ(fs::exists(s.At("kept.tmp")), method == METHOD_ZIP); // zip keeps its files
        EXPECT_TRUE(Contains(s.log, s.At("replaced.tmp") + " was changed after the scan and was not " +
                                        verb + ": it is another file now."));
        EXPECT_TRUE(Contains(s.log, s.At("rewritten.tmp") + " was changed after the scan and was not " +
                                        verb + ": its size or last-write time is not what it was."));
        EXPECT_TRUE(Contains(s.log, s.At("gone.tmp") + " was changed after the scan and was not " + verb +
                                        ": it is no longer there."));
        EXPECT_FALSE(Contains(s.log, "in use")) << s.log.front();
        // Nothing changed ever reached a destination.
        if (method == METHOD_MOVE) {
            EXPECT_EQ(Names(s.Dest()), std::set<std::string>{"kept.tmp"});
        }
        if (method == METHOD_RECYCLE) {
            EXPECT_EQ(Names(s.TrashFiles()), std::set<std::string>{"kept.tmp"});
        }
        if (method == METHOD_ZIP) {
            EXPECT_EQ(Names(s.Dest()), std::set<std::string>{"old.zip"});
        }
    }
}

TEST(SeenFile, AFileSystemMountedOverTheScannedFolderIsNeverTouched) {
    for (const int method : {METHOD_DELETE, METHOD_RECYCLE, METHOD_PERMANENT_DELETE}) {
        SCOPED_TRACE(MethodVerb(method));
        Scanned s;
        s.File("a.tmp", "on disk");
        s.File("b.tmp", "on disk");
        s.Scan();
        ASSERT_EQ(s.found.Paths().size(), 2u);
        TmpfsMount mount(s.Folder());
        if (!mount.ok())
            GTEST_SKIP() << "cannot mount a tmpfs here (" << mount.error() << ")";
        WriteTextFile(s.At("a.tmp"), "on tmpfs");
        WriteTextFile(s.At("b.tmp"), "on tmpfs");

        s.Dispose(method);
        EXPECT_EQ(s.cleaned, 0);
        EXPECT_EQ(s.failed, 2);
        EXPECT_EQ(ReadTextFile(s.At("a.tmp")), "on tmpfs");
        EXPECT_EQ(ReadTextFile(s.At("b.tmp")), "on tmpfs");
        EXPECT_TRUE(Contains(s.log, s.At("a.tmp") + " was changed after the scan and was not " +
                                        MethodVerb(method) + ": its folder is on another file system now."));
        EXPECT_FALSE(fs::exists(s.Folder() / ".Trash-0"));
        mount.Unmount();
        EXPECT_EQ(ReadTextFile(s.At("a.tmp")), "on disk");
        EXPECT_EQ(ReadTextFile(s.At("b.tmp")), "on disk");
    }
}

TEST(SeenFile, OnlyFilesInUseAreCalledInUse) {
    Scanned s;
    s.File("locked.tmp", "locked");
    s.File("free.tmp", "free");
    fs::create_directories(s.Folder() / "sub");
    WriteTextFile(s.Folder() / "sub" / "under.tmp", "under");
    s.Scan();
    ASSERT_EQ(s.found.Paths().size(), 3u);
    LockingChild locker(s.At("locked.tmp"));
    // A folder on the way swapped for a link to a copy of it.
    fs::rename(s.Folder() / "sub", s.Root() / "sub.orig");
    fs::create_directories(s.Root() / "elsewhere");
    WriteTextFile(s.Root() / "elsewhere" / "under.tmp", "elsewhere");
    fs::create_directory_symlink(s.Root() / "elsewhere", s.Folder() / "sub");

    s.Dispose(METHOD_DELETE);
    EXPECT_EQ(s.inUse, 1);
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(s.cleaned, 1);
    EXPECT_TRUE(Contains(s.log, s.At("locked.tmp") + " is in use and cannot be Deleted."));
    EXPECT_TRUE(Contains(s.log, s.At("sub/under.tmp") +
                                    " could not be Deleted: a folder on its path is a symbolic link, "
                                    "which is never followed."));
    EXPECT_FALSE(Contains(s.log, s.At("sub/under.tmp") + " is in use"));
    EXPECT_EQ(ReadTextFile(s.Root() / "elsewhere" / "under.tmp"), "elsewhere");
    EXPECT_EQ(ReadTextFile(s.Root() / "sub.orig" / "under.tmp"), "under");

    // A name longer than any file system allows: told as such, not as in use.
    Lines log;
    CDisposer disposer(METHOD_DELETE, {}, [&](const std::string& l) { log.push_back(l); });
    const std::string tooLong = s.Folder().string() + "/" + std::string(300, 'n') + ".tmp";
    EXPECT_EQ(disposer.Handle(tooLong, s.found.Seen(0)), CDisposer::Result::Failed);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], tooLong + " could not be Deleted: File name too long.");

    // A file the scan could not look at has nothing to be compared with.
    log.clear();
    WriteTextFile(s.At("unseen.tmp"), "x");
    EXPECT_EQ(disposer.Handle(s.At("unseen.tmp"), FileSeen{}), CDisposer::Result::Failed);
    EXPECT_EQ(log, Lines{s.At("unseen.tmp") + " could not be Deleted: it could not be looked at when it was found."});
    EXPECT_TRUE(fs::exists(s.At("unseen.tmp")));
}

TEST(SeenFile, PathsLongerThanPathMaxAreDisposedOfLikeAnyOther) {
    Scanned s;
    const std::string base = s.Folder().string();
    const std::string deep = MakeDeepFolder(base, PATH_MAX + 200);
    ASSERT_GT(deep.size(), static_cast<size_t>(PATH_MAX));
    for (const int method : kAllMethods)
        WriteDeepFile(base, deep, std::to_string(method) + ".tmp", "deep " + std::to_string(method));
    s.Scan();
    ASSERT_EQ(s.found.Paths().size(), std::size(kAllMethods));

    for (const int method : kAllMethods) {
        SCOPED_TRACE(MethodVerb(method));
        const std::string name = std::to_string(method) + ".tmp";
        const std::string path = deep + "/" + name;
        size_t i = 0;
        while (i < s.found.Paths().size() && s.found.Paths()[i] != path)
            ++i;
        ASSERT_LT(i, s.found.Paths().size());
        Lines log;
        CDisposer disposer(method, method == METHOD_MOVE  ? s.Dest().string()
                                   : method == METHOD_ZIP ? (s.Dest() / "deep.zip").string()
                                                          : std::string(),
                           [&](const std::string& l) { log.push_back(l); });
        fs::create_directories(s.Dest());
        const CDisposer::Result r = disposer.Handle(path, s.found.Seen(i));
        EXPECT_TRUE(disposer.Finish().empty());
        EXPECT_NE(r, CDisposer::Result::Failed) << log.back();
        EXPECT_EQ(disposer.m_nCleanedFiles, 1) << log.back();
        EXPECT_EQ(DeepFileExists(base, deep, name), method == METHOD_ZIP);
        if (method == METHOD_MOVE) {
            EXPECT_EQ(ReadTextFile(s.Dest() / name), "deep " + std::to_string(method));
        }
        if (method == METHOD_RECYCLE) {
            EXPECT_EQ(ReadTextFile(s.TrashFiles() / name), "deep " + std::to_string(method));
        }
        if (method == METHOD_ZIP) {
            EXPECT_TRUE(fs::is_regular_file(s.Dest() / "deep.zip"));
        }
    }
    RemoveDeepTree(base + "/" + std::string(200, 'd'));
}

// Another process exchanges the scanned folder and a link to a folder outside it (renameat2
// RENAME_EXCHANGE) as fast as it can while every found file is moved to the trash. Whatever
// the timing, no file from outside may reach the trash.
TEST(SeenFile, AFolderSwappedForALinkDuringATrashRunNeverLetsAnOutsideFileIn) {
    Scanned s;
    constexpr int kFiles = 300;
    const fs::path scanned = s.Root() / "work" / "scan";
    const fs::path outside = s.Root() / "outside";
    for (int i = 0; i < kFiles; ++i) {
        WriteTextFile(scanned / ("f" + std::to_string(i) + ".tmp"), "inside");
        WriteTextFile(outside / ("f" + std::to_string(i) + ".tmp"), "outside");
    }
    fs::create_directory_symlink(outside, s.Root() / "work" / "link");
    s.Scan(scanned.string());
    ASSERT_EQ(s.found.Paths().size(), static_cast<size_t>(kFiles));

    const std::string work = (s.Root() / "work").string();
    const pid_t swapper = ::fork();
    if (swapper == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int dir = ::open(work.c_str(), O_PATH | O_DIRECTORY);
        for (;;)
            ::renameat2(dir, "scan", dir, "link", RENAME_EXCHANGE);
    }
    ASSERT_GT(swapper, 0);
    s.Dispose(METHOD_RECYCLE);
    ::kill(swapper, SIGKILL);
    ::waitpid(swapper, nullptr, 0);
    // Put the folder back where it belongs, whichever name it has now.
    if (fs::is_symlink(s.Root() / "work" / "scan")) {
        ASSERT_EQ(::renameat2(AT_FDCWD, (s.Root() / "work" / "scan").c_str(), AT_FDCWD,
                              (s.Root() / "work" / "link").c_str(), RENAME_EXCHANGE),
                  0);
    }

    int outsideLeft = 0, insideLeft = 0, trashed = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i) + ".tmp";
        outsideLeft += fs::exists(outside / name) && ReadTextFile(outside / name) == "outside";
        insideLeft += fs::exists(scanned / name);
    }
    if (fs::exists(s.TrashFiles()))
        for (const auto& e : fs::directory_iterator(s.TrashFiles())) {
            ++trashed;
            EXPECT_EQ(ReadTextFile(e.path()), "inside") << e.path();
        }
    EXPECT_EQ(outsideLeft, kFiles);
    EXPECT_EQ(trashed + insideLeft, kFiles);
    EXPECT_EQ(trashed, s.cleaned);
    std::printf("%d files trashed, %d refused while the folder was swapped\n", trashed, s.failed);
    for (const std::string& line : s.log)
        EXPECT_EQ(line.find("in use"), std::string::npos) << line;
}
