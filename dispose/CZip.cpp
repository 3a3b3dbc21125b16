#include "dispose/CZip.h"

#include "dispose/SafeFile.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

struct ZipDiscard {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipDiscard>;

struct SourceFree {
    void operator()(zip_source_t* src) const { zip_source_free(src); }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

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

std::string ArchiveText(zip_t* za) { return zip_error_strerror(zip_get_error(za)); }

struct Options {
    int level = 5;
    bool fullPaths = true;
    bool addToExisting = true;
    int (*progress)() = nullptr;
    int (*cancel)() = nullptr;
};

struct Outcome {
    std::vector<ZipFailure> failures;
    std::size_t stored = 0;
    bool archiveFailed = false;
};

const char* const kExists = "the archive already holds an entry of that name";

// The entry name is the path itself, so ".." or "." parts would let an unpacker write outside
// its target folder.
bool IsPlainAbsolute(const std::string& path) {
    if (path.size() < 2 || path[0] != '/' || path.back() == '/')
        return false;
    std::size_t pos = 1;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        const std::string part = path.substr(pos, next - pos);
        if (part.empty() || part == "." || part == "..")
            return false;
        pos = next + 1;
    }
    return true;
}

std::string FolderErrorText(int error) {
    return error == ELOOP ? "a folder on its path is a symbolic link" : ErrorText(error);
}

// Only a regular file or nothing may be at the archive path: libzip would read an existing
// archive through a link, and replace a link or anything else by the rename at the end.
std::optional<std::string> CheckArchivePath(const std::string& archive) {
    struct stat st{};
    if (::lstat(archive.c_str(), &st) != 0)
        return errno == ENOENT ? std::nullopt : std::optional<std::string>(ErrorText(errno));
    if (S_ISLNK(st.st_mode))
        return "the archive path is a symbolic link";
    if (!S_ISREG(st.st_mode))
        return "the archive path is not a regular file";
    return std::nullopt;
}

ZipPtr OpenArchive(const std::string& archive, bool replace, std::string& reason) {
    if (auto refused = CheckArchivePath(archive)) {
        reason = *refused;
        return nullptr;
    }
    ZipError error;
    SourcePtr src(zip_source_file_create(archive.c_str(), 0, -1, error.get()));
    if (!src) {
        reason = "the archive could not be opened: " + error.text();
        return nullptr;
    }
    ZipPtr za(zip_open_from_source(src.get(), ZIP_CREATE | (replace ? ZIP_TRUNCATE : 0),
                                   error.get()));
    if (!za) {
        reason = "the archive could not be opened: " + error.text();
        return nullptr;
    }
    src.release(); // the archive owns it now
    return za;
}

// Adds one file to the open archive; the reason when it was not added.
std::optional<std::string> AddOne(zip_t* za, const std::string& path, const Options& opt) {
    if (!IsPlainAbsolute(path))
        return "not a plain absolute path";
    SafeParent parent = OpenParentNoFollow(path);
    if (!parent.dir)
        return FolderErrorText(parent.error);

    // Checked before opening: opening a device can have side effects of its own.
    struct stat before{};
    if (::fstatat(parent.dir.get(), parent.name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0)
        return ErrorText(errno);
    if (S_ISLNK(before.st_mode))
        return "it is a symbolic link";
    if (!S_ISREG(before.st_mode))
        return "it is not a regular file";

    // O_NONBLOCK: a file swapped for a FIFO meanwhile would otherwise block the open forever.
    UniqueFd fd(::openat(parent.dir.get(), parent.name.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return errno == ELOOP ? "it is a symbolic link" : ErrorText(errno);
    struct stat st{};
    if (::fstat(fd.get(), &st) != 0)
        return ErrorText(errno);
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    if (st.st_dev != before.st_dev || st.st_ino != before.st_ino)
        return "it was replaced while being opened";

    FilePtr file(::fdopen(fd.get(), "rb"));
    if (!file)
        return ErrorText(errno);
    fd.release(); // the stream owns it now

    ZipError error;
    SourcePtr src(zip_source_filep_create(file.get(), 0, -1, error.get()));
    if (!src)
        return error.text();
    file.release(); // closed with the source

    const std::string name = opt.fullPaths ? path.substr(1) : parent.name;
    const zip_int64_t index = zip_file_add(za, name.c_str(), src.get(), ZIP_FL_ENC_GUESS);
    if (index < 0) {
        if (zip_error_code_zip(zip_get_error(za)) == ZIP_ER_EXISTS)
            return kExists;
        return ArchiveText(za);
    }
    src.release(); // the archive owns it now

    const auto entry = static_cast<zip_uint64_t>(index);
    const zip_int32_t method = opt.level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    const auto flags = static_cast<zip_uint32_t>(opt.level);
    if (zip_file_set_mtime(za, entry, st.st_mtime, 0) != 0 ||
        zip_set_file_compression(za, entry, method, flags) != 0) {
        std::string reason = ArchiveText(za);
        zip_delete(za, entry);
        return reason;
    }
    return std::nullopt;
}

Outcome Pack(const std::string& archive, const std::vector<std::string>& paths,
             const Options& opt) {
    Outcome out;
    std::vector<std::optional<std::string>> reasons(paths.size());
    std::size_t next = 0;
    bool replace = !opt.addToExisting;
    bool cancelled = false;

    if (opt.level < 0 || opt.level > 9) {
        std::fill(reasons.begin(), reasons.end(), "invalid compression level");
        next = paths.size();
    }
    while (next < paths.size() && !cancelled) {
        const std::size_t begin = next;
        const std::size_t end = std::min(paths.size(), begin + CZIP::kBatchSize);
        std::string archiveReason;
        ZipPtr za = OpenArchive(archive, replace, archiveReason);
        if (!za) {
            std::fill(reasons.begin() + static_cast<std::ptrdiff_t>(begin),
                      reasons.begin() + static_cast<std::ptrdiff_t>(end), archiveReason);
            out.archiveFailed = true;
            next = end;
            continue;
        }
        std::vector<std::size_t> added;
        for (next = begin; next < end; ++next) {
            if (opt.cancel && opt.cancel()) {
                cancelled = true;
                break;
            }
            if (auto reason = AddOne(za.get(), paths[next], opt))
                reasons[next] = std::move(reason);
            else
                added.push_back(next);
            if (opt.progress)
                opt.progress();
        }
        if (added.empty())
            continue; // discarded: nothing to write, an archive to replace stays as it is
        if (zip_close(za.get()) != 0) {
            // Nothing of this batch reached the disk, though every entry was accepted.
            const std::string reason = "the archive could not be written: " + ArchiveText(za.get());
            for (std::size_t i : added)
                reasons[i] = reason;
            out.archiveFailed = true;
            continue;
        }
        za.release(); // zip_close freed it
        out.stored += added.size();
        replace = false; // the next batches add to what this one wrote
    }
    for (; next < paths.size(); ++next)
        reasons[next] = "cancelled before it was archived";

    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (reasons[i])
            out.failures.push_back({paths[i], std::move(*reasons[i])});
    }
    return out;
}

} // namespace

std::vector<ZipFailure> CZIP::AddFiles(const std::string& archive,
                                       const std::vector<std::string>& paths, int level) {
    Options opt;
    opt.level = level;
    return Pack(archive, paths, opt).failures;
}

int CZIP::Add(const char* archive, const char* fileList, int (*progress)(), void*,
              int (*cancel)(), void*, int storeFullPaths, int addToExisting, int level,
              int reserved1, int reserved2, const char* password, int reserved3,
              const char* comment) {
    const auto isFlag = [](int v) { return v == 0 || v == 1; };
    if (!archive || !*archive || !fileList || !isFlag(storeFullPaths) || !isFlag(addToExisting) ||
        level < 0 || level > 9 || reserved1 != 0 || reserved2 != 0 || reserved3 != 0 ||
        password || comment)
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
    opt.progress = progress;
    opt.cancel = cancel;
    const Outcome out = Pack(archive, paths, opt);
    return out.archiveFailed ? -1 : static_cast<int>(out.stored);
}
