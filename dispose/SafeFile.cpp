#include "dispose/SafeFile.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Component by component with O_NOFOLLOW, for kernels without openat2.
UniqueFd WalkNoFollow(const std::string& folder) {
    UniqueFd fd(::open("/", kFolderFlags));
    size_t pos = 1;
    while (fd && pos < folder.size()) {
        size_t next = folder.find('/', pos);
        if (next == std::string::npos)
            next = folder.size();
        const std::string part = folder.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") { // a path that climbs cannot be checked this way; refuse it
            errno = EINVAL;
            return UniqueFd();
        }
        fd = UniqueFd(::openat(fd.get(), part.c_str(), kFolderFlags | O_NOFOLLOW));
    }
    return fd;
}

} // namespace

UniqueFd OpenFolderNoFollow(const std::string& folder) {
    if (folder.empty() || folder[0] != '/') {
        errno = EINVAL;
        return UniqueFd();
    }
    static std::atomic<bool> s_noOpenat2{false};
    if (!s_noOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = kFolderFlags;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, AT_FDCWD, folder.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != ENOSYS)
            return UniqueFd(static_cast<int>(fd));
        s_noOpenat2.store(true, std::memory_order_relaxed);
    }
    return WalkNoFollow(folder);
}

SafeParent OpenParentNoFollow(const std::string& path) {
    SafeParent p;
    const size_t slash = path.rfind('/');
    if (path.empty() || path[0] != '/' || slash == std::string::npos || slash + 1 == path.size()) {
        p.error = EINVAL;
        return p;
    }
    p.name = path.substr(slash + 1);
    if (p.name == "." || p.name == "..") {
        p.error = EINVAL;
        return p;
    }
    p.dir = OpenFolderNoFollow(slash == 0 ? std::string("/") : path.substr(0, slash));
    if (!p.dir)
        p.error = errno;
    return p;
}

std::string ErrorText(int error) {
    char buf[256];
    // The GNU strerror_r returns the text, which may or may not be in buf.
    return ::strerror_r(error, buf, sizeof buf);
}
