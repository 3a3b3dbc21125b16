// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// Reading and writing the profile store as a settings file.
#include "platform/DataFile.h"
#include "platform/FileIo.h"
#include "platform/FsError.h"
#include "platform/ProgramDir.h"
#include "profiles/CProfileList.h"
#include "profiles/HomeFolder.h"
#include "profiles/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

namespace {

// A leading "~" in a scan folder stands for the user's home folder, so that shipped profiles
// can name per-user folders. The expanded path is what gets saved; without a usable home the
// "~" stays, to be told by the scan and expanded on a later start.
class CHomeExpansion {
public:
    std::string operator()(std::string folder) {
        if (!NamesHomeFolder(folder))
            return folder;
        if (!m_home)
            m_home = FindHomeFolder();
        return ExpandHomeFolder(folder, *m_home);
    }

private:
    std::optional<HomeFolder> m_home; // looked up at the first "~"
};

// Reads a count line and then that many value lines. False when the file ended first.
bool ReadList(CSettingsReader& reader, std::vector<std::string>& list,
              CHomeExpansion* expandHome = nullptr) {
    std::string line = ReadSettingsLine(reader);
    if (line.empty())
        return false;
    const long long count = ParseSettingsNumber(line);
    for (long long i = 0; i < count; ++i) {
        line = ReadSettingsLine(reader);
        if (line.empty())
            return false;
        list.push_back(expandHome ? (*expandHome)(std::move(line)) : std::move(line));
    }
    return true;
}

// Fills a profile from its block. False when the file ended inside the block; what was read
// stays, the rest keeps the defaults.
bool ReadProfileBody(CSettingsReader& reader, CProfile& p, CHomeExpansion& expandHome) {
    std::string line = ReadSettingsLine(reader);
    if (line.empty())
        return false;
    p.m_nScanScope = static_cast<int>(ParseSettingsNumber(line));
    if (!ReadList(reader, p.m_lstScanFolders, &expandHome) || !ReadList(reader, p.m_lstPatterns) ||
        !ReadList(reader, p.m_lstFolders))
        return false;

    std::string fields[6]; // use limits, minimum, maximum, month, day, year
    for (auto& f : fields) {
        f = ReadSettingsLine(reader);
        if (f.empty())
            break;
    }
    if (!fields[0].empty())
        p.m_bUseLimits = ParseSettingsNumber(fields[0]) != 0;
    if (!fields[1].empty())
        p.m_dwMinSize = ParseSettingsSize(fields[1]);
    if (!fields[2].empty())
        p.m_dwMaxSize = ParseSettingsSize(fields[2]);
    if (fields[5].empty())
        return false;
    std::time_t t;
    if (LocalMidnight(static_cast<int>(ParseSettingsNumber(fields[3])),
                      static_cast<int>(ParseSettingsNumber(fields[4])),
                      static_cast<int>(ParseSettingsNumber(fields[5])), t))
        p.m_timeOlderThan = t;
    return true;
}

// A value as the file can carry it: one line, no trailing white space. Empty when it cannot
// be carried at all (empty, or starting with ';').
std::string Carriable(std::string v) {
    for (char& c : v)
        if (c == '\n' || c == '\r')
            c = ' ';
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\v' ||
                          v.back() == '\f'))
        v.pop_back();
    if (!v.empty() && v[0] == ';')
        v.clear();
    return v;
}

void AppendList(std::string& out, const std::vector<std::string>& list) {
    std::vector<std::string> values;
    for (const auto& v : list)
        if (auto c = Carriable(v); !c.empty())
            values.push_back(std::move(c));
    out += std::to_string(values.size()) + '\n';
    for (const auto& v : values)
        out += v + '\n';
}

void AppendProfile(std::string& out, const CProfile& p) {
    std::string name = Carriable(p.m_strName);
    // An empty name line would be skipped by the reader and shift every later value.
    out += (name.empty() ? std::string("Unnamed profile") : name) + '\n';
    out += std::to_string(p.m_nScanScope) + '\n';
    AppendList(out, p.m_lstScanFolders);
    AppendList(out, p.m_lstPatterns);
    AppendList(out, p.m_lstFolders);
    out += (p.m_bUseLimits ? "1\n" : "0\n");
    out += FormatSettingsSize(p.m_dwMinSize) + '\n';
    out += FormatSettingsSize(p.m_dwMaxSize) + '\n';
    std::tm tm{};
    if (!localtime_r(&p.m_timeOlderThan, &tm)) {
        tm.tm_mon = 0;
        tm.tm_mday = 1;
        tm.tm_year = 80;
    }
    out += std::to_string(tm.tm_mon + 1) + '\n' + std::to_string(tm.tm_mday) + '\n' +
           std::to_string(static_cast<long long>(tm.tm_year) + 1900) + '\n';
}

enum class LoadOutcome { Read, Missing, NotAFile, Damaged, Unreadable };

struct LoadResult {
    LoadOutcome outcome = LoadOutcome::Read;
    std::string problem; // for a report: "<path> is a FIFO, not a regular file", ...
    std::string detail;  // what is wrong, without the path: "it is larger than 64 MiB", ...
};

LoadResult Damaged(const std::string& path, const std::string& damage) {
    return {LoadOutcome::Damaged, path + " is damaged: " + damage, damage};
}

LoadResult Unreadable(const std::string& problem, const FsError& error) {
    return {LoadOutcome::Unreadable, problem, error.Text()};
}

// Appends the profiles of the settings file at path to dest. A file that is not a regular
// file is never read; a damaged one (too large, or a line too long anywhere in it), or one
// whose reading failed, adds nothing at all.
LoadResult LoadSettingsFile(const std::string& path, CProfileList& dest) {
    DataFile file;
    if (const FsError e = OpenDataFile(path, file)) {
        if (IsMissing(e))
            return {LoadOutcome::Missing, {}, {}};
        if (IsNotAFile(e))
            return {LoadOutcome::NotAFile, DescribeDataFileProblem(path, file, e), {}};
        if (IsTooLarge(e))
            return Damaged(path, "it is larger than " + DataSizeText(file.limit));
        return Unreadable(DescribeDataFileProblem(path, file, e), e);
    }

    CSettingsReader reader(std::move(file.fd));
    std::vector<std::unique_ptr<CProfile>> read;
    CHomeExpansion expandHome;
    if (ReadSettingsLine(reader) == kSettingsMagic) {
        const int count = ReadSettingsInt(reader);
        // A block starting after the end of the file makes no profile, so a huge announced
        // count cannot make more profiles than the file has lines.
        for (int i = 0; i < count; ++i) {
            std::string name = ReadSettingsLine(reader);
            if (name.empty())
                break;
            auto profile = std::make_unique<CProfile>();
            profile->m_strName = std::move(name);
            const bool complete = ReadProfileBody(reader, *profile, expandHome);
            read.push_back(std::move(profile));
            if (!complete)
                break;
        }
    }
    // The damage may lie beyond the last profile: the file is judged as a whole.
    for (std::string rest; reader.ReadRawLine(rest);) {
    }
    if (!reader.Damage().empty())
        return Damaged(path, reader.Damage());
    // A read that failed part way would pass for a short file, and a save would cut it short.
    if (const FsError& e = reader.ReadError())
        return Unreadable("cannot read " + path + ": " + e.Text(), e);
    for (auto& profile : read)
        dest.AddTail(std::move(profile));
    return {};
}

constexpr const char* kLeftAsItIs =
    " It is left as it is: no change to the profiles is saved while Fernwick runs.";

// Tells what kept a file from being read and, at start-up, puts a damaged one aside so that
// no later save replaces it; a preview (keep false) only tells. Why a save must not replace
// the file, when it is still there unread; empty when it is not.
std::string ReportUnread(const LoadResult& result, const std::string& path, bool keep) {
    const ReportTo to = keep ? ReportTo::ErrorAndLog : ReportTo::ErrorOnly;
    switch (result.outcome) {
    case LoadOutcome::Read:
    case LoadOutcome::Missing:
        return {};
    case LoadOutcome::NotAFile:
        // A save refuses whatever is not a regular file by itself.
        ReportDataFileProblem(result.problem + "; it was left alone.", to);
        return {};
    case LoadOutcome::Unreadable:
        ReportDataFileProblem(result.problem + "." + (keep ? kLeftAsItIs : ""), to);
        return "it could not be read (" + result.detail + ")";
    case LoadOutcome::Damaged:
        break;
    }
    const std::string unread = "it is damaged (" + result.detail + ") and was not read";
    if (!keep) {
        ReportDataFileProblem(result.problem + "; it was not read.", to);
        return unread;
    }
    // Through a link, the file itself is put aside and the link stays for the next save.
    std::string target, aside;
    FsError failed = FollowLinks(path, target);
    if (!failed)
        failed = KeepAside(target, aside);
    if (failed) {
        const std::string why = failed.Text();
        ReportDataFileProblem(result.problem + "; it could not be kept aside (" + why +
                                  ") and was not read." + kLeftAsItIs,
                              to);
        return unread + ", and it could not be kept aside (" + why + ")";
    }
    ReportDataFileProblem(result.problem + "; it was kept aside as " + aside + ".", to);
    return {};
}

// Removes a consumed update file. Only a file (or a link) is removed: anything else of that
// name is not the program's to delete.
void RemoveUpdateFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
        ::unlink(path.c_str());
        return;
    }
    ReportDataFileProblem(path + " is " + DescribeFileType(st.st_mode) +
                          ", not a regular file; it was left alone.");
}

} // namespace

void CProfileList::Load(const std::string& fileName, CProfileList& dest) const {
    LoadSettingsFile(GetProgramDir() + fileName, dest);
}

FsError CProfileList::SaveRefusal() const {
    if (m_unreadSettings.empty() || m_unreadSettings != GetProgramDir() + kSettingsFileName)
        return {};
    return FsError::Told(EPERM, m_unreadWhy + ". A save would replace the profiles in it, so "
                                              "it is left as it is.");
}

FsError CProfileList::Save() const {
    // The start has told why; the user is told again by whoever asked for the save.
    if (FsError refused = SaveRefusal())
        return refused;
    std::string out = std::string(kSettingsMagic) + '\n' + std::to_string(GetCount()) + '\n';
    for (const CProfile& p : *this)
        AppendProfile(out, p);
    const std::string path = GetProgramDir() + kSettingsFileName;
    // A link (dotfile managers make them) stays a link: the file behind it is replaced.
    std::string target;
    if (FsError e = FollowLinks(path, target)) {
        ReportDataFileProblem("cannot save " + path + ": " + e.Text() + ".");
        return e;
    }
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        ReportDataFileProblem(target + " is " + DescribeFileType(st.st_mode) +
                              ", not a regular file; it was left alone.");
        return NotRegularFile(st.st_mode);
    }
    return ReplaceFileAtomically(target, out);
}

void CProfileList::LoadAndMerge(bool consume) {
    const std::string dir = GetProgramDir();
    const std::string settings = dir + kSettingsFileName;
    m_unreadWhy = ReportUnread(LoadSettingsFile(settings, *this), settings, consume);
    // Neither read nor put aside: saving the profiles of this run would replace the user's.
    m_unreadSettings = m_unreadWhy.empty() ? std::string() : settings;

    CProfileList update;
    const std::string updateFile = dir + (IsWindowsNT() ? "newntsettings.dat" : "new95settings.dat");
    ReportUnread(LoadSettingsFile(updateFile, update), updateFile, consume);
    if (update.IsEmpty())
        return;
    for (auto& p : update.m_list)
        if (!FindByName(p->m_strName))
            m_list.push_back(std::move(p));
    update.RemoveAll();
    if (!consume)
        return;

    // The update file is consumed only once its profiles are safely in settings.dat;
    // otherwise they would be lost when the program directory cannot be written, or when
    // settings.dat was left unread and is not written at all.
    if (Save())
        return;
    RemoveUpdateFile(dir + "newntsettings.dat");
    RemoveUpdateFile(dir + "new95settings.dat");
}
