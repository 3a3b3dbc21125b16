// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/CZip.h"

#include "dispose/ArchiveFile.h"
#include "dispose/ArchiveLock.h"
#include "dispose/ArchiveSource.h"
#include "dispose/StopPoll.h"
#include "platform/SafeFile.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

const char* const kZipStopped = "the run was stopped before the archive was written";
const char* const kZipBusy = "another run was still writing the archive after a long wait";

namespace {

struct ZipDiscard {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipDiscard>;

struct SourceFree {
    void operator()(zip_source_t* src) const { zip_source_free(src); }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;

class ZipError {
  public:
    ZipError() { zip_error_init(&m_error); }
    ZipError(const ZipError&) = delete;
    ZipError& operator=(const ZipError&) = delete;
    ~ZipError() { zip_error_fini(&m_error); }
    zip_error_t* get() { return &m_error; }
    std::string text() { return zip_error_strerror(&m_error); }

  private:
    zip_error_t m_error;
};

std::string ArchiveText(zip_t* za) {
    return zip_error_strerror(zip_get_error(za));
}

struct Options {
    int level = 5;
    bool fullPaths = true;
    bool addToExisting = true;
    std::function<void()> progress;
    int (*cancel)() = nullptr;
    std::function<bool()> stop;
    std::chrono::milliseconds lockWait = CZIP::kDefaultLockWait;
};

struct Outcome {
    std::vector<ZipFailure> failures;
    std::size_t stored = 0;
    bool archiveFailed = false;
};

const char* const kExists = "the archive already holds an entry of that name";
const std::string kAtWrite = "it could not be read when the archive was written: ";
const char* const kOddParts = "its path has empty or \".\" parts";
// The zip format keeps a name's length in 16 bits: a longer name would be cut off.
constexpr std::size_t kMaxEntryName = 65535;
const char* const kNameTooLong = "its path is longer than a zip entry name can be (65,535 bytes)";
const char* const kNotFoundAfter = "it was not found in the archive after it was written";

// The entry name is the path itself, so a path that is relative, climbs with "..", has empty
// or "." parts or holds a backslash (a folder separator to many unpackers) could make an entry
// that unpacks outside its target folder. The reason it cannot be an entry name, or null.
const char* EntryNameRefusal(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return refusal::kNotAbsolute;
    if (path.find('\\') != std::string::npos)
        return "its path holds a backslash, which many unpackers take for a folder separator";
    if (path.size() < 2 || path.back() == '/')
        return kOddParts;
    std::size_t pos = 1;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        const std::string_view part(path.data() + pos, next - pos);
        if (part == "..")
            return refusal::kClimbs;
        if (part.empty() || part == ".")
            return kOddParts;
        pos = next + 1;
    }
    return nullptr;
}

std::string EntryName(const std::string& path, bool fullPaths) {
    return fullPaths ? path.substr(1) : path.substr(path.rfind('/') + 1);
}

// Reaches the file again by its path and checks that it is still the one seen when it was
// queued: the same file, of the same size and last-write time.
FsError HoldSame(const std::string& path, const FileSeen& seen, HeldFile& held) {
    if (FsError e = HoldFile(path, held))
        return e;
    return CheckSeen(held, seen);
}

// A file queued for the archive. libzip asks for its data only while the archive is written;
// the file is open from then until libzip has read it.
struct PendingFile {
    std::string path;
    std::string name;          // of its entry
    std::size_t listIndex = 0; // in the caller's list
    StopPoll* stop = nullptr;
    zip_uint64_t entry = 0; // in the archive
    struct stat added {};   // as checked when it was queued
    FileSeen seen;
    UniqueFd fd;
    zip_uint64_t delivered = 0;
    ZipError error;
    std::optional<std::string> failure; // why it could not be read when the archive was written
    bool dropped = false;               // not in the archive, or taken out again

    zip_int64_t Fail(int zipError, int sysError, const std::string& why) {
        zip_error_set(error.get(), zipError, sysError);
        failure = kAtWrite + why;
        fd.reset();
        return -1;
    }
};

zip_int64_t ReadSource(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* f = static_cast<PendingFile*>(userdata);
    switch (cmd) {
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_READABLE;
    case ZIP_SOURCE_OPEN: {
        f->fd.reset();
        f->delivered = 0;
        HeldFile held;
        FsError e = HoldSame(f->path, f->seen, held);
        // O_NONBLOCK kept: a regular file reads the same, and it saves switching it off.
        if (!e)
            e = OpenHeld(held, O_RDONLY | O_NONBLOCK, f->fd);
        if (e)
            return f->Fail(ZIP_ER_OPEN, e.Code(), e.Text());
        return 0;
    }
    case ZIP_SOURCE_READ: {
        // Not the file's fault: no failure is noted, so the run is seen as stopped.
        if (f->stop && f->stop->Due()) {
            zip_error_set(f->error.get(), ZIP_ER_CANCELLED, 0);
            return -1;
        }
        const std::size_t want = static_cast<std::size_t>(std::min<zip_uint64_t>(len, SSIZE_MAX));
        ssize_t n;
        do
            n = ::read(f->fd.get(), data, want);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            return f->Fail(ZIP_ER_READ, errno, ErrorText(errno));
        f->delivered += static_cast<zip_uint64_t>(n);
        // The size was promised in the entry's header before the data was read; a file being
        // written to is not archived half old, half new.
        const auto size = static_cast<zip_uint64_t>(f->added.st_size);
        if (f->delivered > size || (n == 0 && f->delivered != size))
            return f->Fail(ZIP_ER_READ, 0, refusal::kRewritten);
        return n;
    }
    case ZIP_SOURCE_CLOSE:
        f->fd.reset();
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, f->error.get());
        if (!st)
            return -1;
        zip_stat_init(st);
        st->size = static_cast<zip_uint64_t>(f->added.st_size);
        st->mtime = f->added.st_mtime;
        st->comp_method = ZIP_CM_STORE; // what we hand over is the plain data
        st->encryption_method = ZIP_EM_NONE;
        st->valid =
            ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
        return sizeof(*st);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(f->error.get(), data, len);
    case ZIP_SOURCE_FREE:
        f->fd.reset();
        return 0;
    default:
        zip_error_set(f->error.get(), ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

// Checks the file and notes what it is now; the reason when it cannot be archived.
std::optional<std::string> CheckOne(PendingFile& f, const Options& opt) {
    if (const char* refused = EntryNameRefusal(f.path))
        return refused;
    f.name = EntryName(f.path, opt.fullPaths);
    if (f.name.size() > kMaxEntryName)
        return kNameTooLong;
    // Opened to learn now, not at the end, that it cannot be read; closed again so that any
    // number of files stays within the open-file limit.
    HeldFile held;
    UniqueFd fd;
    FsError e = HoldFile(f.path, held);
    if (!e)
        e = OpenHeld(held, O_RDONLY | O_NONBLOCK, fd);
    if (e)
        return e.Text();
    f.added = held.st;
    f.seen = FileSeen::Of(held.st);
    return std::nullopt;
}

// Queues a checked file in the open archive; the reason when it was not queued.
std::optional<std::string> Queue(zip_t* za, PendingFile& f, const Options& opt) {
    ZipError error;
    SourcePtr src(zip_source_function_create(ReadSource, &f, error.get()));
    if (!src)
        return error.text();
    const zip_int64_t index = zip_file_add(za, f.name.c_str(), src.get(), ZIP_FL_ENC_GUESS);
    if (index < 0) {
        if (zip_error_code_zip(zip_get_error(za)) == ZIP_ER_EXISTS)
            return kExists;
        return ArchiveText(za);
    }
    src.release(); // the archive owns it now

    f.entry = static_cast<zip_uint64_t>(index);
    const zip_int32_t method = opt.level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    const auto flags = static_cast<zip_uint32_t>(opt.level);
    const auto mode = static_cast<zip_uint32_t>(f.added.st_mode & 0xffff);
    if (zip_file_set_mtime(za, f.entry, f.added.st_mtime, 0) != 0 ||
        zip_set_file_compression(za, f.entry, method, flags) != 0 ||
        zip_file_set_external_attributes(za, f.entry, 0, ZIP_OPSYS_UNIX, mode << 16) != 0) {
        std::string reason = ArchiveText(za);
        zip_delete(za, f.entry);
        return reason;
    }
    return std::nullopt;
}

// libzip sets up a deflate stream of about 270 KiB for every entry and frees it right after.
// Until glibc's allocator has seen a large mmap-ed block freed, it hands such memory back to
// the system at every free and faults it in again for the next entry: a few hundred small
// files took seconds. Freeing one such block raises its thresholds (they follow the largest
// mmap-ed block freed), so the streams' memory stays with the process. A hint, no more:
// nothing depends on it.
void KeepDeflateMemory() {
    void* volatile block = std::malloc(std::size_t{1} << 20);
    std::free(block);
}

using Queued = std::vector<std::unique_ptr<PendingFile>>;
using Reasons = std::vector<std::optional<std::string>>;

// Writes the archive with the queued files. libzip stops writing at the first file it cannot
// read and leaves the old archive as it was; that file is then taken out, the others are
// checked again so that many vanished files do not cost a write each, and the archive is
// written again. Failures go into reasons; the number of files stored is returned.
std::size_t Write(ZipPtr& za, Queued& queued, Reasons& reasons, bool& archiveFailed, StopPoll& stop,
                  const ArchiveSource& source) {
    const auto drop = [&](PendingFile& f, std::string reason) {
        reasons[f.listIndex] = std::move(reason);
        f.dropped = true;
        return zip_delete(za.get(), f.entry) == 0;
    };
    const auto failLive = [&](const std::string& reason) {
        for (const auto& f : queued)
            if (!f->dropped)
                reasons[f->listIndex] = reason;
        return std::size_t{0};
    };
    // Nothing reached the disk, though every remaining entry was accepted.
    const auto notWritten = [&] {
        archiveFailed = true;
        return failLive("the archive could not be written: " +
                        (source.WriteFailure() ? source.WriteFailure().Text()
                                               : ArchiveText(za.get())));
    };
    KeepDeflateMemory();
    for (;;) {
        std::size_t live = 0;
        for (const auto& f : queued)
            live += f->dropped ? 0 : 1;
        if (live == 0)
            return 0; // nothing to write: an archive to replace stays as it is
        if (stop.Now())
            return failLive(kZipStopped);
        if (zip_close(za.get()) == 0) {
            za.release(); // zip_close freed it
            return live;
        }
        if (stop.Stopped())
            return failLive(kZipStopped);

        bool unreadable = false;
        for (const auto& f : queued) {
            if (!f->dropped && f->failure) {
                unreadable = true;
                if (!drop(*f, *f->failure))
                    return notWritten();
            }
        }
        if (!unreadable)
            return notWritten(); // not the fault of a file
        for (const auto& f : queued) {
            if (f->dropped)
                continue;
            HeldFile held;
            const FsError e = HoldSame(f->path, f->seen, held);
            if (e && !drop(*f, kAtWrite + e.Text()))
                return notWritten();
        }
    }
}

// Reads the written archive back: a file counted as stored that it does not hold under its
// name with its size is reported after all. Returns how many were.
std::size_t CheckWritten(const ArchiveFile& file, Queued& queued, Reasons& reasons) {
    std::vector<ExpectedEntry> expected;
    std::vector<PendingFile*> files;
    for (const auto& f : queued) {
        if (f->dropped)
            continue;
        expected.push_back({f->name, static_cast<std::uint64_t>(f->added.st_size)});
        files.push_back(f.get());
    }
    std::string error;
    const std::vector<std::size_t> missing = EntriesNotFound(file, expected, error);
    const std::string reason = error.empty() ? kNotFoundAfter : kNotFoundAfter + (": " + error);
    for (const std::size_t i : missing) {
        reasons[files[i]->listIndex] = reason;
        files[i]->dropped = true;
    }
    return missing.size();
}

int CancelWhenStopped(zip_t*, void* stop) {
    return static_cast<StopPoll*>(stop)->Due() ? 1 : 0;
}

// Opens the archive through source; the reason when it cannot be.
ZipPtr OpenZip(ArchiveSource& source, bool replace, std::string& reason) {
    ZipError error;
    SourcePtr src(source.Create(error.get()));
    ZipPtr za;
    if (src)
        za.reset(zip_open_from_source(src.get(), ZIP_CREATE | (replace ? ZIP_TRUNCATE : 0),
                                      error.get()));
    if (!za) {
        reason = "the archive could not be opened: " + error.text();
        return nullptr;
    }
    src.release(); // the archive owns it now
    return za;
}

// Under the archive's lock: opens it, queues the checked files in it, writes it and reads it
// back. The lock is held until the archive is checked, so another run reads it only then.
void WriteLocked(ArchiveFile& file, Queued& queued, Reasons& reasons, const Options& opt,
                 StopPoll& stop, Outcome& out) {
    const auto failAll = [&](const std::string& reason, bool archiveFailed) {
        for (const auto& f : queued)
            reasons[f->listIndex] = reason;
        out.archiveFailed = archiveFailed;
    };
    ArchiveLock lock;
    switch (lock.Acquire(file.Folder(), opt.lockWait, stop, opt.progress)) {
    case ArchiveLock::Outcome::Stopped:
        return failAll(kZipStopped, false);
    case ArchiveLock::Outcome::TimedOut:
        return failAll(kZipBusy, true);
    case ArchiveLock::Outcome::Locked:
    case ArchiveLock::Outcome::Unlockable:
        break;
    }
    if (FsError e = file.OpenExisting())
        return failAll(e.IsRefusal() ? e.Text() : "the archive could not be opened: " + e.Text(),
                       true);

    // Declared before the archive: libzip reads and writes through it until the archive goes.
    ArchiveSource source(file.ReadFd(), &file, &stop);
    std::string reason;
    ZipPtr za = OpenZip(source, !opt.addToExisting, reason);
    if (!za)
        return stop.Stopped() ? failAll(kZipStopped, false) : failAll(reason, true);
    zip_register_cancel_callback_with_state(za.get(), CancelWhenStopped, nullptr, &stop);

    for (const auto& f : queued) {
        if (auto refused = Queue(za.get(), *f, opt)) {
            reasons[f->listIndex] = std::move(refused);
            f->dropped = true;
        }
    }
    out.stored = Write(za, queued, reasons, out.archiveFailed, stop, source);
    if (out.stored > 0)
        out.stored -= CheckWritten(file, queued, reasons);
}

// Opens the archive's folder and looks at its name; the reason when it cannot be written.
std::optional<std::string> ArchiveRefusal(ArchiveFile& file, const std::string& archive) {
    if (FsError e = file.OpenFolder(archive))
        return "the archive's folder could not be opened: " + e.Text();
    if (FsError e = file.Look())
        return e.IsRefusal() ? e.Text() : "the archive could not be opened: " + e.Text();
    return std::nullopt;
}

Outcome Pack(const std::string& archive, const std::vector<std::string>& paths,
             const Options& opt) {
    Outcome out;
    Reasons reasons(paths.size());
    const auto failFrom = [&](std::size_t from, const std::string& reason) {
        std::fill(reasons.begin() + static_cast<std::ptrdiff_t>(from), reasons.end(), reason);
    };
    std::size_t next = 0;

    // Declared before the archive: libzip tells the sources to free themselves when the
    // archive goes, and they must still be there.
    ArchiveFile file;
    Queued queued;
    StopPoll stop(opt.stop);
    if (opt.level < 0 || opt.level > 9) {
        failFrom(0, "invalid compression level");
        next = paths.size();
    } else if (!paths.empty()) {
        // Looked at before any file, so a wrong archive path costs no work; again under the lock.
        if (auto refused = ArchiveRefusal(file, archive)) {
            failFrom(0, *refused);
            out.archiveFailed = true;
            next = paths.size();
        }
    }
    bool stopped = false;
    for (; next < paths.size(); ++next) {
        if (opt.cancel && opt.cancel())
            break;
        if (stop.Now()) {
            stopped = true;
            break;
        }
        auto f = std::make_unique<PendingFile>();
        f->path = paths[next];
        f->listIndex = next;
        f->stop = &stop;
        if (auto reason = CheckOne(*f, opt))
            reasons[next] = std::move(reason);
        else
            queued.push_back(std::move(f));
        if (opt.progress)
            opt.progress();
    }
    if (stopped) {
        for (auto& reason : reasons)
            if (!reason)
                reason = kZipStopped;
    } else {
        if (next < paths.size())
            failFrom(next, "cancelled before it was archived");
        if (!queued.empty())
            WriteLocked(file, queued, reasons, opt, stop, out);
    }

    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (reasons[i])
            out.failures.push_back({paths[i], std::move(*reasons[i])});
    }
    return out;
}

} // namespace

std::vector<ZipFailure> CZIP::AddFiles(const std::string& archive,
                                       const std::vector<std::string>& paths, int level,
                                       const std::function<void()>& progress,
                                       const std::function<bool()>& stop) {
    Options opt;
    opt.level = level;
    opt.progress = progress;
    opt.stop = stop;
    opt.lockWait = m_lockWait;
    return Pack(archive, paths, opt).failures;
}

int CZIP::Add(const char* archive, const char* fileList, int (*progress)(), void*, int (*cancel)(),
              void*, int storeFullPaths, int addToExisting, int level, int reserved1, int reserved2,
              const char* password, int reserved3, const char* comment) {
    const auto isFlag = [](int v) { return v == 0 || v == 1; };
    if (!archive || !*archive || !fileList || !isFlag(storeFullPaths) || !isFlag(addToExisting) ||
        level < 0 || level > 9 || reserved1 != 0 || reserved2 != 0 || reserved3 != 0 || password ||
        comment)
        return -1;

    std::vector<std::string> paths;
    const std::string list(fileList);
    std::size_t pos = 0;
    while (pos < list.size()) {
        std::size_t eol = list.find('\n', pos);
        if (eol == std::string::npos)
            eol = list.size();
        if (eol > pos)
            paths.push_back(list.substr(pos, eol - pos));
        pos = eol + 1;
    }

    Options opt;
    opt.level = level;
    opt.fullPaths = storeFullPaths == 1;
    opt.addToExisting = addToExisting == 1;
    if (progress)
        opt.progress = [progress] { progress(); };
    opt.cancel = cancel;
    opt.lockWait = m_lockWait;
    const Outcome out = Pack(archive, paths, opt);
    return out.archiveFailed ? -1 : static_cast<int>(out.stored);
}
