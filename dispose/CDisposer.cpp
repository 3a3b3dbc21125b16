#include "dispose/CDisposer.h"

#include "dispose/CZip.h"
#include "dispose/DisposalMethod.h"
#include "dispose/DisposalSteps.h"
#include "dispose/Trash.h"
#include "platform/TrustedPath.h"

#include <sys/stat.h>

#include <unordered_map>

std::uint64_t CurrentFileSize(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

CDisposer::CDisposer(int method, std::string destination, LogFn log)
    : m_nMethod(method), m_verb(MethodVerb(method)), m_strDestination(std::move(destination)),
      m_log(std::move(log)) {
    // Resolved as the scan resolves its folders: a destination reached through a trusted link
    // (a home under /var/home) works by its real path, the steps refusing links on the way.
    const bool zip = m_nMethod == METHOD_ZIP;
    if ((!zip && m_nMethod != METHOD_MOVE) || m_strDestination.empty())
        return;
    std::string folder = m_strDestination, name;
    if (zip) {
        const size_t slash = folder.rfind('/');
        name = folder.substr(slash == std::string::npos ? 0 : slash + 1);
        folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
        if (name.empty())
            return; // no archive name: the archive step says so
    }
    const TrustedFolder real = OpenTrustedFolder(folder);
    if (!real.fd) {
        m_destinationRefused = "the destination folder " + folder + " cannot be used: " + real.reason;
        return;
    }
    m_strDestination = zip ? (real.path == "/" ? "" : real.path) + "/" + name : real.path;
}

void CDisposer::Failed(const std::string& path, std::uint64_t size, const std::string& reason) {
    m_log(path + " could not be " + m_verb + ": " + reason + ".");
    m_failedBytes += size;
    ++m_nFailedFiles;
}

void CDisposer::Cleaned(std::uint64_t size) {
    m_cleanedBytes += size;
    ++m_nCleanedFiles;
}

CDisposer::Result CDisposer::Handle(const std::string& path) {
    if (auto why = m_inUse.Check(path)) {
        m_log(*why);
        m_log(path + " is in use and cannot be " + m_verb + ".");
        m_inUseBytes += CurrentFileSize(path);
        ++m_nInUseFiles;
        return Result::InUse;
    }
    m_log(path + " " + m_verb);
    const std::uint64_t size = CurrentFileSize(path);
    ++m_nHandled;

    StepResult step;
    switch (m_nMethod) {
    case METHOD_DELETE:
        step = DeleteFileStep(path);
        break;
    case METHOD_MOVE:
        step = m_destinationRefused.empty() ? MoveFileStep(path, m_strDestination)
                                            : StepResult::Failed(m_destinationRefused);
        break;
    case METHOD_PERMANENT_DELETE:
        step = PermanentDeleteStep(path);
        break;
    case METHOD_ZIP:
    case METHOD_RECYCLE:
        m_pending.emplace_back(path, size);
        return Result::Pending;
    default:
        // No method: nothing was done, so nothing counts as cleaned.
        return Result::Failed;
    }
    if (!step.ok) {
        Failed(path, size, step.reason);
        return Result::Failed;
    }
    if (!step.note.empty())
        m_log(path + ": " + step.note + ".");
    Cleaned(size);
    return Result::Disposed;
}

std::vector<std::string> CDisposer::Finish() {
    std::vector<std::string> failed;
    if (m_pending.empty())
        return failed;
    if (m_nMethod == METHOD_ZIP) {
        std::vector<std::string> paths;
        for (const auto& [path, size] : m_pending)
            paths.push_back(path);
        std::unordered_map<std::string, std::string> reasons;
        if (!m_destinationRefused.empty())
            for (const std::string& path : paths)
                reasons.emplace(path, m_destinationRefused);
        else
            for (ZipFailure& f : CZIP().AddFiles(m_strDestination, paths))
                reasons.emplace(std::move(f.path), std::move(f.reason));
        for (const auto& [path, size] : m_pending) {
            if (auto it = reasons.find(path); it != reasons.end()) {
                Failed(path, size, it->second);
                failed.push_back(path);
            } else {
                Cleaned(size);
            }
        }
    } else if (m_nMethod == METHOD_RECYCLE) {
        for (const auto& [path, size] : m_pending) {
            if (auto why = MoveToTrash(path)) {
                Failed(path, size, *why);
                failed.push_back(path);
            } else {
                Cleaned(size);
            }
        }
    }
    m_pending.clear();
    return failed;
}
