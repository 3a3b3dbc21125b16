// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CatchUpRun.h"

#include "platform/Spawn.h"
#include "platform/TextEscape.h"
#include "schedule/CatchUp.h"
#include "schedule/CatchUpAutostart.h"
#include "schedule/RunRecord.h"
#include "schedule/ScheduledCleanings.h"
#include "schedule/ScheduledEntries.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>


FsError CDataFolderLock::Take(const std::string& folder, const char* name, Mode mode, Wait wait,
                              bool& busy) {
    busy = false;
    const std::string path = folder + name;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd)
        return FsError::System(errno);
    const int how =
        (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | (wait == Wait::No ? LOCK_NB : 0);
    int rc;
    while ((rc = ::flock(fd.get(), how)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        if (errno == EWOULDBLOCK) {
            busy = true;
            return {};
        }
        return FsError::System(errno);
    }
    m_fd = std::move(fd);
    return {};
}

void HoldWhileRunning(CDataFolderLock& lock, const std::string& dataFolder,
                      const std::function<bool()>& stop) {
    for (;;) {
        bool busy = false;
        if (lock.Take(dataFolder, kRunningLockName, CDataFolderLock::Mode::Shared,
                      CDataFolderLock::Wait::No, busy) ||
            !busy || stop())
            return;
        ::usleep(100 * 1000);
    }
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A table line "NAME = value" as cron reads it: the name up to '=' or a blank, then '=', then
// the value without the blanks around it and without one pair of quotes enclosing it.
bool ReadEnvironmentLine(std::string_view line, std::string& name, std::string& value) {
    std::size_t pos = 0;
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    const std::size_t nameStart = pos;
    while (pos < line.size() && line[pos] != '=' && !IsBlank(line[pos]))
        ++pos;
    if (pos == nameStart || line[nameStart] == '#')
        return false;
    name = std::string(line.substr(nameStart, pos - nameStart));
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    if (pos == line.size() || line[pos] != '=')
        return false;
    ++pos;
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    std::size_t end = line.size();
    while (end > pos && IsBlank(line[end - 1]))
        --end;
    std::string_view v = line.substr(pos, end - pos);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    value = std::string(v);
    return true;
}

void Set(CronEnvironment& env, const std::string& name, const std::string& value) {
    for (auto& [n, v] : env)
        if (n == name) {
            v = value;
            return;
        }
    env.emplace_back(name, value);
}

void Say(std::FILE* to, const std::string& line) {
    if (to) {
        std::fputs(line.c_str(), to);
        std::fputc('\n', to);
        std::fflush(to);
    }
}

} // namespace

std::time_t MissedDueTime(const char* value) {
    if (!value || !*value)
        return 0;
    long long t = 0;
    const char* end = value + std::strlen(value);
    const auto [stop, ec] = std::from_chars(value, end, t);
    return ec == std::errc() && stop == end && t > 0 ? static_cast<std::time_t>(t) : 0;
}

std::string LocalDateTime(std::time_t t) {
    std::tm tm{};
    char text[32] = "";
    if (::localtime_r(&t, &tm))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
    return text;
}

CronEnvironment CronJobEnvironment(std::string_view table, std::size_t beforeLine) {
    CronEnvironment env;
    std::string home, user;
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found) {
        home = found->pw_dir ? found->pw_dir : "";
        user = found->pw_name ? found->pw_name : "";
    }
    env = {{"SHELL", "/bin/sh"}, {"HOME", home}, {"LOGNAME", user}, {"USER", user},
           {"PATH", "/usr/bin:/bin"}};
    std::size_t lineNo = 0;
    while (!table.empty() && lineNo < beforeLine) {
        const std::size_t end = table.find('\n');
        const std::string_view line = table.substr(0, end);
        std::string name, value;
        if (ReadEnvironmentLine(line, name, value))
            Set(env, name, value);
        table.remove_prefix(end == std::string_view::npos ? table.size() : end + 1);
        ++lineNo;
    }
    return env;
}

int RunAsCron(const std::string& command, const CronEnvironment& env, std::string& errorText) {
    errorText.clear();
    std::vector<std::string> pairs;
    for (const auto& [name, value] : env)
        pairs.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& p : pairs)
        envp.push_back(p.data());
    envp.push_back(nullptr);
    std::string sh = "sh", dashC = "-c", cmd = command;
    char* argv[] = {sh.data(), dashC.data(), cmd.data(), nullptr};

    CSpawnActions actions;
    if (!actions.ok()) {
        errorText = ErrorText(ENOMEM);
        return -1;
    }
    ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    // Cron starts a job in the home folder.
    for (const auto& [name, value] : env)
        if (name == "HOME" && !value.empty())
            ::posix_spawn_file_actions_addchdir_np(actions.get(), value.c_str());
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, "/bin/sh", actions.get(), nullptr, argv, envp.data());
    if (rc != 0) {
        errorText = ErrorText(rc);
        return -1;
    }
    return WaitForExit(pid);
}

int RunCatchUp(const CatchUpSetup& setup) {
    // Runs cron started finish (and note themselves) first; none starts while this one runs.
    CDataFolderLock running, lock;
    bool busy = false;
    if (const FsError e = running.Take(setup.dataFolder, kRunningLockName,
                                       CDataFolderLock::Mode::Exclusive,
                                       CDataFolderLock::Wait::Yes, busy)) {
        Say(setup.err, "fernwick: scheduled runs under way cannot be waited for: " +
                           EscapeControlChars(e.Text()));
        return 1;
    }
    if (const FsError e = lock.Take(setup.dataFolder, kRunRecordLockName,
                                    CDataFolderLock::Mode::Exclusive, CDataFolderLock::Wait::No,
                                    busy)) {
        Say(setup.err, "fernwick: the record of scheduled runs cannot be locked: " +
                           EscapeControlChars(e.Text()));
        return 1;
    }
    if (busy) {
        Say(setup.out, "Another catch-up is running; this one leaves the cleanings to it.");
        return 0;
    }
    std::string table;
    if (const FsError e = setup.crontab->Read(table)) {
        Say(setup.err, "fernwick: the crontab cannot be read: " + EscapeControlChars(e.Text()));
        return 1;
    }
    const std::string recordPath = setup.dataFolder + CRunRecord::kFileName;
    CRunRecord record;
    if (const FsError e = record.Load(recordPath)) {
        Say(setup.err, "fernwick: the record of scheduled runs cannot be read: " +
                           EscapeControlChars(e.Text()));
        return 1;
    }
    const std::vector<ScheduledEntry> entries = ReadScheduledEntries(table, kScheduleEventName);
    // Entries removed by hand (crontab -e) leave the login's entry with nothing to do.
    if (entries.empty())
        RemoveCatchUpIfNoneLeft(table);
    const std::vector<CatchUp> missed = EntriesToCatchUp(entries, record, setup.now);
    if (missed.empty()) {
        Say(setup.out, "No scheduled cleaning was missed.");
        return 0;
    }
    const std::vector<std::string> knownNames =
        setup.knownNames ? setup.knownNames() : std::vector<std::string>();
    int result = 0;
    for (const CatchUp& m : missed) {
        const ScheduledEntry& entry = entries[m.entry];
        const std::string what =
            ScheduleListLine(m.entry + 1, DescribeScheduledEntry(entry, knownNames));
        Say(setup.out, "Catching up on " + what + " (missed at " + LocalDateTime(m.due) + ")");
        const std::optional<std::string> command =
            UnescapeForCron(CronCommandOf(entry.line));
        if (!command)
            continue; // a bare '%' makes it no entry of ours; left to cron
        CronEnvironment env = CronJobEnvironment(table, entry.commentLine + 1);
        Set(env, kCatchUpVariable, std::to_string(static_cast<long long>(m.due)));
        std::string why;
        const int status = setup.run(*command, env, why);
        if (status == -1 && !why.empty()) {
            Say(setup.err, "fernwick: the cleaning could not be started: " + why);
            result = 1;
            continue;
        }
        if (status != 0)
            result = 1;
        // Noted once it has ended, whatever it found: the next login does not start it again.
        const std::time_t ended = std::time(nullptr);
        record.Note(CronCommandOf(entry.line), ended > m.due ? ended : m.due);
        if (const FsError e = record.Save(recordPath)) {
            Say(setup.err, "fernwick: the record of scheduled runs cannot be written: " +
                               EscapeControlChars(e.Text()));
            return 1;
        }
    }
    return result;
}

FsError NoteCronRun(const std::string& dataFolder, const std::string& program,
                    const std::vector<std::string>& args, std::time_t at) {
    CDataFolderLock lock;
    bool busy = false;
    if (FsError e = lock.Take(dataFolder, kRunRecordLockName, CDataFolderLock::Mode::Exclusive,
                              CDataFolderLock::Wait::Yes, busy))
        return e;
    const std::string path = dataFolder + CRunRecord::kFileName;
    CRunRecord record;
    if (FsError e = record.Load(path))
        return e;
    record.Note(BuildCronCommand(program, args, ScheduledRunEnvironment()), at);
    return record.Save(path);
}
