// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// A request to stop from outside: SIGTERM (shutdown, time limit), SIGINT (Ctrl-C) or SIGHUP
// (the terminal went away). The handler only sets an atomic flag and writes one byte to a
// self-pipe, so long loops poll StopSignalReceived() between steps and event loops watch
// StopSignalFd() to wake up. The first signal wins; later ones change nothing, so a second
// Ctrl-C cannot cut a copy short and leave its temporary file behind.

// Installs the handlers (sigaction with SA_RESTART: no call elsewhere sees EINTR because of
// them) and creates the self-pipe, once; every call unblocks the three signals for the
// calling thread (a mask inherited from whoever started us may block them).
void InstallStopSignals();

// True once one of the signals has arrived since InstallStopSignals().
bool StopSignalReceived();

// The signal that arrived first, 0 while none has.
int StopSignalNumber();

// Read end of the self-pipe (non-blocking, close-on-exec): readable once a stop signal has
// arrived. -1 before InstallStopSignals(). The byte is left in the pipe so every watcher sees it.
int StopSignalFd();

// Name for the log and messages: "SIGTERM", "SIGINT", "SIGHUP", or "signal N".
const char* StopSignalName(int signalNumber);

// Tests only: forget a received signal so the next case starts clean (drains the pipe).
void ResetStopSignalForTests();
