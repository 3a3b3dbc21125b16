// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Stop signals: the flag, the first signal winning, the self-pipe, and that the process
// survives what would otherwise end it.
#include "platform/StopSignal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <poll.h>
#include <pthread.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

class StopSignal : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallStopSignals();
        ResetStopSignalForTests();
    }
    void TearDown() override { ResetStopSignalForTests(); }
};

} // namespace

TEST_F(StopSignal, EachOfTheThreeSetsTheFlagAndWakesThePipe) {
    for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
        ResetStopSignalForTests();
        ASSERT_FALSE(StopSignalReceived());
        ASSERT_GE(StopSignalFd(), 0);
        EXPECT_FALSE(Readable(StopSignalFd())) << s;
        ASSERT_EQ(::raise(s), 0); // would end the test program without the handler
        EXPECT_TRUE(StopSignalReceived()) << s;
        EXPECT_EQ(StopSignalNumber(), s);
        EXPECT_TRUE(Readable(StopSignalFd())) << s;
        // The byte stays for every watcher.
        EXPECT_TRUE(Readable(StopSignalFd())) << s;
    }
}

TEST_F(StopSignal, TheFirstSignalWinsAndInstallingAgainChangesNothing) {
    const int fd = StopSignalFd();
    ASSERT_EQ(::raise(SIGHUP), 0);
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_EQ(::raise(SIGINT), 0);
    EXPECT_EQ(StopSignalNumber(), SIGHUP);
    InstallStopSignals();
    EXPECT_EQ(StopSignalFd(), fd);
    EXPECT_EQ(StopSignalNumber(), SIGHUP);
    // One byte for the first signal only: a flood of signals cannot fill the pipe.
    char buf[8];
    EXPECT_EQ(::read(fd, buf, sizeof buf), 1);
    ResetStopSignalForTests();
    EXPECT_FALSE(StopSignalReceived());
    EXPECT_EQ(StopSignalNumber(), 0);
}

TEST_F(StopSignal, ASignalToAnotherThreadIsSeenEverywhere) {
    std::thread worker([] { ::pthread_kill(::pthread_self(), SIGTERM); });
    worker.join();
    EXPECT_TRUE(StopSignalReceived());
    EXPECT_EQ(StopSignalNumber(), SIGTERM);
    EXPECT_TRUE(Readable(StopSignalFd()));
}

TEST(StopSignalNames, NamesForTheLog) {
    EXPECT_STREQ(StopSignalName(SIGTERM), "SIGTERM");
    EXPECT_STREQ(StopSignalName(SIGINT), "SIGINT");
    EXPECT_STREQ(StopSignalName(SIGHUP), "SIGHUP");
    EXPECT_STREQ(StopSignalName(SIGUSR1), ("signal " + std::to_string(SIGUSR1)).c_str());
}

TEST(StopSignalInstall, SignalsBlockedByWhoeverStartedUsStillArrive) {
    // cron or a service manager may hand over a blocked signal mask; run in a child of our own.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
        InstallStopSignals();
        ::raise(SIGTERM);
        ::_exit(StopSignalNumber() == SIGTERM ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
