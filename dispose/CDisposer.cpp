// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "dispose/CDisposer.h"

#include "dispose/CZip.h"
#include "dispose/DisposalMethod.h"
#include "dispose/DisposalSteps.h"
#include "platform/TrustedPath.h"

#include <fcntl.h>

#include <cerrno>

#include <unordered_map>

namespace {
constexpr char kInDestinationFolder[] =
    "it lies in the destination folder itself, where this run moves the files to";
constexpr char kIsTheArchive[] = "it is the archive the files are being zipped into";
} // namespace

CDisposer::CDisposer(int method, std::string destination, LogFn log)
    : m_nMethod(method), m_verb(MethodVerb(method)), m_strDestination(std::move(destination)),
      m_log(std::move(log)) {
    if (m_nMethod == METHOD_RECYCLE)
        m_trash = std::make_unique<CTrash>();
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
    TrustedFolder real;
    if (const FsError e = OpenTrustedFolder(folder, real)) {
        m_destinationRefused = FsError::Told(
            e.Code(), "the destination folder " + folder + " cannot be used: " + e.Text());
        return;
    }
    m_strDestination = zip ? (real.path == "/" ? "" : real.path) + "/" + name : real.path;
    // Known by identity too: a file reached by another way into the same folder or archive
    // is still the run's own.
    if (zip)
        m_bDestKnown = ::fstatat(real.fd.get(), name.c_str(), &m_destSt, AT_SYMLINK_NOFOLLOW) == 0;
    else
        m_bDestKnown = ::fstat(real.fd.get(), &m_destSt) == 0;
    if (!zip)
        m_destDir = std::move(real.fd);
}

CDisposer::~CDisposer() = default;

void CDisposer::Failed(const std::string& path, std::uint64_t size, const std::string& reason) {
    m_log(path + " could not be " + m_verb + ": " + reason + ".");
    m_failedBytes += size;
    ++m_nFailedFiles;
}

void CDisposer::Failed(const std::string& path, std::uint64_t size, const FsError& why) {
    if (!IsChangedFile(why)) {
        Failed(path, size, why.Text());
        return;
    }
    m_log(path + " was changed after the scan and was not " + m_verb + ": " + why.Text() + ".");
    m_failedBytes += size;
    ++m_nFailedFiles;
}

void CDisposer::Cleaned(std::uint64_t size) {
    m_cleanedBytes += size;
    ++m_nCleanedFiles;
}

void CDisposer::Disposed(const std::string& path, std::uint64_t size, const std::string& note) {
    m_log(path + " " + m_verb);
    if (!note.empty())
        m_log(path + ": " + note + ".");
    Cleaned(size);
}

const char* CDisposer::OwnDestinationRefusal(const HeldFile& file) const {
    if (m_nMethod == METHOD_MOVE && m_bDestKnown) {
        struct stat folder {};
        if (::fstat(file.dir.get(), &folder) == 0 && folder.st_dev == m_destSt.st_dev &&
            folder.st_ino == m_destSt.st_ino)
            return kInDestinationFolder;
    }
    if (m_nMethod == METHOD_ZIP && m_bDestKnown && file.st.st_dev == m_destSt.st_dev &&
        file.st.st_ino == m_destSt.st_ino)
        return kIsTheArchive;
    return nullptr;
}

FsError CDisposer::WhyNotInUse(const std::string& path, const FileSeen& seen) const {
    // The in-use test reaches the file by its path once more: what it met there may be a
    // link, another file or a file it may not open rather than a file in use.
    HeldFile again;
    if (FsError e = HoldFile(path, again))
        return e;
    if (FsError e = CheckSeen(again, seen))
        return e;
    UniqueFd fd;
    FsError e = OpenHeld(again, O_RDONLY, fd);
    // Another program's lease turns our open away: the file is in use, not failed.
    return e.Code() == EWOULDBLOCK ? FsError() : e;
}

CDisposer::Result CDisposer::Handle(const std::string& path, const FileSeen& seen) {
    HeldFile file;
    FsError refused = HoldFile(path, file);
    if (!refused)
        refused = CheckSeen(file, seen);
    if (refused) {
        Failed(path, seen.size, refused);
        return Result::Failed;
    }
    if (const char* own = OwnDestinationRefusal(file)) {
        Failed(path, seen.size, std::string(own));
        return Result::Failed;
    }
    // Claimed at its turn and held while the step runs: an open by another process meanwhile
    // waits until the step is done. The overwrite and the copy go through the claim's
    // descriptor, as opening the file again would break the claim.
    const bool overwrite = m_nMethod == METHOD_PERMANENT_DELETE;
    CInUseClaim claim;
    FsError busy = m_inUse.Claim(
        path, file, claim,
        overwrite ? CInUseChecker::Access::ReadWrite : CInUseChecker::Access::Read);
    // An open by another process since the claim: it is in use now.
    if (!busy && claim.Broken()) {
        claim.Release();
        busy = FsError::Told(EBUSY, "A sharing violation occurred while accessing " + path +
                                        ": another process opened it as its turn came.");
    }
    if (busy) {
        if (FsError other = WhyNotInUse(path, seen)) {
            Failed(path, seen.size, other);
            return Result::Failed;
        }
        m_log(busy.Text());
        m_log(path + " is in use and cannot be " + m_verb + ".");
        m_inUseBytes += seen.size;
        ++m_nInUseFiles;
        return Result::InUse;
    }
    const std::uint64_t size = seen.size; // what it still is
    ++m_nHandled;

    StepResult step;
    switch (m_nMethod) {
    case METHOD_DELETE:
        step = DeleteFileStep(file);
        break;
    case METHOD_MOVE:
        if (m_destinationRefused || !m_destDir) {
            Failed(path, size,
                   m_destinationRefused ? m_destinationRefused.Text()
                                        : std::string("no destination folder was given"));
            return Result::Failed;
        }
        step = MoveFileStep(file, m_destDir.get(), {}, claim.Fd());
        break;
    case METHOD_PERMANENT_DELETE:
        if (!claim.Writable())
            claim.Release(); // the step's own open then tells why it cannot write
        step = PermanentDeleteStep(file, claim.Writable() ? claim.Fd() : -1);
        break;
    case METHOD_RECYCLE:
        step.error = m_trash->Put(file, path);
        break;
    case METHOD_ZIP:
        m_pending.push_back({path, seen});
        return Result::Pending;
    default:
        // No method: nothing was done, so nothing counts as cleaned.
        m_log(path + " was left alone: no disposal method was given.");
        m_failedBytes += size;
        ++m_nFailedFiles;
        return Result::Failed;
    }
    if (!step.ok()) {
        Failed(path, size, step.error);
        return Result::Failed;
    }
    Disposed(path, size, step.note);
    return Result::Disposed;
}

std::vector<std::string> CDisposer::Finish(const std::function<bool()>& stop) {
    std::vector<std::string> failed;
    if (m_pending.empty() || m_nMethod != METHOD_ZIP) {
        m_pending.clear();
        return failed;
    }
    // Looked at again right before the archive reads them: a file changed since its turn
    // stays out. The archive then checks each file itself while it reads it.
    std::vector<std::string> paths;
    std::unordered_map<std::string, FsError> refused;
    for (const PendingFile& f : m_pending) {
        HeldFile file;
        FsError e = HoldFile(f.path, file);
        if (!e)
            e = CheckSeen(file, f.seen);
        if (e)
            refused.emplace(f.path, e);
        else
            paths.push_back(f.path);
    }
    std::unordered_map<std::string, std::string> reasons;
    if (m_destinationRefused)
        for (const std::string& path : paths)
            reasons.emplace(path, m_destinationRefused.Text());
    else if (!paths.empty()) {
        // Remembers a stop that came, whether the archive noticed it in time or not.
        const auto stopping = [this, &stop] {
            if (!m_bStopped && stop && stop())
                m_bStopped = true;
            return m_bStopped;
        };
        for (ZipFailure& f : CZIP().AddFiles(m_strDestination, paths, 5, {}, stopping))
            reasons.emplace(std::move(f.path), std::move(f.reason));
    }
    for (const PendingFile& f : m_pending) {
        if (auto it = refused.find(f.path); it != refused.end()) {
            Failed(f.path, f.seen.size, it->second);
            failed.push_back(f.path);
        } else if (auto why = reasons.find(f.path); why != reasons.end()) {
            Failed(f.path, f.seen.size, why->second);
            failed.push_back(f.path);
        } else {
            Disposed(f.path, f.seen.size);
        }
    }
    m_pending.clear();
    return failed;
}
