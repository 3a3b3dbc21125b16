// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

#include <string>

// Tells whether a file about to be disposed of is in use: locked, open in another process or
// mapped into another process's memory (a mapping outlives the descriptor it was made from).
//
// The answer is the one true at the file's turn. The file is opened and a write lease taken on
// that descriptor (fcntl F_SETLEASE, F_WRLCK): the kernel grants it only while no other open
// file, mapped or not, refers to the file, and from then on holds up any other process's
// open of it and tells us. Where no lease can be taken (a file of another user without
// CAP_LEASE, a file system without leases, leases switched off), or to name the process that
// keeps the lease from being granted, /proc/*/fd and /proc/*/maps are read afresh for that
// one file.

// The file held open under the lease while its disposal step runs. Another process that opens
// the file meanwhile waits in its open until the claim goes (at most the system's
// lease-break-time, /proc/sys/fs/lease-break-time) and the claim shows it as Broken().
// Releasing, or destroying, the claim lets such a process go on.
class CInUseClaim {
public:
    CInUseClaim() = default;
    CInUseClaim(UniqueFd fd, bool leased, bool writable) noexcept;
    CInUseClaim(CInUseClaim&&) noexcept;
    CInUseClaim& operator=(CInUseClaim&&) noexcept;
    CInUseClaim(const CInUseClaim&) = delete;
    CInUseClaim& operator=(const CInUseClaim&) = delete;
    ~CInUseClaim();

    // The kernel's lease is held: an open by another process is held up and reported. False
    // where the look in /proc stood in for it; the claim then only holds the file open.
    bool Leased() const { return m_leased; }
    // Another process opened or truncated the file since the claim was made.
    bool Broken() const;
    // The file, opened as asked (with O_NONBLOCK, which has no effect on a regular file's
    // reads and writes). A step that reads or writes the file must do so through this
    // descriptor: opening the file once more, even from this process, breaks the lease (an
    // open with O_NONBLOCK fails with EWOULDBLOCK, one without waits out lease-break-time).
    // Unlinking and renaming the file do not. -1 for an empty claim.
    int Fd() const { return m_fd.get(); }
    // Fd() is open for reading and writing (a claim asked for writing may get a read-only
    // descriptor when the file cannot be opened for writing).
    bool Writable() const { return m_writable; }
    // Gives up the lease and closes the file.
    void Release();

private:
    UniqueFd m_fd;
    bool m_leased = false;
    bool m_writable = false;
};

class CInUseChecker {
public:
    enum class Probe {
        LeaseFirst, // a lease where the kernel grants one, else the look in /proc
        ProcOnly,   // only the look in /proc, as where no lease can be taken (tests)
    };
    enum class Access { Read, ReadWrite };

    explicit CInUseChecker(Probe probe = Probe::LeaseFirst) : m_probe(probe) {}

    // Tests a file already reached through its folder (the test then looks at that very file,
    // so a folder swapped for a link meanwhile cannot make a free file look busy) and, when it
    // is free, keeps it claimed: hold the claim while the step runs. ReadWrite opens the file
    // for writing too, for a step that overwrites it through the claim. A file in use, or one
    // that cannot be opened to be tested, fails with a sentence for the log naming the cause,
    // the path and, where known, the process (EBUSY when it is in use).
    FsError Claim(const std::string& path, const HeldFile& held, CInUseClaim& claim,
                  Access access = Access::Read) const;

    // The test alone: the claim is given up at once.
    FsError Check(const std::string& path) const;
    FsError Check(const std::string& path, const HeldFile& held) const;

private:
    Probe m_probe;
};
