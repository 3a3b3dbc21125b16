// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"
#include "platform/UniqueFd.h"
#include "schedule/CCrontab.h"
#include "schedule/CronLine.h"

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// "fernwick --catch-up", run by the desktop at login: the scheduled cleanings missed while the
// computer was off run now, one after another, as cron would have run them.

// Set in the environment of a run the catch-up starts, to the due time it makes up for
// (seconds since 1970): the run says so in its log and its notification, and leaves the
// record of runs to the catch-up.
inline constexpr const char* kCatchUpVariable = "FERNWICK_CATCH_UP";
// The due time in that variable's value; 0 when there is none or it is not a time.
std::time_t MissedDueTime(const char* value);
// "2026-12-10 07:14", local time.
std::string LocalDateTime(std::time_t t);

// Two lock files of the data folder, each a file of its own: the record itself is replaced on
// each write, and the folder may be a Zip run's destination, whose lock is the folder.
// - The record's lock: held while the record is read and written (by a catch-up for its whole
//   length).
// - The running lock: held shared by each scheduled run cron starts, for as long as it runs,
//   and exclusively by a catch-up, which so waits for such a run, or another catch-up, to end
//   (and be noted) before it reads the record, and keeps new ones waiting while it runs
//   entries itself: no entry runs twice.
// A catch-up takes the running lock first, so a run holding it shared can always get the
// record's lock to note itself.
inline constexpr const char* kRunRecordLockName = "scheduled-runs.lock";
inline constexpr const char* kRunningLockName = "scheduled-runs.running";

class CDataFolderLock {
public:
    enum class Mode { Shared, Exclusive };
    enum class Wait { No, Yes };
    // Locks the file name of folder (ending in "/", or empty for the current folder), made
    // when missing. With Wait::No, busy is set and nothing held when another holds it.
    FsError Take(const std::string& folder, const char* name, Mode mode, Wait wait, bool& busy);

private:
    UniqueFd m_fd;
};

// A scheduled run cron started holds the running lock shared while it runs, waiting while a
// catch-up holds it; stop says when to give up waiting (a stop signal), and the run then goes
// on unlocked to end as a stopped run does. Failing to lock is not a reason not to run.
void HoldWhileRunning(CDataFolderLock& lock, const std::string& dataFolder,
                      const std::function<bool()>& stop);

// The environment cron gives a job of this user: SHELL=/bin/sh, HOME, LOGNAME, USER and
// PATH=/usr/bin:/bin, then the table's own NAME=value lines above line number beforeLine,
// which replace those of the same name.
CronEnvironment CronJobEnvironment(std::string_view table, std::size_t beforeLine);

// Runs command as cron does, /bin/sh -c command, with exactly env as its environment and
// /dev/null as its input; waits for it. Returns its exit status, or -1 when it was killed or
// could not be started (errorText then says why, when it was not started).
int RunAsCron(const std::string& command, const CronEnvironment& env, std::string& errorText);

struct CatchUpSetup {
    CCrontab* crontab = nullptr;
    std::string dataFolder; // where the record of runs and its lock are, ending in "/"
    std::time_t now = 0;
    // The profile names, to say which entry runs; asked only when one is missed.
    std::function<std::vector<std::string>()> knownNames;
    // The runner; RunAsCron unless a test stands in.
    std::function<int(const std::string&, const CronEnvironment&, std::string&)> run;
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
};

// The catch-up: takes the lock (another catch-up holding it means nothing to do), reads the
// table and the record (a table without our entries removes the autostart entry of this
// process's $XDG_CONFIG_HOME, as scheduling would), runs each missed entry and notes its run once it has ended, whatever
// its exit status, so that a login does not start it again. Returns 0 when every run it
// started ended with status 0 (or none was missed), 1 when the table or the record could not
// be read or written or a run ended otherwise.
int RunCatchUp(const CatchUpSetup& setup);

// At the end of a scheduled run that cron started: the run is noted under the command that
// cron ran, rebuilt from the program, its arguments and the variables the entry set, as the
// scheduling wizard wrote it. A run the catch-up started is noted by the catch-up instead.
FsError NoteCronRun(const std::string& dataFolder, const std::string& program,
                    const std::vector<std::string>& args, std::time_t at);
