// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "app/CommandLine.h"
#include "schedule/ScheduledRun.h"

#include <gtest/gtest.h>

namespace {
std::vector<std::string> Args(std::initializer_list<const char*> rest) {
    std::vector<std::string> args{"/usr/bin/fernwick"};
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
}
} // namespace

TEST(CommandLine, SwitchesMapToTheirFlagsAndOnlyExactLowerCaseCounts) {
    struct Case {
        const char* arg;
        int flag;
    } const cases[] = {{"/r", CMDF_RUN},  {"/d", CMDF_DRIVES}, {"/x", CMDF_METHOD},
                       {"/p", CMDF_PROFILES}, {"-r", CMDF_RUN}, {"", 0},
                       {"/R", 0},         {"/rx", 0},          {"/dCD", 0},
                       {"r", 0},          {"--r", 0},          {"/", 0}};
    for (const Case& c : cases) {
        std::string arg = c.arg;
        EXPECT_EQ(LookupSwitch(arg), c.flag) << c.arg;
    }
}

TEST(CommandLine, LeadingDashIsRewrittenForEveryLaterReader) {
    auto args = Args({"-dCD", "-r", "-x1025", "text"});
    EXPECT_EQ(ParseCommandLine(args), CMDF_RUN);
    EXPECT_EQ(args[1], "/dCD");
    EXPECT_EQ(GetSwitchValue(args, "/d"), "CD");
    EXPECT_EQ(GetSwitchValue(args, "/x"), "1025");
    EXPECT_EQ(args[4], "text");
}

TEST(CommandLine, RunSwitchCountsAnywhereAfterTheProgramPath) {
    auto none = Args({});
    EXPECT_EQ(ParseCommandLine(none), 0);
    auto words = Args({"hello", "/R", "/rx"});
    EXPECT_EQ(ParseCommandLine(words), 0);
    auto late = Args({"/pTemp ", "/dC", "/x1022", "/m", "/r"});
    EXPECT_EQ(ParseCommandLine(late) & CMDF_RUN, CMDF_RUN);
    auto mixed = Args({"/d", "/x", "/p"});
    EXPECT_EQ(ParseCommandLine(mixed), CMDF_DRIVES | CMDF_METHOD | CMDF_PROFILES);
    // The program path itself is never a switch.
    std::vector<std::string> self{"/r"};
    EXPECT_EQ(ParseCommandLine(self), 0);
}

TEST(CommandLine, SwitchValueIsTheRestAfterTheSwitchAndTheFirstWins) {
    auto args = Args({"/r", "/pTemp Files ", "/pSecond ", "/m"});
    EXPECT_EQ(GetSwitchValue(args, "/p"), "Temp Files "); // trailing blank kept
    EXPECT_EQ(GetSwitchValue(args, "/m"), "");
    EXPECT_EQ(GetSwitchValue(args, "/d"), "");
    EXPECT_EQ(GetSwitchValue(Args({}), "/p"), "");
    // The program path is not searched.
    EXPECT_EQ(GetSwitchValue({"/pX"}, "/p"), "");
}

TEST(CommandLine, ScheduledSwitchesAreReadOnceAsAValue) {
    const auto args = Args({"-pA B ", "/r", "-dCD", "/x1023", "-m/tmp/a.zip", "/pSecond "});
    const ScheduledSwitches s = ReadScheduledSwitches(args);
    EXPECT_EQ(s.profiles, "A B ");
    EXPECT_EQ(s.drives, "CD");
    EXPECT_EQ(s.method, "1023");
    EXPECT_EQ(s.destination, "/tmp/a.zip");
    EXPECT_EQ(args[1], "-pA B "); // the caller's arguments are left as they were

    const ScheduledSwitches none = ReadScheduledSwitches(Args({"/r"}));
    EXPECT_EQ(none.profiles + none.drives + none.method + none.destination, "");
}

TEST(CommandLine, ScheduledExampleBuildsAndSplitsIntoFiveArguments) {
    const std::string params = BuildScheduledParameters("Temp Files ", "C", 1025, "");
    EXPECT_EQ(params, "/r /p\"Temp Files \" /dC /x1025 /m\"\"");
    const auto args = SplitWindowsArguments(params);
    EXPECT_EQ(args, (std::vector<std::string>{"/r", "/pTemp Files ", "/dC", "/x1025", "/m"}));

    EXPECT_EQ(BuildScheduledParameters("Temp Files Backups ", "CD", 1023, "/home/u/old.zip"),
              "/r /p\"Temp Files Backups \" /dCD /x1023 /m\"/home/u/old.zip\"");
    EXPECT_EQ(SplitWindowsArguments(BuildScheduledParameters("A ", "", 1022, ""))[2], "/d");
}

TEST(CommandLine, AwkwardValuesComeBackExactly) {
    const std::string values[] = {"Say \"cheese\" ", "C:\\Temp\\", "trailing\\\\", "a\\\"b",
                                  "\"", "\\", "two  blanks\ttab", "/media/usb stick/",
                                  "$HOME `id` $(id) ", "100% %d \\% ", "it's ", "\"\" \\\"\\ \"",
                                  ""};
    for (const std::string& v : values) {
        const std::string params = BuildScheduledParameters(v, "CD", 1024, v);
        auto args = SplitWindowsArguments(params);
        ASSERT_EQ(args.size(), 5u) << v;
        EXPECT_EQ(args[1], "/p" + v);
        EXPECT_EQ(args[4], "/m" + v);
        // Read back as the scheduled run reads its command line.
        args.insert(args.begin(), "/usr/bin/fernwick");
        const ScheduledSwitches s = ReadScheduledSwitches(args);
        EXPECT_EQ(ParseCommandLine(args) & CMDF_RUN, CMDF_RUN) << v;
        EXPECT_EQ(s.profiles, v);
        EXPECT_EQ(s.drives, "CD");
        EXPECT_EQ(s.method, "1024");
        EXPECT_EQ(s.destination, v);
    }
}

TEST(CommandLine, WindowsSplittingRules) {
    struct Case {
        const char* in;
        std::vector<std::string> out;
    } const cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"x\"a b\"y", {"xa by"}},
        {"\"\"", {""}},
        {"a\\\\b", {"a\\\\b"}},        // backslashes not before a quote stay
        {"a\\\"b", {"a\"b"}},           // \" is a literal quote
        {"a\\\\\"b c\"", {"a\\b c"}},   // \\" is one backslash and a delimiter
        {"a\\\\\\\"b", {"a\\\"b"}},     // \\\" is one backslash and a literal quote
        {"\"a\"\"b\"", {"a\"b"}},       // a doubled quote inside quotes is a quote
        {"\"unterminated arg", {"unterminated arg"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitWindowsArguments(c.in), c.out) << c.in;
}
