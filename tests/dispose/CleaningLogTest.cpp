// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The cleaning log: entry format, appending, and logs that cannot be written.
#include "dispose/CleaningLog.h"

#include "platform/DataFile.h"
#include "platform/UniqueFd.h"
#include "support/GuardedChild.h"
#include "support/TempDir.h"
#include "support/TimeZone.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A stamped line is "MM/DD/YY HH:MM:SS", five spaces, the message; gives the message.
bool ParseStampedLine(const std::string& line, std::string& message) {
    const std::string pattern = "99/99/99 99:99:99     ";
    if (line.size() < pattern.size())
        return false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool ok = pattern[i] == '9' ? AllDigits(line.substr(i, 1)) : line[i] == pattern[i];
        if (!ok)
            return false;
    }
    const int month = std::stoi(line.substr(0, 2));
    const int day = std::stoi(line.substr(3, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31 || std::stoi(line.substr(9, 2)) > 23)
        return false;
    message = line.substr(pattern.size());
    return true;
}

class CleaningLog : public ::testing::Test {
  protected:
    ScopedTestHome home;
    fs::path LogFile() const { return home.program() / "fwlog.txt"; }
};

} // namespace

// --- Entry format ---------------------------------------------------------------------------

TEST(LogEntryFormat, DateTimeThenFiveSpacesThenMessage) {
    EXPECT_EQ(FormatLogEntry(LocalTime(1998, 7, 14, 9, 5, 7), "Scan stopped"),
              "07/14/98 09:05:07     Scan stopped\n");
}

TEST(LogEntryFormat, YearTwoThousandWritesZeroZero) {
    EXPECT_EQ(FormatLogEntry(LocalTime(2000, 1, 1, 0, 0, 0), "New year"),
              "01/01/00 00:00:00     New year\n");
    // Afternoon hours use the 24-hour clock.
    EXPECT_EQ(FormatLogEntry(LocalTime(2000, 12, 31, 23, 59, 58), "Late"),
              "12/31/00 23:59:58     Late\n");
    EXPECT_EQ(FormatLogEntry(LocalTime(2009, 3, 2, 13, 4, 0), "x"), "03/02/09 13:04:00     x\n");
}

TEST(LogEntryFormat, AnEntryIsAlwaysOneLine) {
    // Every control character, C0 and DEL, of any message: a name cannot forge an entry.
    const std::time_t when = LocalTime(1998, 7, 14, 9, 5, 7);
    EXPECT_EQ(FormatLogEntry(when, "first\n\nsecond"),
              "07/14/98 09:05:07     first\\x0a\\x0asecond\n");
    const std::string forged =
        "/tmp/a\n07/14/98 09:05:07     /etc/passwd Deleted\r\x1b[2K.tmp Deleted";
    const std::string entry = FormatLogEntry(when, forged);
    EXPECT_EQ(entry, "07/14/98 09:05:07     /tmp/a\\x0a07/14/98 09:05:07     /etc/passwd "
                     "Deleted\\x0d\\x1b[2K.tmp Deleted\n");
    ASSERT_EQ(SplitLines(entry).size(), 1u);
    std::string all;
    for (int c = 0; c < 0x20; ++c)
        all += static_cast<char>(c);
    all += "\x7f";
    std::string expected;
    for (int c = 0; c < 0x20; ++c) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        expected += hex;
    }
    expected += "\\x7f";
    EXPECT_EQ(FormatLogEntry(when, all), "07/14/98 09:05:07     " + expected + "\n");
    // Backslashes, blanks, quotes and non-ASCII names stay readable as they are.
    EXPECT_EQ(FormatLogEntry(when, "C:\\Temp\\x0a \"\xc3\xa9t\xc3\xa9\".tmp Deleted"),
              "07/14/98 09:05:07     C:\\Temp\\x0a \"\xc3\xa9t\xc3\xa9\".tmp Deleted\n");
}

TEST(LogEntryFormat, EmptyMessageIsStillAWholeLine) {
    EXPECT_EQ(FormatLogEntry(LocalTime(1998, 7, 14, 9, 5, 7), ""), "07/14/98 09:05:07     \n");
}

// --- Writing, existence, deletion -----------------------------------------------------------

TEST_F(CleaningLog, PathIsInTheProgramDirectory) {
    EXPECT_EQ(LogFilePath(), home.programDir() + "fwlog.txt");
}

TEST_F(CleaningLog, WriteLogCreatesTheFileAndAppendsInOrder) {
    ASSERT_FALSE(fs::exists(LogFile()));
    const std::time_t before = std::time(nullptr);
    WriteLog("Cleaning started");
    ASSERT_TRUE(fs::is_regular_file(LogFile()));
    const std::string afterOne = ReadTextFile(LogFile());
    WriteLog("Deleted /tmp/a.tmp");
    WriteLog("Cleaning finished");
    const std::time_t after = std::time(nullptr);

    const std::string text = ReadTextFile(LogFile());
    EXPECT_EQ(text.compare(0, afterOne.size(), afterOne), 0) << "earlier entries must stay";
    const std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 3u);
    const char* messages[] = {"Cleaning started", "Deleted /tmp/a.tmp", "Cleaning finished"};
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string message;
        ASSERT_TRUE(ParseStampedLine(lines[i], message)) << lines[i];
        EXPECT_EQ(message, messages[i]);
        // The stamp is the current time: one of the seconds the calls ran in.
        const std::string stamp = lines[i].substr(0, 22);
        bool matched = false;
        for (std::time_t t = before; t <= after && !matched; ++t)
            matched = FormatLogEntry(t, "").substr(0, 22) == stamp;
        EXPECT_TRUE(matched) << stamp;
    }
    EXPECT_EQ(text.back(), '\n');
}

TEST_F(CleaningLog, WriteLogKeepsEarlierContent) {
    WriteTextFile(LogFile(), "old entry\n");
    WriteLog("new entry");
    const std::vector<std::string> lines = SplitLines(ReadTextFile(LogFile()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "old entry");
    std::string message;
    ASSERT_TRUE(ParseStampedLine(lines[1], message));
    EXPECT_EQ(message, "new entry");
}

TEST_F(CleaningLog, ExistsOnlyBetweenWriteAndDelete) {
    EXPECT_FALSE(LogExists());
    WriteLog("Scan started");
    EXPECT_TRUE(LogExists());
    DeleteLog();
    EXPECT_FALSE(LogExists());
    EXPECT_FALSE(fs::exists(LogFile()));
    // Deleting again, with nothing there, is no error.
    DeleteLog();
    EXPECT_FALSE(LogExists());
    // And the log can be started afresh.
    WriteLog("again");
    EXPECT_EQ(SplitLines(ReadTextFile(LogFile())).size(), 1u);
}

TEST_F(CleaningLog, DeletingAMissingLogIsFine) {
    ASSERT_FALSE(fs::exists(LogFile()));
    DeleteLog();
    EXPECT_FALSE(LogExists());
    EXPECT_TRUE(fs::is_directory(home.program()));
}

// --- Logs that cannot be written ------------------------------------------------------------

TEST_F(CleaningLog, FolderNamedLikeTheLogIsLeftAlone) {
    fs::create_directory(LogFile());
    WriteTextFile(LogFile() / "inside", "keep");
    WriteLog("Scan started");
    EXPECT_TRUE(fs::is_directory(LogFile()));
    EXPECT_EQ(ReadTextFile(LogFile() / "inside"), "keep");
    EXPECT_FALSE(LogExists());
    DeleteLog(); // a folder is not removed as if it were the log
    EXPECT_TRUE(fs::is_directory(LogFile()));
}

TEST_F(CleaningLog, MissingProgramDirectoryIsSkipped) {
    const fs::path missing = home.root() / "gone" / "program";
    ::setenv("FERNWICK_HOME", missing.c_str(), 1);
    WriteLog("Scan started");
    EXPECT_FALSE(fs::exists(home.root() / "gone"));
    EXPECT_FALSE(LogExists());
    DeleteLog();

    // A plain file where the program directory should be.
    WriteTextFile(home.root() / "not-a-folder", "data");
    ::setenv("FERNWICK_HOME", (home.root() / "not-a-folder").c_str(), 1);
    WriteLog("Scan started");
    EXPECT_EQ(ReadTextFile(home.root() / "not-a-folder"), "data");
    EXPECT_FALSE(LogExists());
}

TEST_F(CleaningLog, ReadOnlyProgramDirectoryIsSkipped) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    ASSERT_EQ(::chmod(home.program().c_str(), 0500), 0);
    WriteLog("Scan started");
    EXPECT_FALSE(fs::exists(LogFile()));
    ::chmod(home.program().c_str(), 0700);
}

TEST_F(CleaningLog, FifoWithoutReaderDoesNotBlock) {
    ASSERT_EQ(::mkfifo(LogFile().c_str(), 0600), 0);
    // Would hang here for good if the log were opened blocking.
    WriteLog("Scan started");
    EXPECT_FALSE(LogExists());
    EXPECT_TRUE(fs::is_fifo(LogFile()));
}

TEST_F(CleaningLog, FifoWithReaderGetsNothing) {
    ASSERT_EQ(::mkfifo(LogFile().c_str(), 0600), 0);
    UniqueFd reader(::open(LogFile().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(reader);
    WriteLog("Scan started");
    char buf[64];
    const ssize_t n = ::read(reader.get(), buf, sizeof buf);
    EXPECT_LE(n, 0) << "the entry went into the FIFO";
}

TEST_F(CleaningLog, SymbolicLinkIsNotWrittenThrough) {
    const fs::path target = home.root() / "elsewhere.txt";
    WriteTextFile(target, "precious\n");
    fs::create_symlink(target, LogFile());
    WriteLog("Scan started");
    EXPECT_EQ(ReadTextFile(target), "precious\n");
    EXPECT_TRUE(fs::is_symlink(LogFile()));

    // A dangling link must not create its target either.
    const fs::path dangling = home.root() / "created-through-link.txt";
    fs::remove(LogFile());
    fs::create_symlink(dangling, LogFile());
    WriteLog("Scan started");
    EXPECT_FALSE(fs::exists(dangling));
}

// --- Two threads ----------------------------------------------------------------------------

TEST_F(CleaningLog, TwoThreadsProduceWholeLines) {
    constexpr int kPerThread = 500;
    auto writer = [](char who) {
        for (int i = 0; i < kPerThread; ++i)
            WriteLog(std::string("thread ") + who + " entry " + std::to_string(i));
    };
    std::thread ui(writer, 'A');
    std::thread worker(writer, 'B');
    ui.join();
    worker.join();

    const std::string text = ReadTextFile(LogFile());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 2u * kPerThread);
    int next[2] = {0, 0};
    for (const std::string& line : lines) {
        std::string said;
        ASSERT_TRUE(ParseStampedLine(line, said)) << line;
        // "thread A entry 17"
        ASSERT_EQ(said.rfind("thread ", 0), 0u) << line;
        ASSERT_GT(said.size(), 15u) << line;
        const char who = said[7];
        ASSERT_TRUE(who == 'A' || who == 'B') << line;
        ASSERT_EQ(said.substr(8, 7), " entry ") << line;
        const std::string number = said.substr(15);
        ASSERT_TRUE(AllDigits(number)) << line;
        // Each thread's entries arrive whole and in its own order.
        const int index = who == 'A' ? 0 : 1;
        EXPECT_EQ(std::stoi(number), next[index]) << line;
        next[index] = std::stoi(number) + 1;
    }
    EXPECT_EQ(next[0], kPerThread);
    EXPECT_EQ(next[1], kPerThread);
}

// --- Something other than a file in place of the log ----------------------------------------

TEST_F(CleaningLog, WhatIsNotAFileIsReportedOnStandardErrorAndLeftAlone) {
    ASSERT_EQ(::mkfifo(LogFile().c_str(), 0600), 0);
    testing::internal::CaptureStderr();
    WriteLog("Scan started");
    WriteLog("Scan stopped"); // told once, not at every entry
    DeleteLog();
    const std::string err = testing::internal::GetCapturedStderr();
    // The problem once, then every entry as the log would have had it.
    const std::vector<std::string> lines = SplitLines(err);
    ASSERT_EQ(lines.size(), 3u) << err;
    EXPECT_EQ(lines[0], "fernwick: " + LogFile().string() +
                            " is a FIFO, not a regular file; it was left alone and the log's "
                            "entries go to standard error instead.");
    std::string message;
    ASSERT_TRUE(ParseStampedLine(lines[1], message)) << lines[1];
    EXPECT_EQ(message, "Scan started");
    ASSERT_TRUE(ParseStampedLine(lines[2], message)) << lines[2];
    EXPECT_EQ(message, "Scan stopped");
    EXPECT_TRUE(fs::is_fifo(LogFile())) << "removed as if it were the log";

    // A folder, and a link (never written through), likewise.
    fs::remove(LogFile());
    fs::create_directory(LogFile());
    testing::internal::CaptureStderr();
    WriteLog("Scan started");
    DeleteLog();
    EXPECT_NE(testing::internal::GetCapturedStderr().find(LogFile().string() + " is a folder"),
              std::string::npos);
    EXPECT_TRUE(fs::is_directory(LogFile()));

    fs::remove(LogFile());
    fs::create_symlink("/dev/null", LogFile());
    testing::internal::CaptureStderr();
    WriteLog("Scan started");
    EXPECT_NE(testing::internal::GetCapturedStderr().find(LogFile().string() +
                                                          " is a symbolic link"),
              std::string::npos);
    DeleteLog(); // the link is removed, never what it points to
    EXPECT_FALSE(fs::is_symlink(LogFile()));
    EXPECT_TRUE(fs::exists("/dev/null"));
}

TEST_F(CleaningLog, DeviceInPlaceOfTheLogIsNeitherWrittenNorRemoved) {
    // The null device's numbers: writing to it would lose every entry without a word.
    if (::mknod(LogFile().c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        GTEST_SKIP() << "making a device needs the right to";
    testing::internal::CaptureStderr();
    WriteLog("Scan started");
    DeleteLog();
    EXPECT_NE(testing::internal::GetCapturedStderr().find(LogFile().string() +
                                                          " is a character device"),
              std::string::npos);
    EXPECT_TRUE(fs::is_character_file(LogFile()));
    EXPECT_FALSE(LogExists());
}

TEST_F(CleaningLog, ProblemsWithTheProgramsOtherFilesBecomeEntries) {
    const std::string message = home.programDir() + "settings.dat is a FIFO, not a regular file";
    testing::internal::CaptureStderr();
    ReportDataFileProblem(message);
    ReportDataFileProblem(home.programDir() + "only on standard error", ReportTo::ErrorOnly);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("fernwick: " + message + "\n"), std::string::npos);
    const std::vector<std::string> lines = SplitLines(ReadTextFile(LogFile()));
    ASSERT_EQ(lines.size(), 1u);
    std::string logged;
    ASSERT_TRUE(ParseStampedLine(lines[0], logged)) << lines[0];
    EXPECT_EQ(logged, message);
}

// --- A log that cannot take its entries -----------------------------------------------------

TEST_F(CleaningLog, EveryEntryTheLogCannotTakeGoesToStandardErrorAndIsCounted) {
    // A folder in its place, and a program directory that is a plain file (no folder to
    // create the log in): each entry reaches standard error whole, escaped as in the log.
    fs::create_directory(LogFile());
    const std::uint64_t lostBefore = LogEntriesLost();
    testing::internal::CaptureStderr();
    WriteLog("/tmp/a.tmp Deleted");
    WriteLog("/tmp/b\n.tmp Deleted");
    std::vector<std::string> lines = SplitLines(testing::internal::GetCapturedStderr());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(" is a folder, not a regular file"), std::string::npos) << lines[0];
    std::string message;
    ASSERT_TRUE(ParseStampedLine(lines[1], message)) << lines[1];
    EXPECT_EQ(message, "/tmp/a.tmp Deleted");
    ASSERT_TRUE(ParseStampedLine(lines[2], message)) << lines[2];
    EXPECT_EQ(message, "/tmp/b\\x0a.tmp Deleted");
    EXPECT_EQ(LogEntriesLost(), lostBefore + 2);

    WriteTextFile(home.root() / "not-a-folder", "data");
    ::setenv("FERNWICK_HOME", (home.root() / "not-a-folder").c_str(), 1);
    testing::internal::CaptureStderr();
    WriteLog("Scanning for Junk");
    lines = SplitLines(testing::internal::GetCapturedStderr());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("cannot write the cleaning log"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("its entries go to standard error instead"), std::string::npos);
    ASSERT_TRUE(ParseStampedLine(lines[1], message)) << lines[1];
    EXPECT_EQ(message, "Scanning for Junk");
    EXPECT_EQ(LogEntriesLost(), lostBefore + 3);
}

TEST_F(CleaningLog, AWrittenEntryIsNotCounted) {
    const std::uint64_t lostBefore = LogEntriesLost();
    testing::internal::CaptureStderr();
    WriteLog("Scanning for Junk");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(LogEntriesLost(), lostBefore);
}

TEST_F(CleaningLog, AnEntryCutShortByAFullDiskIsTakenBackWhole) {
    // The file-size limit stands in for a full disk: the second entry fits only in part.
    const std::string log = LogFile().string();
    const ChildOutcome child = RunGuarded([&log] {
        ::signal(SIGXFSZ, SIG_IGN);
        const std::uint64_t lostBefore = LogEntriesLost();
        WriteLog("first");
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{static_cast<rlim_t>(fs::file_size(log) + 10), limit.rlim_max};
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
            return 3;
        WriteLog("second, far too long to fit in the ten bytes left");
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 4;
        WriteLog("third");
        return LogEntriesLost() == lostBefore + 1 ? 0 : 5;
    });
    ASSERT_TRUE(child.Exited(0)) << child.exitCode << child.err;
    std::vector<std::string> lines = SplitLines(ReadTextFile(LogFile()));
    ASSERT_EQ(lines.size(), 2u) << ReadTextFile(LogFile());
    std::string message;
    ASSERT_TRUE(ParseStampedLine(lines[0], message));
    EXPECT_EQ(message, "first");
    ASSERT_TRUE(ParseStampedLine(lines[1], message)) << lines[1];
    EXPECT_EQ(message, "third");
    // The lost entry, whole, on standard error after the problem.
    lines = SplitLines(child.err);
    ASSERT_EQ(lines.size(), 2u) << child.err;
    EXPECT_NE(lines[0].find("File too large"), std::string::npos) << lines[0];
    ASSERT_TRUE(ParseStampedLine(lines[1], message)) << lines[1];
    EXPECT_EQ(message, "second, far too long to fit in the ten bytes left");
}
