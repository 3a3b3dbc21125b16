// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Building the crontab entry of a scheduled cleaning, and editing the user's table.
#include "schedule/ScheduledRun.h"
#include "support/BuiltCronEntry.h"
#include "CronSupport.h"
#include "app/CommandLine.h"
#include "schedule/CronLine.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;

TEST(CronLine, ShellQuotingAndPercentEscaping) {
    EXPECT_EQ(QuoteForShell(""), "''");
    EXPECT_EQ(QuoteForShell("plain"), "'plain'");
    EXPECT_EQ(QuoteForShell("it's"), "'it'\\''s'");
    EXPECT_EQ(QuoteForShell("$HOME `id` \\ \""), "'$HOME `id` \\ \"'");
    EXPECT_EQ(EscapeForCron("'50% of 100%%'"), "'50\\% of 100\\%\\%'");
    EXPECT_EQ(EscapeForCron("'no percent \\ here'"), "'no percent \\ here'");
    // Cron would read "\\" as one backslash and "\\%" as a backslash and a bare '%' (the end of
    // the command): an empty quote pair keeps such a backslash apart.
    EXPECT_EQ(EscapeForCron("'a\\\\b'"), "'a\\''\\b'");
    EXPECT_EQ(EscapeForCron("'a\\%b'"), "'a\\''\\%b'");
}

TEST(CronLine, TimeFieldsForDailyWeeklyAndMonthly) {
    CronWhen when;
    when.hour = 2;
    when.minute = 30;
    EXPECT_EQ(CronTimeFields(when), "30 2 * * *");
    when.kind = CronWhen::Weekly;
    when.weekday = 0;
    EXPECT_EQ(CronTimeFields(when), "30 2 * * 0");
    when.weekday = 6;
    EXPECT_EQ(CronTimeFields(when), "30 2 * * 6");
    when.kind = CronWhen::Monthly;
    when.dayOfMonth = 31;
    when.hour = 23;
    when.minute = 59;
    EXPECT_EQ(CronTimeFields(when), "59 23 31 * *");
}

TEST(CronLine, OnlyTimesCronCanHoldAreValid) {
    const auto valid = [](CronWhen::Kind kind, int weekday, int day, int hour, int minute) {
        CronWhen w;
        w.kind = kind;
        w.weekday = weekday;
        w.dayOfMonth = day;
        w.hour = hour;
        w.minute = minute;
        return IsValidCronWhen(w);
    };
    EXPECT_TRUE(valid(CronWhen::Daily, 99, 99, 0, 0)); // daily ignores weekday and day
    EXPECT_TRUE(valid(CronWhen::Daily, 1, 1, 23, 59));
    EXPECT_FALSE(valid(CronWhen::Daily, 1, 1, 24, 0));
    EXPECT_FALSE(valid(CronWhen::Daily, 1, 1, -1, 0));
    EXPECT_FALSE(valid(CronWhen::Daily, 1, 1, 0, 60));
    EXPECT_TRUE(valid(CronWhen::Weekly, 0, 0, 0, 0));
    EXPECT_FALSE(valid(CronWhen::Weekly, 7, 1, 0, 0));
    EXPECT_FALSE(valid(CronWhen::Weekly, -1, 1, 0, 0));
    EXPECT_TRUE(valid(CronWhen::Monthly, 9, 1, 0, 0));
    EXPECT_FALSE(valid(CronWhen::Monthly, 1, 0, 0, 0));
    EXPECT_FALSE(valid(CronWhen::Monthly, 1, 32, 0, 0));

    CronWhen late;
    late.hour = 24;
    const BuiltCronEntry entry = BuildEntry(late, "/usr/bin/fernwick", "/r", {});
    EXPECT_TRUE(entry.line.empty());
    EXPECT_FALSE(entry.error.empty());
}

TEST(CronLine, EntryForTheExampleQuotesEveryArgument) {
    CronWhen when;
    when.kind = CronWhen::Weekly;
    when.weekday = 1;
    when.hour = 4;
    when.minute = 5;
    const BuiltCronEntry entry = BuildEntry(
        when, "/opt/fern wick/fernwick", "/r /p\"Temp Files \" /dC /x1025 /m\"\"",
        {{"FERNWICK_HOME", "/home/u/fw"}, {"XDG_DATA_HOME", "/home/u/100% data"}});
    EXPECT_EQ(entry.error, "");
    EXPECT_EQ(entry.line, "5 4 * * 1 FERNWICK_HOME='/home/u/fw' XDG_DATA_HOME='/home/u/100\\% "
                          "data' '/opt/fern wick/fernwick' '/r' '/pTemp Files ' '/dC' '/x1025' "
                          "'/m'");
}

TEST(CronLine, LineBreaksAreRefusedRatherThanSplittingTheEntry) {
    const CronWhen when;
    const std::string nul("a\0b", 3);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/usr/bin/fernwick\n* * * * * rm -rf ~", "/r"},
        {"/usr/bin/fernwick", "/r /p\"Evil\n* * * * * id \""},
        {"/usr/bin/fernwick", "/r /m\"x\ry\""},
        {"/usr/bin/fernwick", "/r /m\"" + nul + "\""},
    };
    for (const auto& [program, params] : cases) {
        const BuiltCronEntry entry = BuildEntry(when, program, params, {});
        EXPECT_TRUE(entry.line.empty()) << params;
        EXPECT_NE(entry.error, "") << params;
    }
    const BuiltCronEntry env = BuildEntry(when, "/p", "/r", {{"FERNWICK_HOME", "/a\nb"}});
    EXPECT_TRUE(env.line.empty());
}

TEST(CronLine, CommandsLongerThanCronRunsAreRefused) {
    // "'/p' '/r' '/m" and the closing quote are 14 characters; the destination fills the rest.
    const auto entry = [](std::size_t destination) {
        return BuildEntry(CronWhen{}, "/p", "/r /m\"" + std::string(destination, 'x') + "\"", {});
    };
    const BuiltCronEntry longest = entry(kMaxCronCommand - 14);
    EXPECT_EQ(longest.error, "");
    EXPECT_EQ(CronCommandField(longest.line).size(), kMaxCronCommand);
    const BuiltCronEntry over = entry(kMaxCronCommand - 13);
    EXPECT_TRUE(over.line.empty());
    EXPECT_NE(over.error.find("1000 characters"), std::string::npos) << over.error;
    // Escaped percent signs count as cron reads them, backslash included.
    const BuiltCronEntry percent = BuildEntry(
        CronWhen{}, "/p", "/r /m\"" + std::string(kMaxCronCommand - 15, 'x') + "%\"", {});
    EXPECT_NE(percent.error, "");
}

TEST(CronLine, AppendingKeepsTheTableByteForByte) {
    const std::string line = "0 3 * * * '/usr/bin/fernwick' '/r'";
    // Empty or missing table.
    EXPECT_EQ(AppendCronEntry("", "Fernwick scan", line), "# Fernwick scan\n" + line + "\n");
    // Comments, blank lines, odd spacing and a last line without its newline are all kept.
    const std::string table = "# m h dom mon dow command\n\nMAILTO=me\n*/5 *  * * *\tbackup  %x\n"
                              "   # indented comment\n@reboot run";
    const std::string once = AppendCronEntry(table, "Fernwick scan", line);
    EXPECT_EQ(once, table + "\n# Fernwick scan\n" + line + "\n");
    // A table that ends in its newline gets none added; registering twice gives two entries.
    const std::string twice = AppendCronEntry(once, "Fernwick scan", line);
    EXPECT_EQ(twice, once + "# Fernwick scan\n" + line + "\n");
    EXPECT_EQ(twice.substr(0, table.size()), table);
}

TEST(CronLine, EnvironmentOfTheScheduledRunIsTakenFromOurs) {
    const char* names[] = {"FERNWICK_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
    std::vector<std::pair<const char*, std::string>> saved;
    for (const char* n : names)
        if (const char* v = std::getenv(n))
            saved.emplace_back(n, v);

    ::setenv("XDG_DATA_HOME", "/d a t a", 1);
    ::setenv("FERNWICK_HOME", "/f'w", 1);
    ::setenv("XDG_CONFIG_HOME", "", 1); // empty is the same as unset
    EXPECT_EQ(ScheduledRunEnvironment(),
              (CronEnvironment{{"FERNWICK_HOME", "/f'w"}, {"XDG_DATA_HOME", "/d a t a"}}));
    for (const char* n : names)
        ::unsetenv(n);
    EXPECT_TRUE(ScheduledRunEnvironment().empty());

    // Relative: FERNWICK_HOME is the folder under ours, relative XDG folders count for nothing.
    ::setenv("FERNWICK_HOME", "fw data", 1);
    ::setenv("XDG_CONFIG_HOME", "cfg", 1);
    EXPECT_EQ(ScheduledRunEnvironment(),
              (CronEnvironment{{"FERNWICK_HOME", (fs::current_path() / "fw data").string()}}));
    for (const char* n : names)
        ::unsetenv(n);

    for (const auto& [n, v] : saved)
        ::setenv(n, v.c_str(), 1);
}

// The command cron stores, run by /bin/sh in a bare environment after cron's own unescaping,
// gives the program exactly the values that were chosen.
TEST(CronLine, StoredCommandGivesTheProgramExactlyItsArguments) {
    TempDir tmp;
    const fs::path program = tmp.path() / "odd $dir `x` 50% it's" / "fern\\wick \"prog\"";
    fs::create_directories(program.parent_path());
    WriteArgvPrinter(program);
    const fs::path out = tmp.path() / "argv";

    const std::string awkward[] = {
        "Temp Files ",
        "Say \"cheese\" ",
        "C:\\Temp\\",
        "trailing\\\\",
        "a\\\"b",
        "$HOME $(id) `id` ${PATH}",
        "100% %d %% \\% ",
        "a\\%b \\\\%% x\\\\\\ \\\\\\%",
        "it's 'quoted' ",
        "  two  blanks\ttab ",
        "*.tmp ? [a-z] ~ ; | & > < #",
        "\"",
        "",
    };
    const CronEnvironment env = {{"FERNWICK_HOME", tmp.dir() + "fw 100% $x `y` 'z'"},
                                 {"XDG_CONFIG_HOME", tmp.dir() + "c\\fg\""},
                                 {"XDG_DATA_HOME", tmp.dir() + "da%ta"}};
    for (const std::string& value : awkward) {
        SCOPED_TRACE(value);
        // The parameter string exactly as the Schedule command builds it.
        const std::string built = BuildScheduledParameters(value, "CD", 1024, value);
        const std::vector<std::string> expected = SplitWindowsArguments(built);
        ASSERT_EQ(expected.size(), 5u);
        ASSERT_EQ(expected[1], "/p" + value);
        ASSERT_EQ(expected[4], "/m" + value);

        const BuiltCronEntry entry = BuildEntry(CronWhen{}, program.string(), built, env);
        ASSERT_EQ(entry.error, "");
        const std::string command = CronUnescape(CronCommandField(entry.line));
        fs::remove(out);
        ASSERT_EQ(RunWithBareShell(command, {"PATH=/usr/bin:/bin", "ARGV_OUT=" + out.string()}), 0)
            << command;
        std::vector<std::string> got = SplitNul(ReadTextFile(out));
        ASSERT_EQ(got.size(), expected.size() + 3);
        EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 5), expected);
        EXPECT_EQ(got[5], "FERNWICK_HOME=" + env[0].second);
        EXPECT_EQ(got[6], "XDG_CONFIG_HOME=" + env[1].second);
        EXPECT_EQ(got[7], "XDG_DATA_HOME=" + env[2].second);
    }
}
