// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "schedule/CCrontab.h"

#include "platform/Spawn.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

struct ProgramRun {
    FsError spawnError; // the program could not be started at all, or not be given its input
    int status = 0;         // as waitpid gives it
    std::string out, err;
};

FsError ErrnoFailure(const std::string& what, int code) {
    return FsError::Told(code, what + ": " + std::strerror(code));
}

// Blocks SIGPIPE for this thread while a child's input is written: a child that exits without
// reading it must give EPIPE, not end the program. A SIGPIPE raised meanwhile is taken off
// before the old mask returns.
class SigpipeBlock {
public:
    SigpipeBlock() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        ::sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        ::pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~SigpipeBlock() {
        if (!m_wasPending) {
            const timespec zero{0, 0};
            while (::sigtimedwait(&m_pipe, nullptr, &zero) == SIGPIPE) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

private:
    sigset_t m_pipe{}, m_old{};
    bool m_wasPending = false;
};

bool MakePipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

// Runs program with args (args[0] included), feeding it input and collecting what it writes to
// standard output and error. Waits for it to end.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& input) {
    ProgramRun run;
    UniqueFd inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!MakePipe(inRead, inWrite) || !MakePipe(outRead, outWrite) ||
        !MakePipe(errRead, errWrite)) {
        run.spawnError = ErrnoFailure("cannot make a pipe", errno);
        return run;
    }
    CSpawnActions actions;
    if (!actions.ok() ||
        ::posix_spawn_file_actions_adddup2(actions.get(), inRead.get(), 0) != 0 ||
        ::posix_spawn_file_actions_adddup2(actions.get(), outWrite.get(), 1) != 0 ||
        ::posix_spawn_file_actions_adddup2(actions.get(), errWrite.get(), 2) != 0) {
        run.spawnError = FsError::Told(ENOMEM, "cannot prepare to start " + program);
        return run;
    }
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    SigpipeBlock noSigpipe;
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argv.data(), environ);
    inRead.reset();
    outWrite.reset();
    errWrite.reset();
    if (rc != 0) {
        run.spawnError = ErrnoFailure("cannot start " + program, rc);
        return run;
    }

    std::size_t written = 0;
    if (input.empty())
        inWrite.reset();
    else
        ::fcntl(inWrite.get(), F_SETFL, ::fcntl(inWrite.get(), F_GETFL) | O_NONBLOCK);
    char buffer[4096];
    while (inWrite || outRead || errRead) {
        pollfd fds[3];
        nfds_t n = 0;
        if (inWrite)
            fds[n++] = {inWrite.get(), POLLOUT, 0};
        if (outRead)
            fds[n++] = {outRead.get(), POLLIN, 0};
        if (errRead)
            fds[n++] = {errRead.get(), POLLIN, 0};
        if (::poll(fds, n, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (nfds_t i = 0; i < n; ++i) {
            if (fds[i].revents == 0)
                continue;
            if (inWrite && fds[i].fd == inWrite.get()) {
                const ssize_t w =
                    ::write(inWrite.get(), input.data() + written, input.size() - written);
                if (w > 0)
                    written += static_cast<std::size_t>(w);
                // A child that stopped reading (EPIPE) gets no more; its status tells the rest.
                if ((w < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                    inWrite.reset();
                continue;
            }
            UniqueFd& fd = fds[i].fd == outRead.get() ? outRead : errRead;
            std::string& sink = &fd == &outRead ? run.out : run.err;
            const ssize_t r = ::read(fd.get(), buffer, sizeof buffer);
            if (r > 0)
                sink.append(buffer, static_cast<std::size_t>(r));
            else if (r == 0 || (errno != EINTR && errno != EAGAIN))
                fd.reset();
        }
    }
    while (::waitpid(pid, &run.status, 0) < 0) {
        if (errno != EINTR) {
            run.spawnError = ErrnoFailure("cannot wait for crontab", errno);
            break;
        }
    }
    if (!run.spawnError && written != input.size() && WIFEXITED(run.status) &&
        WEXITSTATUS(run.status) == 0)
        run.spawnError = FsError::Told(EPIPE, "crontab did not read the whole table");
    return run;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r'))
        text.pop_back();
    return text;
}

bool Succeeded(const ProgramRun& run) {
    return !run.spawnError && WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0;
}

// What a failed run says: its error output, else how it ended.
FsError Failure(const ProgramRun& run, const std::string& what) {
    if (run.spawnError)
        return run.spawnError;
    const std::string err = Trimmed(run.err);
    if (!err.empty())
        return FsError::Told(EIO, err);
    if (WIFEXITED(run.status))
        return FsError::Told(EIO, what + " ended with status " +
                                      std::to_string(WEXITSTATUS(run.status)));
    if (WIFSIGNALED(run.status))
        return FsError::Told(EINTR, what + " was ended by signal " +
                                        std::to_string(WTERMSIG(run.status)));
    return FsError::Told(EIO, what + " failed");
}

FsError NoCrontabProgram() {
    return FsError::Told(ENOENT, "The crontab program was not found on the PATH.");
}

} // namespace

std::string FindCrontabProgram() {
    const char* path = std::getenv("PATH");
    if (!path)
        return {};
    std::string_view rest = path;
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty() && dir.front() == '/') {
            std::string candidate(dir);
            if (candidate.back() != '/')
                candidate += '/';
            candidate += "crontab";
            struct stat st {};
            if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                ::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (colon == std::string_view::npos)
            return {};
        rest.remove_prefix(colon + 1);
    }
}

bool CrontabAvailable() { return !FindCrontabProgram().empty(); }

FsError CSystemCrontab::Read(std::string& table) {
    table.clear();
    const std::string program = FindCrontabProgram();
    if (program.empty())
        return NoCrontabProgram();
    ProgramRun run = RunProgram(program, {"crontab", "-l"}, {});
    if (Succeeded(run)) {
        table = std::move(run.out);
        return {};
    }
    // A user who never had a table: an empty one, not an error.
    if (!run.spawnError && WIFEXITED(run.status) &&
        run.err.find("no crontab for") != std::string::npos)
        return {};
    return Failure(run, "crontab -l");
}

FsError CSystemCrontab::Write(const std::string& table) {
    const std::string program = FindCrontabProgram();
    if (program.empty())
        return NoCrontabProgram();
    const ProgramRun run = RunProgram(program, {"crontab", "-"}, table);
    if (Succeeded(run))
        return {};
    return Failure(run, "crontab");
}
