// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The real program's scheduled run: its exit status, names that try to forge the log or the
// listing, a log that cannot be written, and a run stopped by a signal.
#include "dispose/DisposalMethod.h"
#include "support/ChildProcess.h"
#include "support/ListingField.h"
#include "support/NoticeBus.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <zip.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// A stamped log line: "MM/DD/YY HH:MM:SS     message"; gives the message.
bool IsStamped(const std::string& line, std::string* message = nullptr) {
    static const std::string pattern = "99/99/99 99:99:99     ";
    if (line.size() < pattern.size())
        return false;
    for (size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] == '9' ? !std::isdigit(static_cast<unsigned char>(line[i]))
                              : line[i] != pattern[i])
            return false;
    if (message)
        *message = line.substr(pattern.size());
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = text.find('\n', pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// The messages of a log whose every line is stamped; fails the test otherwise.
std::vector<std::string> Messages(const std::string& text) {
    std::vector<std::string> messages;
    for (const std::string& line : Lines(text)) {
        std::string message;
        EXPECT_TRUE(IsStamped(line, &message)) << "not an entry: " << line;
        messages.push_back(message);
    }
    return messages;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The program started as cron starts it: no display. Output and errors go to out.
pid_t SpawnFernwick(const std::vector<std::string>& args, const fs::path& out) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view v = *e;
        if (!v.starts_with("DISPLAY=") && !v.starts_with("WAYLAND_DISPLAY=") &&
            !v.starts_with("QT_QPA_PLATFORM="))
            env.emplace_back(v);
    }
    std::vector<std::string> argvText{FW_BINARY};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (::posix_spawn(&pid, FW_BINARY, &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status, or 128 + the signal that ended it. A run that hangs is killed after two
// minutes rather than hanging the test run.
int WaitForExit(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 120000; ++i) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

// Sends SIGTERM to pid once ready() holds, looking every millisecond for up to two minutes.
template <class Ready> bool TerminateWhen(pid_t pid, Ready ready) {
    for (int i = 0; i < 120000; ++i) {
        if (ready())
            return ::kill(pid, SIGTERM) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

struct RunResult {
    int exitCode = -1;
    std::string out; // standard output and error
};

// A profile "Junk" taking every file in tree/src.
struct Scheduled {
    ScopedTestHome home;
    fs::path src = home.root() / "tree" / "src";
    Scheduled() {
        fs::create_directories(src);
        WriteTextFile(home.program() / "settings.dat",
                      "Fernwick 2.0, Data Stream Version 1.1\n1\n"
                      "Junk\n1068\n1\n" + src.string() + "\n1\n*\n0\n0\n0\n0\n1\n1\n1980\n");
    }
    fs::path Log() const { return home.program() / "fwlog.txt"; }
    RunResult Start(const std::vector<std::string>& args) const {
        const fs::path out = home.root() / "out.txt";
        RunResult r;
        const pid_t pid = SpawnFernwick(args, out);
        if (pid > 0)
            r.exitCode = WaitForExit(pid);
        r.out = ReadTextFile(out);
        return r;
    }
    // The names still in src, one a line.
    std::string FilesLeft() const {
        std::string names;
        for (const auto& entry : fs::directory_iterator(src))
            names += entry.path().filename().string() + "\n";
        return names;
    }
};

// The entry names of an archive, read back with libzip; empty when it cannot be opened.
std::set<std::string> ArchiveEntries(const fs::path& archive) {
    std::set<std::string> names;
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (!za)
        return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
        names.insert(zip_get_name(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW));
    zip_discard(za);
    return names;
}

// Does the process hold open a file in folder other than except (a copy being written)?
bool WritesInto(pid_t pid, const fs::path& folder, const fs::path& except) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const std::string target = fs::read_symlink(fd.path(), ec).string();
        if (!ec && target.starts_with(folder.string() + "/") && target != except.string())
            return true;
    }
    return false;
}

} // namespace

TEST(RunOutcome, ExitStatusIsZeroOnlyWhenEveryFileWasDisposedOf) {
    {
        Scheduled s;
        WriteTextFile(s.src / "a.tmp", "12345");
        WriteTextFile(s.src / "b.tmp", "123");
        const RunResult r = s.Start({"/r", "/pJunk", "/d", "/x1022", "/m"});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(s.FilesLeft(), "");
    }
    {
        // Nothing found is nothing left undone.
        Scheduled s;
        const RunResult r = s.Start({"/r", "/pJunk", "/d", "/x1025", "/m"});
        EXPECT_EQ(r.exitCode, 0) << r.out;
    }
    {
        // One file in use: the others go, the status says not all did.
        Scheduled s;
        WriteTextFile(s.src / "a.tmp", "12345");
        WriteTextFile(s.src / "locked.tmp", "123");
        LockingChild lock((s.src / "locked.tmp").string());
        const RunResult r = s.Start({"/r", "/pJunk", "/d", "/x1022", "/m"});
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_FALSE(fs::exists(s.src / "a.tmp"));
        EXPECT_TRUE(fs::exists(s.src / "locked.tmp"));
    }
    {
        // A move that would replace a file fails for that file.
        Scheduled s;
        WriteTextFile(s.src / "a.tmp", "12345");
        WriteTextFile(s.home.root() / "dest" / "a.tmp", "already there");
        const std::string dest = (s.home.root() / "dest").string();
        const RunResult r = s.Start({"/r", "/pJunk", "/d", "/x1024", "/m" + dest});
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_EQ(ReadTextFile(s.home.root() / "dest" / "a.tmp"), "already there");
    }
}

TEST(RunOutcome, ACommandLineItCannotUseExitsWithTwoAndTouchesNothing) {
    const std::vector<std::vector<std::string>> calls{
        {"/r", "/pJunk", "/d", "/m"},                 // no /x at all
        {"/r", "/pJunk", "/d", "/x", "/m"},           // /x with no method
        {"/r", "/pJunk", "/d", "/x9999", "/m"},       // no such method
        {"/r", "/pJunk", "/d", "/xdelete", "/m"},     // not a number
        {"-r", "-pJunk", "-d", "-x1024", "-m"},       // move, nowhere to
        {"/r", "/pJunk", "/d", "/x1023", "/m"},       // zip, no archive
    };
    for (const auto& call : calls) {
        Scheduled s;
        WriteTextFile(s.src / "a.tmp", "12345");
        const RunResult r = s.Start(call);
        std::string what;
        for (const std::string& arg : call)
            what += arg + " ";
        EXPECT_EQ(r.exitCode, 2) << what << r.out;
        EXPECT_NE(r.out.find("fernwick: scheduled run refused: "), std::string::npos) << r.out;
        EXPECT_TRUE(fs::exists(s.src / "a.tmp")) << what;
        const std::vector<std::string> log = Messages(ReadTextFile(s.Log()));
        ASSERT_EQ(log.size(), 1u) << what; // refused before anything was scanned
        EXPECT_TRUE(log[0].starts_with("Scheduled run refused: ")) << log[0];
        EXPECT_NE(log[0].find("Nothing was scanned or disposed of."), std::string::npos) << log[0];
    }
}

TEST(RunOutcome, TheDesktopSessionIsToldWhatTheRunDidAndTheRunIsUnchanged) {
    Scheduled s;
    PrivateSessionBus bus(s.home.runtime());
    ASSERT_TRUE(bus.Ready());
    StandInNotificationServer server(bus.Address(), StandInNotificationServer::Mode::Plain);
    ASSERT_TRUE(server.Ready());

    // Nothing found: nothing to tell.
    RunResult r = s.Start({"/r", "/pJunk", "/d", "/x1022", "/m"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(server.Received().empty());

    // One file goes, one is in use: both are said, with the log's path, and the log and the
    // status are what they are without a desktop.
    WriteTextFile(s.src / "a.tmp", "12345");
    WriteTextFile(s.src / "locked.tmp", "123");
    fs::remove(s.Log());
    {
        LockingChild lock((s.src / "locked.tmp").string());
        r = s.Start({"/r", "/pJunk", "/d", "/x1022", "/m"});
    }
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_EQ(r.out, "");
    std::vector<ReceivedNotice> received = server.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].summary, "Scheduled cleaning: 1 file left");
    EXPECT_EQ(received[0].body, "1 file (5 bytes) was deleted.\n1 file could not be deleted.\n"
                                "Each file is in the log: " + s.Log().string());
    const std::vector<std::string> log = Messages(ReadTextFile(s.Log()));
    for (const std::string& line : log)
        EXPECT_EQ(line.find("otif"), std::string::npos) << line;
    EXPECT_EQ(log.back(), "5 bytes were Deleted by Fernwick");

    // A refused command is told too: every later run would be refused the same way.
    r = s.Start({"/r", "/pJunk", "/d", "/x1024", "/m"});
    EXPECT_EQ(r.exitCode, 2) << r.out;
    received = server.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].summary, "Scheduled cleaning refused");
    EXPECT_TRUE(received[1].body.starts_with("The scheduled cleaning did not run: the files are "
                                             "to be Moved, but no /m switch names"))
        << received[1].body;
}

TEST(RunOutcome, NamesWithLineBreaksAndEscapesForgeNeitherTheLogNorTheListing) {
    Scheduled s;
    // Each name tries to pass for more than one file or entry, or to hide itself. A name has
    // no "/": the forged stamps use the look-alike U+2215.
    const std::vector<std::string> names{
        "a.tmp\n12\u221531\u221599 23:59:59     innocent.tmp Deleted",
        "b.tmp\r12\u221531\u221599 23:59:59     over the line",
        "c\tsize\t2000-01-01 00:00:00\tfake.tmp",
        "d\x1b[1A\x1b[2K.tmp",
        "e\\x0a\\.tmp",
        "f\x7f\x01.tmp",
        "plain.tmp",
    };
    std::set<std::string> paths;
    for (const std::string& name : names) {
        WriteTextFile(s.src / name, "x");
        paths.insert((s.src / name).string());
    }

    // The listing: one line per file, three fields, the path read back exactly.
    const RunResult preview = s.Start({"--preview", "/pJunk"});
    ASSERT_EQ(preview.exitCode, 0) << preview.out;
    std::vector<std::string> lines = Lines(preview.out);
    ASSERT_EQ(lines.size(), names.size() + 1) << preview.out;
    EXPECT_EQ(lines.back(), "# " + std::to_string(names.size()) + " files, " +
                                std::to_string(names.size()) + " bytes");
    std::set<std::string> listed;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        ASSERT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
        const auto path = ReadListingField(line.substr(line.rfind('\t') + 1));
        ASSERT_TRUE(path) << line;
        listed.insert(*path);
    }
    EXPECT_EQ(listed, paths);

    // The log: every line one stamped entry, the names escaped in it.
    const RunResult run = s.Start({"/r", "/pJunk", "/d", "/x1022", "/m"});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(s.FilesLeft(), "") << ReadTextFile(s.Log());
    const std::vector<std::string> log = Messages(ReadTextFile(s.Log()));
    ASSERT_EQ(log.size(), names.size() + 2); // "Scanning for Junk", a line per file, the total
    const std::string dir = s.src.string() + "/";
    const std::string stamp = "12\u221531\u221599 23:59:59     ";
    EXPECT_TRUE(Contains(log, dir + "a.tmp\\x0a" + stamp + "innocent.tmp Deleted Deleted"));
    EXPECT_TRUE(Contains(log, dir + "b.tmp\\x0d" + stamp + "over the line Deleted"));
    EXPECT_TRUE(Contains(log, dir + "c\\x09size\\x092000-01-01 00:00:00\\x09fake.tmp Deleted"));
    EXPECT_TRUE(Contains(log, dir + "d\\x1b[1A\\x1b[2K.tmp Deleted"));
    EXPECT_TRUE(Contains(log, dir + "e\\x0a\\.tmp Deleted")); // backslashes kept readable
    EXPECT_TRUE(Contains(log, dir + "f\\x7f\\x01.tmp Deleted"));
    EXPECT_TRUE(Contains(log, dir + "plain.tmp Deleted"));
    EXPECT_EQ(log.back(), std::to_string(names.size()) + " bytes were Deleted by Fernwick");
}

TEST(RunOutcome, ALogThatCannotBeWrittenSendsItsLinesToStandardError) {
    // A folder, or a link, where the log should be.
    for (const bool folder : {true, false}) {
        Scheduled s;
        WriteTextFile(s.src / "a.tmp", "12345");
        WriteTextFile(s.src / "b\nc.tmp", "123");
        const fs::path elsewhere = s.home.root() / "elsewhere.txt";
        if (folder)
            fs::create_directory(s.Log());
        else
            fs::create_symlink(elsewhere, s.Log());
        const RunResult r = s.Start({"/r", "/pJunk", "/d", "/x1022", "/m"});
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_EQ(s.FilesLeft(), "") << "the cleaning goes on without its log";
        EXPECT_FALSE(fs::exists(elsewhere));
        EXPECT_NE(r.out.find(folder ? " is a folder, not a regular file"
                                    : " is a symbolic link, not a regular file"),
                  std::string::npos)
            << r.out;
        std::vector<std::string> entries;
        for (const std::string& line : Lines(r.out))
            if (std::string message; IsStamped(line, &message))
                entries.push_back(message);
        EXPECT_TRUE(Contains(entries, "Scanning for Junk")) << r.out;
        EXPECT_TRUE(Contains(entries, (s.src / "a.tmp").string() + " Deleted")) << r.out;
        EXPECT_TRUE(Contains(entries, s.src.string() + "/b\\x0ac.tmp Deleted")) << r.out;
        EXPECT_TRUE(Contains(entries, "8 bytes were Deleted by Fernwick")) << r.out;
    }
}

TEST(RunOutcome, SigtermDuringARunStopsItBetweenFilesAndLeavesNoTemporaryFile) {
    // Moved to another file system where there is one, so that files are copied and one may
    // be cut off halfway; else renamed.
    Scheduled s;
    fs::path dest = s.home.root() / "dest";
    struct stat a {}, b {};
    if (::stat("/dev/shm", &b) == 0 && ::stat(s.home.root().c_str(), &a) == 0 &&
        a.st_dev != b.st_dev) {
        std::string made = "/dev/shm/fernwick-test-XXXXXX";
        if (::mkdtemp(made.data()))
            dest = made;
    }
    struct RemoveAfter {
        fs::path path;
        ~RemoveAfter() {
            std::error_code ec;
            if (path.string().starts_with("/dev/shm/fernwick-test-"))
                fs::remove_all(path, ec);
        }
    } removeAfter{dest};
    fs::create_directories(dest);

    constexpr int kFiles = 5000;
    const std::string data(4096, 'x');
    std::set<std::string> names;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i) + ".tmp";
        WriteTextFile(s.src / name, data);
        names.insert(name);
    }

    const fs::path out = s.home.root() / "out.txt";
    const pid_t pid = SpawnFernwick({"/r", "/pJunk", "/d", "/x1024", "/m" + dest.string()}, out);
    ASSERT_GT(pid, 0);
    // Sent once the first file has been taken on, while thousands are still to come.
    const bool sent = TerminateWhen(
        pid, [&] { return ReadTextFile(s.Log()).find(" Moved\n") != std::string::npos; });
    const int exitCode = WaitForExit(pid);
    ASSERT_TRUE(sent) << ReadTextFile(out);
    EXPECT_EQ(exitCode, 1) << ReadTextFile(out);

    // Every file is in one place or the other, whole, under its own name; nothing else is.
    std::set<std::string> seen;
    size_t moved = 0;
    for (const fs::path& folder : {s.src, dest}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(names.count(name)) << "left behind: " << entry.path();
            EXPECT_TRUE(seen.insert(name).second) << "in both places: " << name;
            EXPECT_EQ(ReadTextFile(entry.path()), data) << entry.path();
            if (folder == dest)
                ++moved;
        }
    }
    EXPECT_EQ(seen.size(), names.size());
    EXPECT_LT(moved, names.size()) << "the run was not stopped";

    const std::vector<std::string> log = Messages(ReadTextFile(s.Log()));
    ASSERT_GE(log.size(), 2u);
    const std::string& stopped = log[log.size() - 2];
    const std::string prefix = "The run was stopped by SIGTERM after ";
    ASSERT_TRUE(stopped.starts_with(prefix)) << stopped;
    // "... after K of 5000 files; M were Moved, the others were left alone."
    const size_t of = stopped.find(" of " + std::to_string(kFiles) + " files; ");
    ASSERT_NE(of, std::string::npos) << stopped;
    const int reached = std::stoi(stopped.substr(prefix.size()));
    EXPECT_GE(reached, static_cast<int>(moved));
    EXPECT_LT(reached, kFiles);
    const std::string count = "; " + std::to_string(moved) + " were Moved, ";
    EXPECT_NE(stopped.find(count + "the others were left alone."), std::string::npos)
        << stopped << " with " << moved << " moved";
    EXPECT_EQ(log.back(), GroupThousands(moved * data.size()) + " bytes were Moved by Fernwick");
}

TEST(RunOutcome, HelpListsTheExitStatusesAndTheEscaping) {
    ScopedTestHome home;
    const CommandResult r = RunCommand("", FW_BINARY, "--help");
    EXPECT_EQ(r.exitCode, 0);
    for (const char* text : {"Exit status of a scheduled run", "\n  0  every file found",
                             "\n  1  some were not", "\n  2  a command line it cannot use",
                             "\\xHH in the log and in the preview", "a backslash as \\\\",
                             "SIGTERM, SIGINT (Ctrl-C) or SIGHUP"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
}

TEST(RunOutcome, SigtermWhileTheArchiveIsWrittenKeepsTheOldArchiveAndEveryOriginal) {
    Scheduled s;
    const fs::path dest = s.home.root() / "dest";
    const fs::path archive = dest / "old.zip";
    fs::create_directories(dest);
    WriteTextFile(s.src / "first.tmp", "first");
    const RunResult first = s.Start({"/r", "/pJunk", "/d", "/x1023", "/m" + archive.string()});
    ASSERT_EQ(first.exitCode, 0) << first.out << ReadTextFile(s.Log());
    fs::remove(s.src / "first.tmp");
    fs::remove(s.Log());
    const std::string before = ReadTextFile(archive);

    // Incompressible, so that deflating it takes a while.
    std::mt19937_64 gen(1);
    std::string big(96u << 20, '\0');
    for (size_t i = 0; i + 8 <= big.size(); i += 8) {
        const std::uint64_t v = gen();
        std::memcpy(big.data() + i, &v, 8);
    }
    WriteTextFile(s.src / "big.bin", big);
    big.clear();
    WriteTextFile(s.src / "small.tmp", "small");

    const fs::path out = s.home.root() / "out.txt";
    const pid_t pid = SpawnFernwick({"/r", "/pJunk", "/d", "/x1023", "/m" + archive.string()}, out);
    ASSERT_GT(pid, 0);
    // Sent once the new archive is being written beside the old one.
    const bool sent = TerminateWhen(pid, [&] { return WritesInto(pid, dest, archive); });
    const int exitCode = WaitForExit(pid);
    ASSERT_TRUE(sent) << ReadTextFile(out);
    EXPECT_EQ(exitCode, 1) << ReadTextFile(out);

    EXPECT_EQ(ReadTextFile(archive), before);
    EXPECT_EQ(ArchiveEntries(archive), (std::set<std::string>{(s.src / "first.tmp").string().substr(1)}));
    std::vector<fs::path> inDest;
    for (const auto& entry : fs::directory_iterator(dest))
        inDest.push_back(entry.path());
    EXPECT_EQ(inDest, std::vector<fs::path>{archive}) << "nothing of the stopped write is left";
    EXPECT_EQ(fs::file_size(s.src / "big.bin"), 96u << 20);
    EXPECT_EQ(ReadTextFile(s.src / "small.tmp"), "small");

    const std::vector<std::string> log = Messages(ReadTextFile(s.Log()));
    for (const std::string& line : log)
        EXPECT_FALSE(line.ends_with(" Zipped")) << line;
    ASSERT_GE(log.size(), 2u);
    EXPECT_TRUE(Contains(log, (s.src / "big.bin").string() +
                                  " could not be Zipped: the run was stopped before the archive was written."));
    EXPECT_EQ(log[log.size() - 2],
              "The run was stopped by SIGTERM after 2 of 2 files; 0 were Zipped, the others were left alone.");
    EXPECT_EQ(log.back(), "0 bytes were Zipped by Fernwick");
}

TEST(RunOutcome, TwoRunsZippingIntoOneArchiveAtOnceKeepEveryFileTheyLogged) {
    ScopedTestHome home;
    const fs::path tree = home.root() / "tree";
    std::string settings = "Fernwick 2.0, Data Stream Version 1.1\n2\n";
    for (const char* name : {"One", "Two"})
        settings += std::string(name) + "\n1068\n1\n" + (tree / name).string() +
                    "\n1\n*\n0\n0\n0\n0\n1\n1\n1980\n";
    WriteTextFile(home.program() / "settings.dat", settings);
    std::set<std::string> expected;
    for (const char* name : {"One", "Two"})
        for (int i = 0; i < 300; ++i) {
            const fs::path file = tree / name / ("f" + std::to_string(i) + ".tmp");
            WriteTextFile(file, std::string(8192, static_cast<char>('a' + i % 26)));
            expected.insert(file.string().substr(1));
        }
    const fs::path archive = home.root() / "both.zip";
    const pid_t one = SpawnFernwick({"/r", "/pOne ", "/d", "/x1023", "/m" + archive.string()},
                                    home.root() / "one.txt");
    const pid_t two = SpawnFernwick({"/r", "/pTwo ", "/d", "/x1023", "/m" + archive.string()},
                                    home.root() / "two.txt");
    ASSERT_GT(one, 0);
    ASSERT_GT(two, 0);
    EXPECT_EQ(WaitForExit(one), 0) << ReadTextFile(home.root() / "one.txt");
    EXPECT_EQ(WaitForExit(two), 0) << ReadTextFile(home.root() / "two.txt");

    EXPECT_EQ(ArchiveEntries(archive), expected);
    size_t zipped = 0;
    for (const std::string& line : Messages(ReadTextFile(home.program() / "fwlog.txt")))
        zipped += line.ends_with(" Zipped") ? 1 : 0;
    EXPECT_EQ(zipped, expected.size());
}
