// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Times Fernwick's Zip against the zip command line over the same files: many small files,
// then fewer large ones, each packed into a new archive at compression level 5.
//   build/bench/fernwick_zip_bench [--small N] [--large N] [--large-kib K] [--runs R] [--keep]
//                                  [PARENT]
// PARENT (default /tmp) receives the work folder fwzip-XXXXXX, removed at the end.
#include "BenchSupport.h"
#include "dispose/CZip.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFilesPerFolder = 200;
constexpr int kSmallBytes = 1024;

struct FileSet {
    std::string name;
    fs::path folder;
    fs::path list; // the paths, one a line, for zip -@
    std::vector<std::string> paths;
    std::uint64_t bytes = 0;
};

// Text that compresses about as well as ordinary documents: words drawn from a small
// vocabulary by a fixed pseudo-random sequence, so every file differs.
std::string Words(std::size_t bytes, std::uint32_t seed) {
    static const char* const kWords[] = {
        "disk",   "cleaner", "profile", "folder", "pattern", "archive", "settings", "scan",
        "delete", "recycle", "moved",   "temp",   "cache",   "report",  "log",      "the",
        "of",     "and",     "a",       "to",     "in",      "file",    "is",       "with",
        "7",      "2021",    "0x1f",    "ok",     "failed",  "size",    "bytes",    "run"};
    std::string text;
    text.reserve(bytes + 16);
    std::uint32_t state = seed * 2654435761u + 1;
    int column = 0;
    while (text.size() < bytes) {
        state = state * 1664525u + 1013904223u;
        const char* word = kWords[(state >> 16) % (sizeof kWords / sizeof *kWords)];
        text += word;
        column += static_cast<int>(std::strlen(word)) + 1;
        if (column > 72) {
            text += '\n';
            column = 0;
        } else {
            text += ' ';
        }
    }
    text.resize(bytes);
    return text;
}

bool MakeSet(FileSet& set, int count, std::size_t bytes) {
    std::error_code ec;
    fs::remove_all(set.folder, ec);
    set.paths.clear();
    set.bytes = 0;
    std::string list;
    for (int i = 0; i < count; ++i) {
        const std::string sub = "d" + std::to_string(i / kFilesPerFolder);
        const fs::path dir = set.folder / sub;
        if (i % kFilesPerFolder == 0 && !fs::create_directories(dir, ec))
            return false;
        std::string path = (dir / (sub + "-f" + std::to_string(i % kFilesPerFolder) + ".txt")).string();
        const std::string text = Words(bytes, static_cast<std::uint32_t>(i));
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool ok = fd >= 0 && WriteAll(fd, text.data(), text.size());
        if (fd >= 0)
            ::close(fd);
        if (!ok)
            return false;
        list += path + "\n";
        set.bytes += text.size();
        set.paths.push_back(std::move(path));
    }
    std::ofstream(set.list, std::ios::binary | std::ios::trunc) << list;
    ::sync(); // pending write-back would otherwise land in whichever run comes first
    return true;
}

// Entries in the archive, or -1 when it cannot be read.
long long CountEntries(const fs::path& archive) {
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (!za)
        return -1;
    const long long n = zip_get_num_entries(za, 0);
    zip_discard(za);
    return n;
}

// Bytes this process has handed to write() so far.
std::uint64_t WrittenBytes() {
    std::ifstream in("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (in >> key >> value)
        if (key == "wchar:")
            return value;
    return 0;
}

// User and system time of this process (RUSAGE_SELF) or of its waited-for children.
double CpuSeconds(int who) {
    rusage ru{};
    ::getrusage(who, &ru);
    const auto sec = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return sec(ru.ru_utime) + sec(ru.ru_stime);
}

struct Run {
    double seconds = 0;
    double cpu = 0; // user + system: less disturbed than wall time by other work on the machine
    double queueSeconds = 0; // Fernwick: checking and queueing every file, before the write
    std::uint64_t archiveBytes = 0;
    std::uint64_t written = 0; // Fernwick: bytes written, archive and all
    std::string failure;
};

Run RunFernwick(const FileSet& set, const fs::path& archive) {
    std::error_code ec;
    fs::remove(archive, ec);
    Run run;
    std::vector<ZipFailure> failures;
    std::size_t queued = 0;
    std::chrono::steady_clock::time_point start, lastQueued;
    const std::uint64_t writtenBefore = WrittenBytes();
    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    run.seconds = Seconds([&] {
        start = std::chrono::steady_clock::now();
        failures = CZIP().AddFiles(archive.string(), set.paths, 5, [&] {
            if (++queued == set.paths.size())
                lastQueued = std::chrono::steady_clock::now();
        });
    });
    run.cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
    run.written = WrittenBytes() - writtenBefore;
    run.queueSeconds = std::chrono::duration<double>(lastQueued - start).count();
    if (!failures.empty())
        run.failure = std::to_string(failures.size()) + " files not archived, first " +
                      failures[0].path + ": " + failures[0].reason;
    return run;
}

Run RunZip(const FileSet& set, const fs::path& archive, const fs::path& output) {
    std::error_code ec;
    fs::remove(archive, ec);
    Run run;
    int code = 0;
    const double cpuBefore = CpuSeconds(RUSAGE_CHILDREN);
    run.seconds = Seconds([&] {
        code = RunTool({"zip", "-5", "-q", "-@", archive.string()}, set.list, output);
    });
    run.cpu = CpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    if (code != 0) {
        std::ifstream in(output);
        std::string said;
        std::getline(in, said);
        run.failure = "exit code " + std::to_string(code) + (said.empty() ? "" : ": " + said);
    }
    return run;
}

void Verify(const FileSet& set, const fs::path& archive, Run& run) {
    if (!run.failure.empty())
        return;
    std::error_code ec;
    run.archiveBytes = fs::file_size(archive, ec);
    const long long entries = CountEntries(archive);
    if (entries != static_cast<long long>(set.paths.size()))
        run.failure = "the archive holds " + std::to_string(entries) + " entries";
}

std::string Fixed(double value, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

void Usage() {
    std::printf("usage: fernwick_zip_bench [--small N] [--large N] [--large-kib K] [--runs R] "
                "[--keep] [PARENT]\n"
                "  --small N      small files of 1 KiB (default 40000)\n"
                "  --large N      large files (default 1000)\n"
                "  --large-kib K  size of a large file in KiB (default 1024)\n"
                "  --runs R       rounds; the table shows medians (default 3)\n"
                "  --keep         leave the work folder in place\n"
                "  PARENT         where the work folder is made (default /tmp)\n");
}

} // namespace

int main(int argc, char** argv) {
    int small = 40000, large = 1000, largeKib = 1024, runs = 3;
    bool keep = false;
    std::string parent = "/tmp";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--small" || a == "--large" || a == "--large-kib" || a == "--runs") &&
            i + 1 < argc) {
            const int value = std::atoi(argv[++i]);
            (a == "--small" ? small : a == "--large" ? large : a == "--runs" ? runs : largeKib) =
                value;
        } else if (a == "--keep") {
            keep = true;
        } else if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else if (!a.empty() && a[0] != '-') {
            parent = a;
        } else {
            Usage();
            return 2;
        }
    }
    if (small < 0 || large < 0 || largeKib < 1 || runs < 1 || small + large == 0) {
        Usage();
        return 2;
    }
    const bool haveZip = !FindInPath("zip").empty();

    std::string pattern = parent + "/fwzip-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "cannot make a folder in %s: %s\n", parent.c_str(),
                     std::strerror(errno));
        return 1;
    }
    const fs::path root = fs::absolute(pattern);
    const fs::path archive = root / "out.zip";
    const fs::path output = root / "zip-output.txt";

    struct Set {
        FileSet files;
        int count;
        std::size_t bytes;
        std::vector<double> fernwick, queue, zip, fernwickCpu, zipCpu;
        std::uint64_t fernwickArchive = 0, zipArchive = 0, written = 0;
        std::string fernwickFailure, zipFailure;
    };
    std::vector<Set> sets;
    const auto addSet = [&](const std::string& name, int count, std::size_t bytes) {
        if (count <= 0)
            return;
        Set s;
        s.files.name = name;
        s.files.folder = root / name;
        s.files.list = root / (name + ".list");
        s.count = count;
        s.bytes = bytes;
        sets.push_back(std::move(s));
    };
    addSet("small", small, kSmallBytes);
    addSet("large", large, static_cast<std::size_t>(largeKib) * 1024);

    double load[3] = {0, 0, 0};
    ::getloadavg(load, 3);
    std::printf("work folder %s; %d round%s; cores %ld, load average at start %.2f %.2f %.2f\n",
                root.c_str(), runs, runs == 1 ? "" : "s", ::sysconf(_SC_NPROCESSORS_ONLN),
                load[0], load[1], load[2]);
    if (!haveZip)
        std::printf("zip not found: only Fernwick is timed (Debian: apt-get install zip)\n");
    std::fflush(stdout);

    for (Set& s : sets) {
        if (!MakeSet(s.files, s.count, s.bytes)) {
            std::fprintf(stderr, "cannot make the files under %s\n", s.files.folder.c_str());
            return 1;
        }
        std::printf("%s: %d files of %zu bytes (%.1f MiB) of plain words\n",
                    s.files.name.c_str(), s.count, s.bytes, s.files.bytes / 1048576.0);
        for (int round = 0; round < runs; ++round) {
            // Taking turns at going first, so neither always meets a colder cache.
            for (int turn = 0; turn < 2; ++turn) {
                const bool fernwick = (turn == 0) == (round % 2 == 0);
                if (!fernwick && !haveZip)
                    continue;
                Run run = fernwick ? RunFernwick(s.files, archive)
                                   : RunZip(s.files, archive, output);
                Verify(s.files, archive, run);
                if (fernwick) {
                    if (run.failure.empty()) {
                        s.fernwick.push_back(run.seconds);
                        s.fernwickCpu.push_back(run.cpu);
                        s.queue.push_back(run.queueSeconds);
                        s.fernwickArchive = run.archiveBytes;
                        s.written = run.written;
                    } else {
                        s.fernwickFailure = run.failure;
                    }
                } else if (run.failure.empty()) {
                    s.zip.push_back(run.seconds);
                    s.zipCpu.push_back(run.cpu);
                    s.zipArchive = run.archiveBytes;
                } else {
                    s.zipFailure = run.failure;
                }
                if (run.failure.empty())
                    std::printf("  round %d  %-9s %8.3f s, cpu %8.3f s\n", round + 1,
                                fernwick ? "Fernwick" : "zip", run.seconds, run.cpu);
                else
                    std::printf("  round %d  %-9s FAILED: %s\n", round + 1,
                                fernwick ? "Fernwick" : "zip", run.failure.c_str());
                std::fflush(stdout);
            }
        }
        std::error_code ec;
        if (!keep)
            fs::remove_all(s.files.folder, ec); // room for the next set
    }

    bool ok = true;
    std::printf("\n%-6s %6s | %-23s | %-23s | %-11s | %-13s | %s\n", "", "", "wall s (median)",
                "cpu s (median)", "ratio", "archive MiB", "Fernwick");
    std::printf("%-6s %6s | %11s %11s | %11s %11s | %5s %5s | %6s %6s | %s\n", "set", "files",
                "Fernwick", "zip", "Fernwick", "zip", "wall", "cpu", "Fern.", "zip",
                "written/archive");
    for (const Set& s : sets) {
        ok = ok && s.fernwickFailure.empty() && s.zipFailure.empty();
        const double f = Median(s.fernwick), z = Median(s.zip);
        const double fc = Median(s.fernwickCpu), zc = Median(s.zipCpu);
        const bool fOk = s.fernwickFailure.empty(), zOk = haveZip && s.zipFailure.empty();
        const auto cell = [](bool valid, double v, int d) { return valid ? Fixed(v, d) : std::string("-"); };
        std::printf("%-6s %6d | %11s %11s | %11s %11s | %5s %5s | %6.1f %6.1f | %s\n",
                    s.files.name.c_str(), s.count, cell(fOk, f, 3).c_str(), cell(zOk, z, 3).c_str(),
                    cell(fOk, fc, 3).c_str(), cell(zOk, zc, 3).c_str(),
                    cell(fOk && zOk, f / z, 2).c_str(), cell(fOk && zOk, fc / zc, 2).c_str(),
                    s.fernwickArchive / 1048576.0, s.zipArchive / 1048576.0,
                    cell(s.fernwickArchive > 0, double(s.written) / double(s.fernwickArchive), 2).c_str());
        if (!s.queue.empty())
            std::printf("        Fernwick: %.3f s checking and queueing, %.3f s writing\n",
                        Median(s.queue), f - Median(s.queue));
        if (!s.fernwickFailure.empty())
            std::printf("        Fernwick FAILED: %s\n", s.fernwickFailure.c_str());
        if (!s.zipFailure.empty())
            std::printf("        zip FAILED: %s\n", s.zipFailure.c_str());
    }
    std::printf("(medians of %d; zip -5 -q -@; ratio = Fernwick / zip; written/archive = bytes "
                "Fernwick wrote over the archive's size)\n",
                runs);

    std::fflush(stdout);
    if (!keep) {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    return ok ? 0 : 1;
}
