// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Times disposing of many small files: Fernwick's Delete and Recycle runs (CDisposer driven as
// the wizard drives it, real log included) against rm, gio trash and trash-put over the same
// files; and Recycle once more with every file of one name, which the trash must rename. Everything happens in a fresh folder that also stands in for the home folder, so the
// user's own trash and log are never touched.
//   build/bench/fernwick_dispose_bench [--files N] [--runs R] [--keep] [PARENT]
// PARENT (default /tmp) receives the work folder fwdispose-XXXXXX, removed at the end.
#include "BenchSupport.h"
#include "platform/FileIo.h"
#include "platform/SafeFile.h"
#include "dispose/CDisposer.h"
#include "dispose/CleaningLog.h"
#include "dispose/DisposalMethod.h"
#include "dispose/DisposalSteps.h"
#include "dispose/CInUseChecker.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFilesPerFolder = 200;
constexpr int kFileBytes = 1024;
constexpr int kBatch = 1000; // paths per rm / gio / trash-put process

struct Work {
    fs::path root, files, home, trash, log;
    fs::path list;     // the paths, NUL-separated, for xargs -0
    fs::path childOut; // what the command-line tools print
    std::vector<std::string> paths;
    std::vector<FileSeen> seen; // as a scan would have seen each file
};

struct Outcome {
    double seconds = 0;
    std::string failure; // empty when the run did what it should
};

// A fresh set of files. Their names are unique across the set so the trash never has to pick
// a new name for a clash, or, with oneName, all the same, one file per folder. Flushed to disk
// before timing: pending write-back would otherwise land in whichever run comes first.
bool MakeFiles(Work& w, int count, bool oneName = false) {
    std::error_code ec;
    fs::remove_all(w.files, ec);
    fs::remove_all(w.trash, ec);
    w.paths.clear();
    w.seen.clear();
    static const std::string content(kFileBytes, 'x');
    const int perFolder = oneName ? 1 : kFilesPerFolder;
    std::string list;
    for (int i = 0; i < count; ++i) {
        const std::string folder = "d" + std::to_string(i / perFolder);
        const fs::path dir = w.files / folder;
        if (i % perFolder == 0 && !fs::create_directories(dir, ec))
            return false;
        std::string path =
            (dir / (oneName ? std::string("same.tmp")
                            : folder + "-f" + std::to_string(i % perFolder) + ".tmp"))
                .string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool ok = fd >= 0 && !WriteAll(fd, content);
        struct stat st {};
        const bool seen = fd >= 0 && ::fstat(fd, &st) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!ok || !seen)
            return false;
        list += path;
        list += '\0';
        w.paths.push_back(std::move(path));
        w.seen.push_back(FileSeen::Of(st));
    }
    std::ofstream(w.list, std::ios::binary | std::ios::trunc) << list;
    ::sync();
    return true;
}

size_t CountEntries(const fs::path& dir) {
    std::error_code ec;
    size_t n = 0;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        ++n;
    return n;
}

size_t CountLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return static_cast<size_t>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

Outcome RunFernwick(const Work& w, int method) {
    DeleteLog();
    Outcome out;
    int cleaned = 0;
    out.seconds = Seconds([&] {
        // As the delete page runs it: one disposer, every file through Handle, then Finish.
        CDisposer disposer(method, std::string(), WriteLog);
        for (size_t i = 0; i < w.paths.size(); ++i)
            disposer.Handle(w.paths[i], w.seen[i]);
        disposer.Finish();
        cleaned = disposer.m_nCleanedFiles;
    });
    const size_t lines = CountLines(w.log);
    if (cleaned != static_cast<int>(w.paths.size()))
        out.failure = std::to_string(cleaned) + " files counted as cleaned";
    else if (lines != w.paths.size())
        out.failure = "the log holds " + std::to_string(lines) + " lines";
    return out;
}

Outcome RunXargs(const Work& w, const std::vector<std::string>& command) {
    std::vector<std::string> args = {"xargs", "-0", "-n", std::to_string(kBatch)};
    args.insert(args.end(), command.begin(), command.end());
    Outcome out;
    int code = 0;
    out.seconds = Seconds([&] { code = RunTool(args, w.list, w.childOut); });
    if (code != 0) {
        out.failure = "exit code " + std::to_string(code);
        const std::string said = FirstLine(w.childOut);
        if (!said.empty())
            out.failure += ": " + said;
    }
    return out;
}

// Fills in out.failure when a file is still there or the trash does not hold each one once.
void Verify(const Work& w, bool trashed, Outcome& out) {
    if (!out.failure.empty())
        return;
    size_t left = 0;
    struct stat st {};
    for (const std::string& path : w.paths)
        if (::lstat(path.c_str(), &st) == 0)
            ++left;
    if (left != 0) {
        out.failure = std::to_string(left) + " files still there";
        return;
    }
    if (!trashed)
        return;
    const size_t files = CountEntries(w.trash / "files"), info = CountEntries(w.trash / "info");
    if (files != w.paths.size() || info != w.paths.size())
        out.failure = "the trash holds " + std::to_string(files) + " files, " +
                      std::to_string(info) + " info entries";
}

struct Contender {
    std::string name;
    int method = 0;                   // a Fernwick run with this method, or
    std::vector<std::string> command; // a tool run over the files in batches
    bool trashed = false;
    bool oneName = false; // every file of the same name
    std::string skipped;
    std::string failure;
    std::vector<double> seconds;
};

// Fernwick Delete taken apart on a fresh set of files, to see where its time goes.
struct Parts {
    std::vector<double> checks, procChecks, log, unlink;
    std::size_t procFiles = 0;
};

bool MeasureParts(Work& w, int count, Parts& parts) {
    if (!MakeFiles(w, count))
        return false;
    DeleteLog();
    CInUseChecker checker;
    bool free = true;
    parts.checks.push_back(Seconds([&] {
        for (const std::string& path : w.paths)
            free = !checker.Check(path) && free;
    }));
    // Where no lease can be taken, each file costs a look through /proc: a few files tell.
    CInUseChecker withoutLease(CInUseChecker::Probe::ProcOnly);
    parts.procFiles = std::min<std::size_t>(w.paths.size(), 200);
    parts.procChecks.push_back(Seconds([&] {
        for (std::size_t i = 0; i < parts.procFiles; ++i)
            free = !withoutLease.Check(w.paths[i]) && free;
    }));
    const std::string verb = MethodVerb(METHOD_DELETE);
    parts.log.push_back(Seconds([&] {
        for (const std::string& path : w.paths)
            WriteLog(path + " " + verb);
    }));
    bool deleted = true;
    parts.unlink.push_back(Seconds([&] {
        for (const std::string& path : w.paths)
            deleted = DeleteFileStep(path).ok() && deleted;
    }));
    return free && deleted;
}

std::string Grouped(double value) {
    return GroupThousands(static_cast<std::uint64_t>(value + 0.5));
}

void Usage() {
    std::printf("usage: fernwick_dispose_bench [--files N] [--runs R] [--keep] [PARENT]\n"
                "  --files N  files per contender (default 20000)\n"
                "  --runs R   rounds; the table shows medians (default 3)\n"
                "  --keep     leave the work folder in place\n"
                "  PARENT     where the work folder is made (default /tmp)\n");
}

} // namespace

int main(int argc, char** argv) {
    int count = 20000, runs = 3;
    bool keep = false;
    std::string parent = "/tmp";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--files" || a == "--runs") && i + 1 < argc)
            (a == "--files" ? count : runs) = std::atoi(argv[++i]);
        else if (a == "--keep")
            keep = true;
        else if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else if (!a.empty() && a[0] != '-')
            parent = a;
        else {
            Usage();
            return 2;
        }
    }
    if (count < 1 || runs < 1) {
        Usage();
        return 2;
    }

    std::string pattern = parent + "/fwdispose-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "cannot make a folder in %s: %s\n", parent.c_str(),
                     std::strerror(errno));
        return 1;
    }
    Work w;
    w.root = fs::absolute(pattern);
    w.files = w.root / "files";
    w.home = w.root / "home";
    const fs::path data = w.home / ".local/share";
    const fs::path fwhome = w.root / "fernwick";
    w.trash = data / "Trash";
    w.list = w.root / "paths.list";
    w.childOut = w.root / "tool-output.txt";
    fs::create_directories(data);
    fs::create_directories(w.home / ".config");
    fs::create_directories(w.home / ".cache");
    fs::create_directories(fwhome);
    // Before any GIO call: GLib reads these once and keeps them. The tools inherit them too,
    // and the files share the home's file system, so every trash run uses this home trash.
    ::setenv("HOME", w.home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (w.home / ".config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (w.home / ".cache").c_str(), 1);
    ::setenv("FERNWICK_HOME", fwhome.c_str(), 1);
    w.log = LogFilePath();

    const std::string batch = "xargs -0 -n " + std::to_string(kBatch) + ", " +
                              std::to_string((count + kBatch - 1) / kBatch) + " processes";
    const auto make = [](std::string name, int method, std::vector<std::string> command,
                         bool trashed, bool oneName = false) {
        Contender c;
        c.name = std::move(name);
        c.method = method;
        c.command = std::move(command);
        c.trashed = trashed;
        c.oneName = oneName;
        return c;
    };
    const std::string viaXargs = " (" + batch + ")";
    std::vector<Contender> contenders = {
        make("Fernwick Delete", METHOD_DELETE, {}, false),
        make("rm -f" + viaXargs, 0, {"rm", "-f", "--"}, false),
        make("Fernwick Recycle", METHOD_RECYCLE, {}, true),
        make("gio trash" + viaXargs, 0, {"gio", "trash"}, true),
        make("trash-put" + viaXargs, 0, {"trash-put"}, true),
        make("Fernwick Recycle, all of one name", METHOD_RECYCLE, {}, true, true),
    };
    if (FindInPath("xargs").empty())
        for (Contender& c : contenders)
            if (!c.command.empty())
                c.skipped = "xargs not found";
    for (Contender& c : contenders)
        if (!c.command.empty() && c.skipped.empty() && FindInPath(c.command[0]).empty())
            c.skipped = c.command[0] + " not found";

    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    double load[3] = {0, 0, 0};
    ::getloadavg(load, 3);
    const int folders = (count + kFilesPerFolder - 1) / kFilesPerFolder;
    std::printf("%s files of %d bytes in %d folders, per contender; %d round%s\n",
                GroupThousands(static_cast<std::uint64_t>(count)).c_str(), kFileBytes, folders,
                runs, runs == 1 ? "" : "s");
    std::printf("work folder %s (HOME, XDG_DATA_HOME, FERNWICK_HOME inside it)\n", w.root.c_str());
    std::printf("cores %ld, load average at start %.2f %.2f %.2f\n", cores, load[0], load[1],
                load[2]);
    std::fflush(stdout);

    Parts parts;
    bool partsOk = true;
    for (int round = 0; round < runs; ++round) {
        // Each round starts one contender further on: none always runs first, right after the
        // clean-up of the last round, whose freed blocks the disk may still be dealing with.
        for (size_t k = 0; k < contenders.size(); ++k) {
            Contender& c = contenders[(k + static_cast<size_t>(round)) % contenders.size()];
            if (!c.skipped.empty() || !c.failure.empty())
                continue;
            if (!MakeFiles(w, count, c.oneName)) {
                std::fprintf(stderr, "cannot make the files under %s\n", w.files.c_str());
                return 1;
            }
            Outcome out = c.command.empty() ? RunFernwick(w, c.method) : RunXargs(w, c.command);
            Verify(w, c.trashed, out);
            if (!out.failure.empty())
                c.failure = out.failure;
            else
                c.seconds.push_back(out.seconds);
            std::printf("  round %d  %-40s %s\n", round + 1, c.name.c_str(),
                        out.failure.empty() ? (std::to_string(out.seconds) + " s").c_str()
                                            : ("FAILED: " + out.failure).c_str());
            std::fflush(stdout);
        }
        partsOk = MeasureParts(w, count, parts) && partsOk;
    }

    std::printf("\n%-44s %10s %12s\n", "contender", "seconds", "files/s");
    for (const Contender& c : contenders) {
        if (!c.skipped.empty())
            std::printf("%-44s skipped: %s\n", c.name.c_str(), c.skipped.c_str());
        else if (!c.failure.empty())
            std::printf("%-44s FAILED: %s\n", c.name.c_str(), c.failure.c_str());
        else {
            const double s = Median(c.seconds);
            std::printf("%-44s %10.3f %12s\n", c.name.c_str(), s, Grouped(count / s).c_str());
        }
    }
    std::printf("(median of %d; cores %ld)\n", runs, cores);

    std::printf("\nFernwick Delete by part%s\n",
                partsOk ? "" : " (FAILED: a file was in use or not deleted)");
    const double checks = Median(parts.checks);
    std::printf("  in-use check (lease taken and given up) %8.3f s  %7.1f us/file\n", checks,
                checks * 1e6 / count);
    std::printf("  in-use check without a lease (/proc)    %8.3f s  %7.1f us/file, %zu files\n",
                Median(parts.procChecks),
                Median(parts.procChecks) * 1e6 / static_cast<double>(std::max<std::size_t>(1, parts.procFiles)),
                parts.procFiles);
    std::printf("  log entry (WriteLog)                    %8.3f s  %7.1f us/file\n",
                Median(parts.log), Median(parts.log) * 1e6 / count);
    std::printf("  delete step (DeleteFileStep)            %8.3f s  %7.1f us/file\n",
                Median(parts.unlink), Median(parts.unlink) * 1e6 / count);

    if (!keep) {
        std::error_code ec;
        fs::remove_all(w.root, ec);
    }
    bool ok = partsOk;
    for (const Contender& c : contenders)
        ok = ok && c.failure.empty();
    return ok ? 0 : 1;
}
