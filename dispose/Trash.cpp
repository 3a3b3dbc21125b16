#include "dispose/Trash.h"

#include "dispose/SafeFile.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using FilePtr = std::unique_ptr<GFile, ObjectUnref>;

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

} // namespace

std::optional<std::string> MoveToTrash(const std::string& path) {
    const SafeParent parent = OpenParentNoFollow(path);
    if (!parent.dir)
        return parent.error == ELOOP ? "a folder on its path is a symbolic link"
                                     : ErrorText(parent.error);
    struct stat st{};
    if (::fstatat(parent.dir.get(), parent.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return ErrorText(errno);
    if (S_ISLNK(st.st_mode))
        return "it is a symbolic link";
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";

    const FilePtr file(g_file_new_for_path(path.c_str()));
    GError* raw = nullptr;
    const bool trashed = g_file_trash(file.get(), nullptr, &raw);
    const ErrorPtr error(raw);
    if (!trashed)
        return error ? std::string(error->message) : std::string("the trash refused the file");
    return std::nullopt;
}
