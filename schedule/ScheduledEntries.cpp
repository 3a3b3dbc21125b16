// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/ScheduledEntries.h"

#include <charconv>

namespace {

struct LineSpan {
    std::size_t start = 0; // first byte
    std::size_t end = 0;   // one past the last byte, newline excluded
    std::size_t next = 0;  // start of the following line (past the newline, if any)
};

std::vector<LineSpan> SplitLines(std::string_view table) {
    std::vector<LineSpan> lines;
    std::size_t pos = 0;
    while (pos < table.size()) {
        const std::size_t newline = table.find('\n', pos);
        LineSpan span;
        span.start = pos;
        span.end = newline == std::string_view::npos ? table.size() : newline;
        span.next = newline == std::string_view::npos ? table.size() : newline + 1;
        lines.push_back(span);
        pos = span.next;
    }
    return lines;
}

std::string_view TextOf(std::string_view table, const LineSpan& span) {
    return table.substr(span.start, span.end - span.start);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A table written on another system may end its lines with CR LF.
std::string_view WithoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool IsMarker(std::string_view line, std::string_view eventName) {
    line = WithoutCr(line);
    return line.size() == eventName.size() + 2 && line.starts_with("# ") &&
           line.substr(2) == eventName;
}

// Whether a line can be the command line of a marker: not empty and not a comment.
bool IsCommandLine(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (IsBlank(line[i]) || line[i] == '\r'))
        ++i;
    return i < line.size() && line[i] != '#';
}

std::optional<int> ReadNumber(std::string_view field, int lowest, int highest) {
    if (field.empty() || field.size() > 2)
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size() || value < lowest ||
        value > highest)
        return std::nullopt;
    return value;
}

// The five time fields and the command of an entry line.
struct EntryParts {
    std::vector<std::string_view> fields;
    std::string_view command;
};

std::optional<EntryParts> SplitEntryLine(std::string_view line) {
    line = WithoutCr(line);
    EntryParts parts;
    std::size_t pos = 0;
    for (int field = 0; field < 5; ++field) {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && !IsBlank(line[pos]))
            ++pos;
        if (start == pos)
            return std::nullopt;
        parts.fields.push_back(line.substr(start, pos - start));
    }
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    parts.command = line.substr(pos);
    return parts;
}

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

// Characters that make /bin/sh do more than split words when they stand outside quotes.
bool IsShellSpecial(char c) {
    switch (c) {
    case '$': case '`': case ';': case '&': case '|': case '<': case '>':
    case '(': case ')': case '*': case '?': case '[': case '\n':
        return true;
    default:
        return false;
    }
}

// One word being read: its text, and where an assignment's "=" stands (npos when the word is
// no assignment).
struct ShellWord {
    std::string text;
    bool quoted = false;           // some part of it was quoted or escaped
    std::size_t assignment = std::string::npos;
};

} // namespace

std::optional<CronWhen> ReadCronTimeFields(const std::vector<std::string_view>& fields) {
    if (fields.size() != 5)
        return std::nullopt;
    const auto minute = ReadNumber(fields[0], 0, 59);
    const auto hour = ReadNumber(fields[1], 0, 23);
    if (!minute || !hour || fields[3] != "*")
        return std::nullopt;
    CronWhen when;
    when.minute = *minute;
    when.hour = *hour;
    if (fields[2] == "*" && fields[4] == "*") {
        when.kind = CronWhen::Daily;
        return when;
    }
    if (fields[2] == "*") {
        const auto weekday = ReadNumber(fields[4], 0, 7);
        if (!weekday)
            return std::nullopt;
        when.kind = CronWhen::Weekly;
        when.weekday = *weekday % 7; // cron takes 7 for Sunday as well
        return when;
    }
    if (fields[4] == "*") {
        const auto day = ReadNumber(fields[2], 1, 31);
        if (!day)
            return std::nullopt;
        when.kind = CronWhen::Monthly;
        when.dayOfMonth = *day;
        return when;
    }
    return std::nullopt;
}

std::optional<std::string> UnescapeForCron(std::string_view command) {
    std::string out;
    out.reserve(command.size());
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c == '\\' && i + 1 < command.size() &&
            (command[i + 1] == '%' || command[i + 1] == '\\')) {
            out += command[++i];
        } else if (c == '%') {
            return std::nullopt;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<ShellCommand> SplitShellCommand(std::string_view command) {
    std::vector<ShellWord> words;
    std::optional<ShellWord> word;
    std::size_t i = 0;
    const auto current = [&]() -> ShellWord& {
        if (!word)
            word.emplace();
        return *word;
    };
    while (i < command.size()) {
        const char c = command[i];
        if (IsBlank(c)) {
            if (word)
                words.push_back(std::move(*word));
            word.reset();
            ++i;
            continue;
        }
        if (c == '\'') {
            const std::size_t close = command.find('\'', i + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            current().text.append(command.substr(i + 1, close - i - 1));
            current().quoted = true;
            i = close + 1;
            continue;
        }
        if (c == '"') {
            ShellWord& w = current();
            w.quoted = true;
            ++i;
            while (true) {
                if (i >= command.size())
                    return std::nullopt;
                const char d = command[i];
                if (d == '"')
                    break;
                if (d == '$' || d == '`')
                    return std::nullopt;
                if (d == '\\' && i + 1 < command.size() &&
                    (command[i + 1] == '$' || command[i + 1] == '`' || command[i + 1] == '"' ||
                     command[i + 1] == '\\')) {
                    w.text += command[i + 1];
                    i += 2;
                    continue;
                }
                w.text += d;
                ++i;
            }
            ++i;
            continue;
        }
        if (c == '\\') {
            if (i + 1 >= command.size())
                return std::nullopt;
            current().text += command[i + 1];
            current().quoted = true;
            i += 2;
            continue;
        }
        if (IsShellSpecial(c))
            return std::nullopt;
        // A comment or a home folder at the start of a word.
        if (!word && (c == '#' || c == '~'))
            return std::nullopt;
        ShellWord& w = current();
        if (c == '=' && w.assignment == std::string::npos && !w.quoted && !w.text.empty() &&
            IsNameStart(w.text.front())) {
            bool name = true;
            for (char n : w.text)
                name = name && IsNameChar(n);
            if (name)
                w.assignment = w.text.size();
        }
        w.text += c;
        ++i;
    }
    if (word)
        words.push_back(std::move(*word));

    ShellCommand result;
    std::size_t w = 0;
    for (; w < words.size() && words[w].assignment != std::string::npos; ++w) {
        const std::string& text = words[w].text;
        result.env.emplace_back(text.substr(0, words[w].assignment),
                                text.substr(words[w].assignment + 1));
    }
    for (; w < words.size(); ++w)
        result.words.push_back(std::move(words[w].text));
    if (result.words.empty())
        return std::nullopt;
    return result;
}

std::vector<ScheduledEntry> ReadScheduledEntries(std::string_view table,
                                                 std::string_view eventName) {
    std::vector<ScheduledEntry> entries;
    const std::vector<LineSpan> lines = SplitLines(table);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (!IsMarker(TextOf(table, lines[i]), eventName))
            continue;
        const std::string_view line = TextOf(table, lines[i + 1]);
        if (!IsCommandLine(line))
            continue;
        ScheduledEntry entry;
        entry.commentLine = i;
        entry.line = std::string(line);
        const auto parts = SplitEntryLine(line);
        const auto when = parts ? ReadCronTimeFields(parts->fields) : std::nullopt;
        const auto command = parts ? UnescapeForCron(parts->command) : std::nullopt;
        const auto shell = command ? SplitShellCommand(*command) : std::nullopt;
        if (when && shell) {
            entry.readable = true;
            entry.when = *when;
            entry.env = shell->env;
            entry.words = shell->words;
        }
        entries.push_back(std::move(entry));
        ++i; // the command line is no marker of its own
    }
    return entries;
}

std::optional<std::string> RemoveScheduledEntry(std::string_view table,
                                                const ScheduledEntry& entry,
                                                std::string_view eventName) {
    const std::vector<LineSpan> lines = SplitLines(table);
    const std::size_t comment = entry.commentLine;
    if (comment + 1 >= lines.size() || !IsMarker(TextOf(table, lines[comment]), eventName) ||
        TextOf(table, lines[comment + 1]) != entry.line)
        return std::nullopt;
    std::string out(table.substr(0, lines[comment].start));
    out.append(table.substr(lines[comment + 1].next));
    return out;
}
