// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/ArchiveSource.h"

#include "dispose/ArchiveFile.h"
#include "dispose/StopPoll.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <string_view>
#include <unordered_map>

ArchiveSource::ArchiveSource(int readFd, ArchiveFile* writer, StopPoll* stop)
    : m_readFd(readFd), m_writer(writer), m_stop(stop) {
    zip_error_init(&m_error);
}

ArchiveSource::~ArchiveSource() {
    zip_error_fini(&m_error);
}

zip_source_t* ArchiveSource::Create(zip_error_t* error) {
    return zip_source_function_create(Callback, this, error);
}

zip_int64_t ArchiveSource::Callback(void* self, void* data, zip_uint64_t len,
                                    zip_source_cmd_t cmd) {
    return static_cast<ArchiveSource*>(self)->Handle(data, len, cmd);
}

zip_int64_t ArchiveSource::Fail(int zipError, int sysError) {
    zip_error_set(&m_error, zipError, sysError);
    return -1;
}

zip_int64_t ArchiveSource::FailWrite(int zipError, const FsError& e) {
    m_writeFailure = e;
    return Fail(zipError, e.IsRefusal() ? 0 : e.Code());
}

bool ArchiveSource::StopAsked(bool now) {
    if (!m_stop)
        return false;
    return now ? m_stop->Now() : m_stop->Due();
}

zip_int64_t ArchiveSource::Read(void* data, zip_uint64_t len) {
    if (StopAsked(false))
        return Fail(ZIP_ER_CANCELLED, 0);
    const std::size_t want = static_cast<std::size_t>(std::min<zip_uint64_t>(len, SSIZE_MAX));
    ssize_t n;
    do
        n = ::pread(m_readFd, data, want, static_cast<off_t>(m_readPos));
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return Fail(ZIP_ER_READ, errno);
    m_readPos += static_cast<zip_uint64_t>(n);
    return n;
}

zip_int64_t ArchiveSource::Stat(void* data, zip_uint64_t len) {
    auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &m_error);
    if (!st)
        return -1;
    // libzip takes this error, and only this one, for "no archive yet".
    if (m_readFd < 0)
        return Fail(ZIP_ER_READ, ENOENT);
    struct stat fileSt {};
    if (::fstat(m_readFd, &fileSt) != 0)
        return Fail(ZIP_ER_READ, errno);
    m_readSize = static_cast<zip_uint64_t>(fileSt.st_size);
    zip_stat_init(st);
    st->size = m_readSize;
    st->mtime = fileSt.st_mtime;
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    return sizeof(*st);
}

zip_int64_t ArchiveSource::Handle(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    switch (cmd) {
    case ZIP_SOURCE_SUPPORTS: {
        const zip_int64_t base =
            m_writer ? ZIP_SOURCE_SUPPORTS_WRITABLE : ZIP_SOURCE_SUPPORTS_SEEKABLE;
        return base | ZIP_SOURCE_MAKE_COMMAND_BITMASK(ZIP_SOURCE_ACCEPT_EMPTY);
    }
    case ZIP_SOURCE_OPEN:
        if (m_readFd < 0)
            return Fail(ZIP_ER_OPEN, ENOENT);
        m_readPos = 0;
        return 0;
    case ZIP_SOURCE_READ:
        return Read(data, len);
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT:
        return Stat(data, len);
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&m_error, data, len);
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t pos =
            zip_source_seek_compute_offset(m_readPos, m_readSize, data, len, &m_error);
        if (pos < 0)
            return -1;
        m_readPos = static_cast<zip_uint64_t>(pos);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(m_readPos);
    case ZIP_SOURCE_ACCEPT_EMPTY:
        return 0; // an empty file is not an archive, and is not replaced by one
    default:
        break;
    }
    if (!m_writer)
        return Fail(ZIP_ER_OPNOTSUPP, 0);

    switch (cmd) {
    case ZIP_SOURCE_BEGIN_WRITE:
        m_writeFailure = {};
        if (StopAsked(true))
            return Fail(ZIP_ER_CANCELLED, 0);
        if (FsError e = m_writer->BeginWrite())
            return FailWrite(ZIP_ER_TMPOPEN, e);
        return 0;
    case ZIP_SOURCE_WRITE:
        if (StopAsked(false))
            return Fail(ZIP_ER_CANCELLED, 0);
        if (FsError e = m_writer->Write(data, static_cast<std::size_t>(len)))
            return FailWrite(ZIP_ER_WRITE, e);
        return static_cast<zip_int64_t>(len);
    case ZIP_SOURCE_SEEK_WRITE: {
        const zip_int64_t pos = zip_source_seek_compute_offset(
            m_writer->TellWrite(), m_writer->WriteEnd(), data, len, &m_error);
        if (pos < 0)
            return -1;
        if (FsError e = m_writer->SeekWrite(static_cast<std::uint64_t>(pos)))
            return FailWrite(ZIP_ER_WRITE, e);
        return 0;
    }
    case ZIP_SOURCE_TELL_WRITE:
        return static_cast<zip_int64_t>(m_writer->TellWrite());
    case ZIP_SOURCE_COMMIT_WRITE:
        // The last moment a stop keeps the old archive.
        if (StopAsked(true))
            return Fail(ZIP_ER_CANCELLED, 0);
        if (FsError e = m_writer->Commit())
            return FailWrite(ZIP_ER_RENAME, e);
        return 0;
    case ZIP_SOURCE_ROLLBACK_WRITE:
        m_writer->Discard();
        return 0;
    case ZIP_SOURCE_REMOVE:
        // Asked only for an archive left with no entries, which is never written.
        return Fail(ZIP_ER_REMOVE, EPERM);
    default:
        return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

namespace {

struct ZipDiscard {
    void operator()(zip_t* za) const { zip_discard(za); }
};

} // namespace

std::vector<std::size_t> EntriesNotFound(const ArchiveFile& file,
                                         const std::vector<ExpectedEntry>& expected,
                                         std::string& error) {
    std::vector<std::size_t> missing;
    const auto allMissing = [&](std::string why) {
        error = std::move(why);
        missing.clear();
        for (std::size_t i = 0; i < expected.size(); ++i)
            missing.push_back(i);
        return missing;
    };
    UniqueFd fd;
    if (FsError e = file.OpenForReading(fd))
        return allMissing(e.Text());
    ArchiveSource source(fd.get(), nullptr, nullptr);
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* src = source.Create(&zipError);
    std::unique_ptr<zip_t, ZipDiscard> za(src ? zip_open_from_source(src, ZIP_RDONLY, &zipError)
                                              : nullptr);
    if (!za) {
        std::string why = zip_error_strerror(&zipError);
        if (src)
            zip_source_free(src);
        zip_error_fini(&zipError);
        return allMissing(why);
    }
    zip_error_fini(&zipError);
    // One pass over the directory: a lookup by raw name would search it all for every entry.
    std::unordered_map<std::string_view, zip_uint64_t> sizes;
    const zip_int64_t count = zip_get_num_entries(za.get(), 0);
    sizes.reserve(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) == 0 &&
            (st.valid & ZIP_STAT_NAME) && (st.valid & ZIP_STAT_SIZE))
            sizes.emplace(st.name, st.size); // the name lives as long as the archive
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto found = sizes.find(expected[i].name);
        if (found == sizes.end() || found->second != expected[i].size)
            missing.push_back(i);
    }
    return missing;
}
