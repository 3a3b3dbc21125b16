// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Reading our entries back out of a crontab and taking one out, the rest kept byte for byte.
#include "schedule/ScheduledRun.h"
#include "support/BuiltCronEntry.h"
#include "CronSupport.h"
#include "app/CommandLine.h"
#include "schedule/CronLine.h"
#include "schedule/ScheduledEntries.h"

#include <gtest/gtest.h>

namespace {

const char* const kEvent = "Fernwick scan";

CronWhen Daily(int hour, int minute) {
    CronWhen w;
    w.hour = hour;
    w.minute = minute;
    return w;
}
CronWhen Weekly(int weekday, int hour, int minute) {
    CronWhen w = Daily(hour, minute);
    w.kind = CronWhen::Weekly;
    w.weekday = weekday;
    return w;
}
CronWhen Monthly(int day, int hour, int minute) {
    CronWhen w = Daily(hour, minute);
    w.kind = CronWhen::Monthly;
    w.dayOfMonth = day;
    return w;
}

// An entry line as the scheduling wizard stores it.
std::string WriterLine(const CronWhen& when, const std::string& profiles, int method,
                       const std::string& destination, const CronEnvironment& env = {}) {
    const BuiltCronEntry entry =
        BuildEntry(when, "/usr/bin/fernwick",
                       BuildScheduledParameters(profiles, "C", method, destination), env);
    EXPECT_EQ(entry.error, "");
    return entry.line;
}

void ExpectSame(const CronWhen& a, const CronWhen& b) {
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.hour, b.hour);
    EXPECT_EQ(a.minute, b.minute);
    if (a.kind == CronWhen::Weekly) {
        EXPECT_EQ(a.weekday, b.weekday);
    }
    if (a.kind == CronWhen::Monthly) {
        EXPECT_EQ(a.dayOfMonth, b.dayOfMonth);
    }
}

} // namespace

TEST(ScheduledEntries, ThreeEntriesReadBackWithTheirTimesAndWords) {
    std::string table = "MAILTO=\"\"\n# nightly backup\n15 3 * * 1 /usr/bin/backup --all\n";
    table = AppendCronEntry(table, kEvent, WriterLine(Daily(7, 14), "Temp Files ", 1022, ""));
    table = AppendCronEntry(table, kEvent, WriterLine(Weekly(5, 12, 30), "Backups ", 1023, "/z.zip"));
    table += "# between\n";
    table = AppendCronEntry(table, kEvent, WriterLine(Monthly(1, 8, 0), "A B ", 1024, "/m"));

    const std::vector<ScheduledEntry> entries = ReadScheduledEntries(table, kEvent);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].commentLine, 3u);
    EXPECT_EQ(entries[1].commentLine, 5u);
    EXPECT_EQ(entries[2].commentLine, 8u);
    for (const ScheduledEntry& e : entries)
        EXPECT_TRUE(e.readable) << e.line;
    ExpectSame(entries[0].when, Daily(7, 14));
    ExpectSame(entries[1].when, Weekly(5, 12, 30));
    ExpectSame(entries[2].when, Monthly(1, 8, 0));
    EXPECT_EQ(entries[0].words, (std::vector<std::string>{"/usr/bin/fernwick", "/r",
                                                          "/pTemp Files ", "/dC", "/x1022", "/m"}));
    EXPECT_EQ(entries[1].words[5], "/m/z.zip");
    EXPECT_EQ(entries[2].line, WriterLine(Monthly(1, 8, 0), "A B ", 1024, "/m"));
}

TEST(ScheduledEntries, RemovingTheMiddleEntryKeepsEveryOtherByte) {
    const std::string head = "SHELL=/bin/sh\r\n# mine\n\n";
    const std::string first = AppendCronEntry("", kEvent, WriterLine(Daily(1, 2), "A ", 1022, ""));
    const std::string middle = AppendCronEntry("", kEvent, WriterLine(Daily(3, 4), "B ", 1025, ""));
    const std::string between = "  # indented comment\t\n";
    const std::string last = AppendCronEntry("", kEvent, WriterLine(Daily(5, 6), "C ", 1026, ""));
    // The user's own last line has no newline: it must stay so.
    const std::string tail = "0 0 * * * echo last";
    const std::string table = head + first + middle + between + last + tail;

    const std::vector<ScheduledEntry> entries = ReadScheduledEntries(table, kEvent);
    ASSERT_EQ(entries.size(), 3u);
    const auto removed = RemoveScheduledEntry(table, entries[1], kEvent);
    ASSERT_TRUE(removed);
    EXPECT_EQ(*removed, head + first + between + last + tail);
    const std::vector<ScheduledEntry> left = ReadScheduledEntries(*removed, kEvent);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].line, entries[0].line);
    EXPECT_EQ(left[1].line, entries[2].line);

    // The first and the last entry go as cleanly.
    EXPECT_EQ(*RemoveScheduledEntry(table, entries[0], kEvent),
              head + middle + between + last + tail);
    EXPECT_EQ(*RemoveScheduledEntry(table, entries[2], kEvent),
              head + first + middle + between + tail);
}

TEST(ScheduledEntries, AnEntryAtTheVeryEndWithoutNewlineGoesWithItsComment) {
    const std::string line = WriterLine(Daily(1, 2), "A ", 1022, "");
    const std::string table = "# mine\n# Fernwick scan\n" + line;
    const auto entries = ReadScheduledEntries(table, kEvent);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(*RemoveScheduledEntry(table, entries[0], kEvent), "# mine\n");
    // The only entry of a table: an empty table is left.
    const std::string alone = "# Fernwick scan\n" + line + "\n";
    EXPECT_EQ(*RemoveScheduledEntry(alone, ReadScheduledEntries(alone, kEvent).at(0), kEvent), "");
}

TEST(ScheduledEntries, ATableChangedSinceItWasReadIsNotEdited) {
    const std::string line = WriterLine(Daily(1, 2), "A ", 1022, "");
    const std::string table = "# Fernwick scan\n" + line + "\n";
    const ScheduledEntry entry = ReadScheduledEntries(table, kEvent).at(0);
    // A line put in front moves the entry; another command stands where it was.
    EXPECT_FALSE(RemoveScheduledEntry("# new\n" + table, entry, kEvent));
    EXPECT_FALSE(RemoveScheduledEntry("# Fernwick scan\n0 0 * * * other\n", entry, kEvent));
    EXPECT_FALSE(RemoveScheduledEntry("", entry, kEvent));
    EXPECT_FALSE(RemoveScheduledEntry("# Fernwick scan\n", entry, kEvent));
}

TEST(ScheduledEntries, HandEditedEntriesAreListedAsTheyStand) {
    const std::vector<std::string> unreadable = {
        "*/5 * * * * '/usr/bin/fernwick' '/r'",         // a step
        "@daily '/usr/bin/fernwick' '/r'",              // a nickname
        "0 3 * * mon '/usr/bin/fernwick'",              // a weekday name
        "0 3 1 * 1 '/usr/bin/fernwick'",                // day and weekday both
        "0 3 * 2 * '/usr/bin/fernwick'",                // a month
        "60 3 * * * '/usr/bin/fernwick'",               // no such minute
        "0 24 * * * '/usr/bin/fernwick'",               // no such hour
        "0 3 32 * * '/usr/bin/fernwick'",               // no such day
        "0 3 * * 8 '/usr/bin/fernwick'",                // no such weekday
        "0 3 * * * $HOME/bin/fernwick /r",              // an expansion
        "0 3 * * * fernwick /r > /dev/null",            // a redirection
        "0 3 * * * fernwick /r; rm x",                  // a second command
        "0 3 * * * fernwick '/r",                       // a quote left open
        "0 3 * * * fernwick \"/p$USER\"",               // an expansion in double quotes
        "0 3 * * * fernwick /r 50%",                    // a bare % cuts the command
        "0 3 * * * ~/fernwick /r",                      // a home folder
        "0 3 * * * FERNWICK_HOME=/x",                   // no program
        "0 3 * *",                                      // too few fields
    };
    for (const std::string& line : unreadable) {
        const std::string table = "# Fernwick scan\n" + line + "\n";
        const auto entries = ReadScheduledEntries(table, kEvent);
        ASSERT_EQ(entries.size(), 1u) << line;
        EXPECT_FALSE(entries[0].readable) << line;
        EXPECT_EQ(entries[0].line, line);
        EXPECT_EQ(*RemoveScheduledEntry(table, entries[0], kEvent), "");
    }
}

TEST(ScheduledEntries, PlainHandWrittenCommandsAreRead) {
    const auto one = [](const std::string& line) {
        const auto entries = ReadScheduledEntries("# Fernwick scan\n" + line + "\n", kEvent);
        EXPECT_EQ(entries.size(), 1u) << line;
        return entries.empty() ? ScheduledEntry{} : entries[0];
    };
    ScheduledEntry e = one("  05\t07  *  * 7   X=1 fernwick /r \"/pA \\\"q\\\" \" /x1022 a\\ b");
    ASSERT_TRUE(e.readable);
    ExpectSame(e.when, Weekly(0, 7, 5)); // 7 is Sunday too
    EXPECT_EQ(e.env, (CronEnvironment{{"X", "1"}}));
    EXPECT_EQ(e.words, (std::vector<std::string>{"fernwick", "/r", "/pA \"q\" ", "/x1022", "a b"}));
    // '=' after the program, or after a quoted name, makes no assignment.
    e = one("0 0 * * * 'X'=1 fernwick a=b");
    ASSERT_TRUE(e.readable);
    EXPECT_TRUE(e.env.empty());
    EXPECT_EQ(e.words, (std::vector<std::string>{"X=1", "fernwick", "a=b"}));
    // A line ending in CR (a table edited elsewhere) reads as without it.
    e = one("0 0 1 * * fernwick /r\r");
    ASSERT_TRUE(e.readable);
    EXPECT_EQ(e.words, (std::vector<std::string>{"fernwick", "/r"}));
}

TEST(ScheduledEntries, OnlyACommentWithACommandLineAfterItMarksAnEntry) {
    const std::string line = "0 1 * * * 'fernwick' '/r'";
    const std::string table = "# Fernwick scan\n\n"           // an empty line
                              "# Fernwick scan\n# Fernwick scan\n" + line + "\n" // a comment, then one
                              "#  Fernwick scan\n" + line + "\n"  // not our marker
                              "# Fernwick scan\n#" + line + "\n"  // commented out
                              "# Fernwick scan";               // the end of the table
    const auto entries = ReadScheduledEntries(table, kEvent);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].commentLine, 3u);
    EXPECT_EQ(entries[0].line, line);
    EXPECT_TRUE(ReadScheduledEntries("", kEvent).empty());
    EXPECT_TRUE(ReadScheduledEntries("0 1 * * * fernwick /r\n", kEvent).empty());
}

TEST(ScheduledEntries, PercentSignsBackslashesAndQuotesRoundTripWithTheWriter) {
    const std::vector<std::string> values = {
        "Temp Files 100% ", "a\\\\b\\%c\\ ", "it's \"quoted\" $HOME `id` ",
        "back\\", "%%\\\\%", "tab\there "};
    for (const std::string& value : values) {
        const CronEnvironment env = {{"FERNWICK_HOME", "/h 50%\\"}, {"XDG_DATA_HOME", "/d'x"}};
        const std::string line = WriterLine(Daily(0, 0), value, 1023, "/dest\\ 100%\\", env);
        const auto entries = ReadScheduledEntries("# Fernwick scan\n" + line + "\n", kEvent);
        ASSERT_EQ(entries.size(), 1u);
        ASSERT_TRUE(entries[0].readable) << line;
        EXPECT_EQ(entries[0].env, env);
        // The words the shell gets from cron's command: the very arguments the wizard chose.
        const std::vector<std::string> expected = {
            "/usr/bin/fernwick", "/r", "/p" + value, "/dC", "/x1023", "/m/dest\\ 100%\\"};
        EXPECT_EQ(entries[0].words, expected) << line;
        // And cron itself would hand /bin/sh the same command the reader unescaped.
        EXPECT_EQ(*UnescapeForCron(CronCommandField(line)), CronUnescape(CronCommandField(line)));
    }
}

TEST(ScheduledEntries, TimeFieldsOfEachKind) {
    using F = std::vector<std::string_view>;
    ExpectSame(*ReadCronTimeFields(F{"0", "0", "*", "*", "*"}), Daily(0, 0));
    ExpectSame(*ReadCronTimeFields(F{"59", "23", "*", "*", "6"}), Weekly(6, 23, 59));
    ExpectSame(*ReadCronTimeFields(F{"07", "08", "31", "*", "*"}), Monthly(31, 8, 7));
    EXPECT_FALSE(ReadCronTimeFields(F{"0", "0", "0", "*", "*"}));
    EXPECT_FALSE(ReadCronTimeFields(F{"-1", "0", "*", "*", "*"}));
    EXPECT_FALSE(ReadCronTimeFields(F{"+1", "0", "*", "*", "*"}));
    EXPECT_FALSE(ReadCronTimeFields(F{"000", "0", "*", "*", "*"}));
    EXPECT_FALSE(ReadCronTimeFields(F{"0", "0", "*", "*"}));
    EXPECT_FALSE(ReadCronTimeFields(F{"1,2", "0", "*", "*", "*"}));
}
