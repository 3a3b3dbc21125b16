// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/FsError.h"
#include "platform/UniqueFd.h"

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Wordings of the archive path's own refusals.
namespace refusal {
inline constexpr char kArchiveIsLink[] = "the archive path is a symbolic link";
inline constexpr char kArchiveNotRegular[] = "the archive path is not a regular file";
inline constexpr char kArchiveReplaced[] =
    "the archive was replaced by another file while it was being written";
inline constexpr char kArchiveNameTaken[] =
    "another file took the archive's name while the archive was being written";
} // namespace refusal

// A zip archive on disk, reached through its folder: the old version read, a new version
// written beside it and put in its place.
//
// The new version is an unnamed file in the archive's folder (O_TMPFILE) that gets a name only
// once it is complete, so a run that is killed leaves nothing behind; where the file system
// has no unnamed files, a hidden temporary name is used. Before any data goes in, the new file
// is given the old archive's permissions and, where allowed, its owner and group; a new
// archive is readable and writable by its owner only, whatever the umask. It replaces the old
// archive by a rename, so a failed or dropped write leaves the old one as it was, and never
// replaces a link, nor a file that took the name while it was written.
class ArchiveFile {
  public:
    ArchiveFile() = default;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    ~ArchiveFile() { Discard(); }

    // Opens the folder of archive (an absolute path of any length) without following links.
    FsError OpenFolder(const std::string& archive);
    // Looks at the archive's name without opening it: a regular file or nothing is fine; a
    // link or anything else is refused.
    FsError Look() const;
    // Opens the archive there now for reading, or notes that there is none.
    FsError OpenExisting();

    int Folder() const { return m_folder.get(); }
    const std::string& Name() const { return m_name; }
    bool Exists() const { return static_cast<bool>(m_read); }
    int ReadFd() const { return m_read.get(); }
    const struct stat& Existing() const { return m_existing; }

    // Starts a new version; a version begun before is dropped.
    FsError BeginWrite();
    FsError Write(const void* data, std::size_t size);
    // Where the next write goes; moving there first writes out what is buffered.
    FsError SeekWrite(std::uint64_t offset);
    std::uint64_t TellWrite() const { return m_pos; }
    std::uint64_t WriteEnd() const { return m_end; }
    // Puts the new version on disk under the archive's name.
    FsError Commit();
    // Drops the new version, if any.
    void Discard();

    // Opens what is under the archive's name now, read-only, without following a link.
    FsError OpenForReading(UniqueFd& out) const;

    // Tests: use a hidden temporary name even where unnamed files work.
    void AllowUnnamed(bool allow) { m_unnamedAllowed = allow; }
    // Tests: the new version's temporary name, empty while it has none.
    const std::string& TempName() const { return m_tempName; }

  private:
    FsError CreateTemp();
    bool CanLinkUnnamed() const;
    FsError GiveOwnerAndMode();
    FsError Flush();
    FsError LinkUnnamedAs(const std::string& name, bool retryOnTaken, std::string& linked);
    FsError PutInPlace();

    UniqueFd m_folder; // O_PATH
    std::string m_name;
    UniqueFd m_read; // the old archive, when there is one
    struct stat m_existing {};

    UniqueFd m_temp;        // the new version
    std::string m_tempName; // its name in the folder; empty while unnamed
    std::vector<char> m_buffer;
    std::uint64_t m_bufferStart = 0; // file offset of m_buffer[0]
    std::uint64_t m_pos = 0;
    std::uint64_t m_end = 0;
    bool m_unnamedAllowed = true;
};
