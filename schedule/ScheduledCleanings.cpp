// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/ScheduledCleanings.h"

#include "schedule/CatchUpAutostart.h"
#include "schedule/ScheduledRun.h"
#include "dispose/DisposalMethod.h"
#include "dispose/UnattendedDisposal.h"
#include "platform/TextEscape.h"
#include "profiles/CProfileList.h"

#include <charconv>

namespace {

const char* const kWeekdayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

std::string TwoDigits(int value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

void Print(std::FILE* stream, const std::string& line) {
    std::fputs(line.c_str(), stream);
    std::fputc('\n', stream);
}

// The entries of the user's table, or why it cannot be read (said on err).
bool ReadEntries(CCrontab& crontab, std::FILE* err, std::string& table,
                 std::vector<ScheduledEntry>& entries) {
    if (const FsError e = crontab.Read(table)) {
        Print(err, "fernwick: the crontab cannot be read: " + EscapeControlChars(e.Text()));
        return false;
    }
    entries = ReadScheduledEntries(table, kScheduleEventName);
    return true;
}

} // namespace

std::string DescribeWhen(const CronWhen& when) {
    const std::string at = " at " + TwoDigits(when.hour) + ":" + TwoDigits(when.minute);
    switch (when.kind) {
    case CronWhen::Weekly:
        if (when.weekday >= 0 && when.weekday <= 6)
            return std::string("Every ") + kWeekdayNames[when.weekday] + at;
        break;
    case CronWhen::Monthly:
        return "Every month on day " + std::to_string(when.dayOfMonth) + at;
    case CronWhen::Daily:
        break;
    }
    return "Every day" + at;
}

std::string MethodName(const std::string& code) {
    if (code.empty())
        return "No method";
    switch (ParseMethodCode(code)) {
    case METHOD_DELETE:
        return "Delete";
    case METHOD_ZIP:
        return "Zip";
    case METHOD_MOVE:
        return "Move";
    case METHOD_RECYCLE:
        return "Move to Trash";
    case METHOD_PERMANENT_DELETE:
        return "Permanently Delete";
    default:
        return "Method " + code;
    }
}

std::vector<std::string> SplitProfileNames(std::string_view list,
                                           const std::vector<std::string>& knownNames) {
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (pos < list.size()) {
        const std::string_view rest = list.substr(pos);
        std::size_t length = 0;
        for (const std::string& name : knownNames)
            if (name.size() > length && rest.starts_with(name) &&
                (rest.size() == name.size() || rest[name.size()] == ' '))
                length = name.size();
        if (length == 0) {
            const std::size_t blank = rest.find(' ');
            length = blank == std::string_view::npos ? rest.size() : blank;
        }
        if (length > 0)
            names.emplace_back(rest.substr(0, length));
        pos += length + 1;
    }
    return names;
}

ScheduleDescription DescribeScheduledEntry(const ScheduledEntry& entry,
                                           const std::vector<std::string>& knownNames) {
    ScheduleDescription d;
    if (!entry.readable) {
        d.when = entry.line;
        return d;
    }
    d.readable = true;
    d.when = DescribeWhen(entry.when);
    // The switches as the scheduled run itself will read them.
    const ScheduledSwitches switches = ReadScheduledSwitches(entry.words);
    d.profiles = SplitProfileNames(switches.profiles, knownNames);
    d.method = MethodName(switches.method);
    d.destination = switches.destination;
    return d;
}

std::string JoinProfileNames(const std::vector<std::string>& names) {
    if (names.empty())
        return "(none)";
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::string ScheduleListLine(std::size_t number, const ScheduleDescription& d) {
    std::string line = std::to_string(number) + "  ";
    if (!d.readable)
        return line + "As written: " + EscapeControlChars(d.when);
    line += d.when + "  " + EscapeControlChars(JoinProfileNames(d.profiles)) + "  " +
            EscapeControlChars(d.method);
    if (!d.destination.empty())
        line += "  " + EscapeControlChars(d.destination);
    return line;
}

int ListSchedules(CCrontab& crontab, const std::vector<std::string>& knownNames,
                  std::FILE* out, std::FILE* err) {
    std::string table;
    std::vector<ScheduledEntry> entries;
    if (!ReadEntries(crontab, err, table, entries))
        return 1;
    if (entries.empty())
        Print(out, "No cleanings are scheduled.");
    for (std::size_t i = 0; i < entries.size(); ++i)
        Print(out, ScheduleListLine(i + 1, DescribeScheduledEntry(entries[i], knownNames)));
    return 0;
}

int Unschedule(CCrontab& crontab, std::string_view number,
               const std::vector<std::string>& knownNames, std::FILE* out, std::FILE* err) {
    std::string table;
    std::vector<ScheduledEntry> entries;
    if (!ReadEntries(crontab, err, table, entries))
        return 1;
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
    const bool isNumber = !number.empty() && ec == std::errc() && end == number.data() + number.size();
    if (entries.empty()) {
        Print(err, "fernwick: no cleanings are scheduled, so there is none to remove");
        return 2;
    }
    if (!isNumber || n < 1 || n > entries.size()) {
        Print(err, "fernwick: --unschedule needs the number of a scheduled cleaning, 1 to " +
                       std::to_string(entries.size()) + ", as --schedules lists them; not \"" +
                       EscapeControlChars(number) + "\"");
        return 2;
    }
    const ScheduledEntry& entry = entries[n - 1];
    const auto removed = RemoveScheduledEntry(table, entry, kScheduleEventName);
    if (!removed) {
        Print(err, "fernwick: the crontab changed while it was read; nothing was removed");
        return 1;
    }
    if (const FsError e = crontab.Write(*removed)) {
        Print(err, "fernwick: the crontab cannot be written: " + EscapeControlChars(e.Text()));
        return 1;
    }
    Print(out, "Removed " + ScheduleListLine(n, DescribeScheduledEntry(entry, knownNames)));
    if (const FsError e = RemoveCatchUpIfNoneLeft(*removed)) {
        Print(err, "fernwick: the catch-up at login cannot be removed: " +
                       EscapeControlChars(e.Text()));
        return 1;
    }
    return 0;
}

std::vector<std::string> StoredProfileNames() {
    // The update file is merged in memory only: listing writes nothing.
    CProfileList store;
    store.LoadAndMerge(false);
    std::vector<std::string> names;
    for (const CProfile& profile : store)
        names.push_back(profile.m_strName);
    return names;
}
