// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ArchiveFile;
class StopPoll;

// The archive as libzip sees it: the old version read from a descriptor and, when a writer is
// given, the new version written through it (see ArchiveFile). libzip's own file source would
// write a temporary file with the umask's permissions and follow a link at the archive path.
//
// A stop noticed while the archive is read or written fails the step with ZIP_ER_CANCELLED;
// the write is then rolled back and the stop poll says so.
class ArchiveSource {
  public:
    // readFd: the old archive, or -1 for none. writer, stop: null for a source that only reads.
    ArchiveSource(int readFd, ArchiveFile* writer, StopPoll* stop);
    ArchiveSource(const ArchiveSource&) = delete;
    ArchiveSource& operator=(const ArchiveSource&) = delete;
    ~ArchiveSource();

    // A libzip source over this object, which must outlive it. Null with error set on failure.
    zip_source_t* Create(zip_error_t* error);

    // Why the archive itself could not be written, when the last write failed so.
    const FsError& WriteFailure() const { return m_writeFailure; }

  private:
    static zip_int64_t Callback(void* self, void* data, zip_uint64_t len, zip_source_cmd_t cmd);
    zip_int64_t Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd);
    zip_int64_t Read(void* data, zip_uint64_t len);
    zip_int64_t Stat(void* data, zip_uint64_t len);
    zip_int64_t Fail(int zipError, int sysError);
    zip_int64_t FailWrite(int zipError, const FsError& e);
    bool StopAsked(bool now);

    int m_readFd;
    ArchiveFile* m_writer;
    StopPoll* m_stop;
    zip_uint64_t m_readPos = 0;
    zip_uint64_t m_readSize = 0;
    zip_error_t m_error;
    FsError m_writeFailure;
};

// An entry the archive must hold once written: its name and its size.
struct ExpectedEntry {
    std::string name;
    std::uint64_t size = 0;
};

// Reads back the central directory of the archive now under file's name and returns the
// positions in expected of the entries it does not hold under that name (raw bytes) with that
// size. When the archive cannot be read, every position is returned and why goes to error.
std::vector<std::size_t> EntriesNotFound(const ArchiveFile& file,
                                         const std::vector<ExpectedEntry>& expected,
                                         std::string& error);
