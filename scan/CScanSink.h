// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/SafeFile.h"

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// A file the search took.
struct FoundFile {
    std::string path;                  // absolute
    std::optional<std::uint64_t> size; // unknown when the file vanished before it was read
    std::time_t mtime = 0;             // last write; meaningful only with a size
    long mtimeNsec = 0;                // and its nanoseconds
    dev_t dev = 0;                     // the file's identity, from the same look as the size
    ino_t ino = 0;

    // What the disposal checks the file against before it acts.
    FileSeen Seen() const { return {dev, ino, size.value_or(0), mtime, mtimeNsec}; }
};

// Where a search puts what it finds. Called on the searching thread.
class CScanSink {
public:
    virtual ~CScanSink() = default;
    // The folder being walked, as given or as reached.
    virtual void OnFolder(const std::string& /*folder*/) {}
    virtual void OnFileTaken(const FoundFile& file) = 0;
    // Called between directory entries: a window may process its pending events here.
    virtual void Pump() {}
    // Called every few milliseconds while the walk waits (for a folder being read ahead).
    virtual void PumpWhileWaiting() { Pump(); }
    // True when Pump keeps a window answering: the walk then runs on the window's thread,
    // and the threads reading ahead for it give way to it.
    virtual bool PumpsAWindow() const { return false; }
};
