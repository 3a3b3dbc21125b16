// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The scheduled cleanings in words, "fernwick --schedules" and "fernwick --unschedule N": in
// process against a crontab held in memory, and the real program with a stand-in crontab.
#include "support/ScheduledEntryLines.h"
#include "schedule/ScheduledRun.h"
#include "schedule/ScheduledCleanings.h"
#include "schedule/CronLine.h"
#include "schedule/CronSupport.h"
#include "support/FakeCrontab.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {

// What a FILE* stream received.
class Captured {
public:
    Captured() { m_stream = ::open_memstream(&m_buffer, &m_size); }
    ~Captured() {
        if (m_stream)
            std::fclose(m_stream);
        std::free(m_buffer);
    }
    Captured(const Captured&) = delete;
    Captured& operator=(const Captured&) = delete;
    std::FILE* get() { return m_stream; }
    std::string text() {
        std::fflush(m_stream);
        return std::string(m_buffer, m_size);
    }

private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_stream = nullptr;
};

const std::vector<std::string> kKnown = {"Temp Files", "Temp", "Backups", "Old Logs 100%"};

// The user's lines, three of ours and one of ours edited by hand.
std::string FourEntries() {
    std::string t = kUserLines;
    t = AppendCronEntry(t, kScheduleEventName,
                        Entry(When(CronWhen::Daily, 0, 7, 14), "Temp Files Backups ", 1022, ""));
    t = AppendCronEntry(t, kScheduleEventName,
                        Entry(When(CronWhen::Weekly, 5, 12, 30), "Old Logs 100% ", 1023,
                              "/arch/x 100%.zip"));
    t += "# keep me\n";
    t = AppendCronEntry(t, kScheduleEventName,
                        Entry(When(CronWhen::Monthly, 1, 8, 0), "Temp ", 1025, ""));
    t = AppendCronEntry(t, kScheduleEventName, "*/10 * * * * fernwick /r");
    return t;
}

} // namespace

TEST(ScheduledCleanings, WhenInWords) {
    EXPECT_EQ(DescribeWhen(When(CronWhen::Daily, 0, 7, 14)), "Every day at 07:14");
    EXPECT_EQ(DescribeWhen(When(CronWhen::Daily, 0, 0, 0)), "Every day at 00:00");
    EXPECT_EQ(DescribeWhen(When(CronWhen::Weekly, 5, 12, 30)), "Every Friday at 12:30");
    EXPECT_EQ(DescribeWhen(When(CronWhen::Weekly, 0, 23, 5)), "Every Sunday at 23:05");
    EXPECT_EQ(DescribeWhen(When(CronWhen::Weekly, 6, 9, 9)), "Every Saturday at 09:09");
    EXPECT_EQ(DescribeWhen(When(CronWhen::Monthly, 1, 8, 0)), "Every month on day 1 at 08:00");
    EXPECT_EQ(DescribeWhen(When(CronWhen::Monthly, 31, 23, 59)), "Every month on day 31 at 23:59");
}

TEST(ScheduledCleanings, MethodNames) {
    EXPECT_EQ(MethodName("1022"), "Delete");
    EXPECT_EQ(MethodName("1023"), "Zip");
    EXPECT_EQ(MethodName("1024"), "Move");
    EXPECT_EQ(MethodName("1025"), "Move to Trash");
    EXPECT_EQ(MethodName("1026"), "Permanently Delete");
    EXPECT_EQ(MethodName("999"), "Method 999");
    EXPECT_EQ(MethodName("zip"), "Method zip");
    EXPECT_EQ(MethodName(""), "No method");
}

TEST(ScheduledCleanings, ProfileNamesWithBlanksAreToldApartByTheSettings) {
    EXPECT_EQ(SplitProfileNames("Temp Files Backups ", kKnown),
              (std::vector<std::string>{"Temp Files", "Backups"}));
    // The longest whole name: "Temp" alone, then an unknown word.
    EXPECT_EQ(SplitProfileNames("Temp Filesx Backups", kKnown),
              (std::vector<std::string>{"Temp", "Filesx", "Backups"}));
    EXPECT_EQ(SplitProfileNames("Old Logs 100% ", kKnown),
              (std::vector<std::string>{"Old Logs 100%"}));
    EXPECT_EQ(SplitProfileNames("Gone Away ", {}), (std::vector<std::string>{"Gone", "Away"}));
    EXPECT_TRUE(SplitProfileNames("", kKnown).empty());
    EXPECT_TRUE(SplitProfileNames("  ", kKnown).empty());
}

TEST(ScheduledCleanings, ListingNumbersEveryEntryFromOne) {
    CFakeCrontab crontab;
    crontab.table = FourEntries();
    Captured out, err;
    EXPECT_EQ(ListSchedules(crontab, kKnown, out.get(), err.get()), 0);
    EXPECT_EQ(out.text(), "1  Every day at 07:14  Temp Files, Backups  Delete\n"
                          "2  Every Friday at 12:30  Old Logs 100%  Zip  /arch/x 100%.zip\n"
                          "3  Every month on day 1 at 08:00  Temp  Move to Trash\n"
                          "4  As written: */10 * * * * fernwick /r\n");
    EXPECT_EQ(err.text(), "");
    EXPECT_EQ(crontab.writes, 0);
}

TEST(ScheduledCleanings, ListingNothingSaysSo) {
    CFakeCrontab crontab;
    crontab.exists = false;
    Captured out, err;
    EXPECT_EQ(ListSchedules(crontab, kKnown, out.get(), err.get()), 0);
    EXPECT_EQ(out.text(), "No cleanings are scheduled.\n");
    crontab.exists = true;
    crontab.table = kUserLines;
    Captured out2;
    EXPECT_EQ(ListSchedules(crontab, kKnown, out2.get(), err.get()), 0);
    EXPECT_EQ(out2.text(), "No cleanings are scheduled.\n");
    EXPECT_EQ(err.text(), "");
}

TEST(ScheduledCleanings, AControlCharacterInANameCannotForgeALine) {
    CFakeCrontab crontab;
    crontab.table = AppendCronEntry("", kScheduleEventName,
                                    Entry(When(CronWhen::Daily, 0, 1, 2), "A\tB ", 1024, "/x\ty"));
    Captured out, err;
    EXPECT_EQ(ListSchedules(crontab, {}, out.get(), err.get()), 0);
    EXPECT_EQ(out.text(), "1  Every day at 01:02  A\\x09B  Move  /x\\x09y\n");
}

TEST(ScheduledCleanings, AnUnreadableTableIsAFailure) {
    CFakeCrontab crontab;
    crontab.readError = "crontab: permission denied";
    Captured out, err;
    EXPECT_EQ(ListSchedules(crontab, kKnown, out.get(), err.get()), 1);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(err.text(), "fernwick: the crontab cannot be read: crontab: permission denied\n");
    EXPECT_EQ(Unschedule(crontab, "1", kKnown, out.get(), err.get()), 1);
    EXPECT_EQ(crontab.writes, 0);
}

TEST(ScheduledCleanings, UnscheduleTakesOutOneEntryAndItsComment) {
    CFakeCrontab crontab;
    const std::string table = FourEntries();
    crontab.table = table;
    const std::vector<ScheduledEntry> entries = ReadScheduledEntries(table, kScheduleEventName);
    ASSERT_EQ(entries.size(), 4u);
    Captured out, err;
    EXPECT_EQ(Unschedule(crontab, "2", kKnown, out.get(), err.get()), 0);
    EXPECT_EQ(err.text(), "");
    EXPECT_EQ(out.text(),
              "Removed 2  Every Friday at 12:30  Old Logs 100%  Zip  /arch/x 100%.zip\n");
    EXPECT_EQ(crontab.writes, 1);
    EXPECT_EQ(crontab.table, *RemoveScheduledEntry(table, entries[1], kScheduleEventName));
    const std::string removed = "# Fernwick scan\n" + entries[1].line + "\n";
    EXPECT_EQ(crontab.table, table.substr(0, table.find(removed)) +
                                 table.substr(table.find(removed) + removed.size()));

    // The hand-edited one goes as well.
    Captured out2;
    EXPECT_EQ(Unschedule(crontab, "3", kKnown, out2.get(), err.get()), 0);
    EXPECT_EQ(out2.text(), "Removed 3  As written: */10 * * * * fernwick /r\n");
    EXPECT_EQ(ReadScheduledEntries(crontab.table, kScheduleEventName).size(), 2u);
    EXPECT_EQ(crontab.table.rfind(kUserLines, 0), 0u);
}

TEST(ScheduledCleanings, UnscheduleRefusesANumberThatNamesNoEntry) {
    CFakeCrontab crontab;
    crontab.table = FourEntries();
    for (const char* bad : {"0", "5", "-1", "x", "", "1x", " 1", "99999999999999999999999"}) {
        Captured out, err;
        EXPECT_EQ(Unschedule(crontab, bad, kKnown, out.get(), err.get()), 2) << bad;
        EXPECT_EQ(out.text(), "");
        EXPECT_NE(err.text().find("1 to 4"), std::string::npos) << err.text();
    }
    EXPECT_EQ(crontab.writes, 0);
    EXPECT_EQ(crontab.table, FourEntries());

    crontab.table = kUserLines;
    Captured out, err;
    EXPECT_EQ(Unschedule(crontab, "1", kKnown, out.get(), err.get()), 2);
    EXPECT_EQ(err.text(), "fernwick: no cleanings are scheduled, so there is none to remove\n");
    EXPECT_EQ(crontab.writes, 0);
}

TEST(ScheduledCleanings, AWriteThatFailsIsReported) {
    CFakeCrontab crontab;
    crontab.table = FourEntries();
    crontab.writeError = "crontab: your crontab is locked";
    Captured out, err;
    EXPECT_EQ(Unschedule(crontab, "1", kKnown, out.get(), err.get()), 1);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(err.text(), "fernwick: the crontab cannot be written: crontab: your crontab is locked\n");
    EXPECT_EQ(crontab.table, FourEntries());
}
