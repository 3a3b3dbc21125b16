// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Whole reads and writes on a descriptor: a short read or write goes on where it stopped and
// an interrupted call is repeated, so a caller sees all of it done or a failure.

// Writes all of data. A write that makes no progress fails with EIO.
FsError WriteAll(int fd, std::string_view data);

// Appends everything up to the end of the file to out. More than maxSize bytes fail with
// EFBIG, leaving what was read so far in out.
FsError ReadAll(int fd, std::string& out, std::uint64_t maxSize = UINT64_MAX);

// Replaces the file at path with data, or leaves it as it was: the data goes to a new
// temporary file in the same folder, is flushed to disk and then renamed over the old file,
// whose permissions it takes (0644 for a new file). path itself is used as it is: a caller
// that wants a link kept resolves it first.
FsError ReplaceFileAtomically(const std::string& path, std::string_view data);
