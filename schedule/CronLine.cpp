// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CronLine.h"

#include "platform/WindowsArguments.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

std::string QuoteForShell(std::string_view word) {
    std::string out = "'";
    for (char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

std::string EscapeForCron(std::string_view command) {
    std::string out;
    out.reserve(command.size() + command.size() / 8);
    for (char c : command) {
        if ((c == '%' || c == '\\') && !out.empty() && out.back() == '\\')
            out += "''";
        if (c == '%')
            out += '\\';
        out += c;
    }
    return out;
}

bool IsValidCronWhen(const CronWhen& when) {
    if (when.hour < 0 || when.hour > 23 || when.minute < 0 || when.minute > 59)
        return false;
    switch (when.kind) {
    case CronWhen::Daily:
        return true;
    case CronWhen::Weekly:
        return when.weekday >= 0 && when.weekday <= 6;
    case CronWhen::Monthly:
        return when.dayOfMonth >= 1 && when.dayOfMonth <= 31;
    }
    return false;
}

std::string CronTimeFields(const CronWhen& when) {
    const std::string time = std::to_string(when.minute) + ' ' + std::to_string(when.hour);
    switch (when.kind) {
    case CronWhen::Weekly:
        return time + " * * " + std::to_string(when.weekday);
    case CronWhen::Monthly:
        return time + ' ' + std::to_string(when.dayOfMonth) + " * *";
    case CronWhen::Daily:
        break;
    }
    return time + " * * *";
}

CronEnvironment ScheduledRunEnvironment() {
    CronEnvironment env;
    for (const char* name : {"FERNWICK_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const char* value = std::getenv(name);
        if (!value || !*value)
            continue;
        std::string text = value;
        if (text.front() != '/') {
            // The program ignores relative XDG folders; a relative FERNWICK_HOME means the
            // folder under ours, and cron starts the run in the home folder instead.
            if (std::string_view(name).starts_with("XDG"))
                continue;
            std::error_code ec;
            const std::filesystem::path here = std::filesystem::current_path(ec);
            if (!ec)
                text = (here / text).string();
        }
        env.emplace_back(name, text);
    }
    return env;
}

std::string BuildCronCommand(const std::string& program, const std::vector<std::string>& args,
                             const CronEnvironment& env) {
    std::string command;
    for (const auto& [name, value] : env)
        command += name + '=' + QuoteForShell(value) + ' ';
    command += QuoteForShell(program);
    for (const std::string& arg : args)
        command += ' ' + QuoteForShell(arg);
    return EscapeForCron(command);
}

namespace {

bool BreaksTheLine(std::string_view text) {
    return text.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos;
}

} // namespace

FsError BuildCronEntry(const CronWhen& when, const std::string& program,
                       const std::string& parameters, const CronEnvironment& env,
                       std::string& line) {
    line.clear();
    if (!IsValidCronWhen(when))
        return FsError::Told(EINVAL, "The chosen time cannot be scheduled.");
    bool broken = BreaksTheLine(program) || BreaksTheLine(parameters);
    for (const auto& [name, value] : env)
        broken = broken || BreaksTheLine(name) || BreaksTheLine(value);
    if (broken)
        return FsError::Told(EINVAL, "A profile name, destination or folder holds a line "
                                     "break, which a crontab line cannot carry.");
    const std::string command = BuildCronCommand(program, SplitWindowsArguments(parameters), env);
    // cron skips a longer command when it loads the table, long after crontab took it.
    if (command.size() > kMaxCronCommand)
        return FsError::Told(E2BIG, "The scheduled command is " + std::to_string(command.size()) +
                                        " characters long, and cron runs commands of at most " +
                                        std::to_string(kMaxCronCommand) +
                                        ". Choose fewer profiles or a shorter destination.");
    line = CronTimeFields(when) + ' ' + command;
    return {};
}

std::string AppendCronEntry(const std::string& table, const std::string& eventName,
                            const std::string& line) {
    std::string out = table;
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    out += "# " + eventName + '\n';
    out += line + '\n';
    return out;
}
