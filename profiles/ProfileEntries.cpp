// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "profiles/ProfileEntries.h"

#include "platform/ProgramDir.h"
#include "platform/TrustedPath.h"
#include "profiles/CProfileList.h"
#include "profiles/SettingsFile.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

const char* KindText(EntryKind kind) {
    switch (kind) {
    case EntryKind::ProfileName:
        return "A Profile name";
    case EntryKind::Pattern:
        return "A file pattern";
    case EntryKind::FolderName:
        return "A folder name";
    case EntryKind::ScanFolder:
        return "The path of a folder to scan";
    }
    return "An entry";
}

} // namespace

bool IsAllowedPattern(std::string_view pattern) {
    std::string upper(pattern);
    std::transform(upper.begin(), upper.end(), upper.begin(), UpperAscii);
    for (const char* program : {".EXE", ".OCX", ".DLL", ".DRV"})
        if (upper.find(program) != std::string::npos)
            return false;
    return true;
}

FsError EntryProblem(EntryKind kind, std::string_view entry) {
    const std::string what = KindText(kind);
    if (std::all_of(entry.begin(), entry.end(), IsWhiteSpace))
        return FsError::Told(EINVAL, what + " cannot be empty or only blanks.");
    if (entry.find_first_of("\r\n") != std::string_view::npos)
        return FsError::Told(
            EINVAL, what + " cannot hold a line break: Fernwick's settings file keeps one value "
                           "per line.");
    if (entry.front() == ';')
        return FsError::Told(EINVAL, what + " cannot begin with \";\": Fernwick's settings file "
                                            "would read that line as a comment.");
    if (IsWhiteSpace(entry.back()))
        return FsError::Told(EINVAL, what + " cannot end with a blank or a tab: Fernwick's "
                                            "settings file would drop it.");
    return {};
}

bool IsScannableFolder(const std::string& path) {
    if (path.empty() || path.front() != '/')
        return false;
    // The scan resolves its folders by the same rule; a folder it would refuse is no choice.
    TrustedFolder folder;
    return !OpenTrustedFolder(path, folder);
}

std::string TrimWhiteSpace(std::string_view text) {
    while (!text.empty() && IsWhiteSpace(text.back()))
        text.remove_suffix(1);
    while (!text.empty() && IsWhiteSpace(text.front()))
        text.remove_prefix(1);
    return std::string(text);
}

void CopyStringList(std::vector<std::string>& dest, const std::vector<std::string>& src) {
    // A copy of itself is already there.
    if (&dest == &src)
        return;
    dest.clear();
    dest.reserve(src.size());
    for (const std::string& s : src)
        dest.push_back(s);
}

int CompareNoCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(UpperAscii(a[i]));
        const auto cb = static_cast<unsigned char>(UpperAscii(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::size_t SortedInsertPosition(const std::vector<std::string>& sorted, std::string_view entry) {
    const auto at = std::upper_bound(
        sorted.begin(), sorted.end(), entry,
        [](std::string_view e, const std::string& s) { return CompareNoCase(e, s) < 0; });
    return static_cast<std::size_t>(at - sorted.begin());
}

int FindNoCase(const std::vector<std::string>& list, std::string_view text) {
    for (size_t i = 0; i < list.size(); ++i)
        if (CompareNoCase(list[i], text) == 0)
            return static_cast<int>(i);
    return -1;
}

void SplitPatterns(const std::vector<std::string>& patterns, StandardPatternChecks& checks,
                   std::vector<std::string>& others) {
    checks.fill(false);
    others.clear();
    for (const std::string& pattern : patterns) {
        const auto it = std::find_if(kStandardPatterns.begin(), kStandardPatterns.end(),
                                     [&](const char* s) { return pattern == s; });
        if (it == kStandardPatterns.end())
            others.push_back(pattern);
        else
            checks[static_cast<size_t>(it - kStandardPatterns.begin())] = true;
    }
}

std::vector<std::string> JoinPatterns(const StandardPatternChecks& checks,
                                      const std::vector<std::string>& others) {
    std::vector<std::string> patterns;
    for (size_t i = 0; i < kStandardPatterns.size(); ++i)
        if (checks[i])
            patterns.emplace_back(kStandardPatterns[i]);
    patterns.insert(patterns.end(), others.begin(), others.end());
    return patterns;
}

CalendarDate LocalDateOf(std::time_t t) {
    std::tm tm{};
    if (!localtime_r(&t, &tm) || tm.tm_year < -1900)
        return {};
    return {static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_mday),
            static_cast<unsigned>(tm.tm_year + 1900)};
}

void SaveSheetValues(const ProfileSheetValues& values, CProfile& profile) {
    profile.m_strName = values.name;
    profile.m_nScanScope = values.scanScope;
    if (!profile.ScansAllFolders())
        CopyStringList(profile.m_lstScanFolders, values.scanFolders);
    CopyStringList(profile.m_lstFolders, values.folderNames);
    CopyStringList(profile.m_lstPatterns, values.patterns);
    profile.m_bUseLimits = values.useLimits;
    profile.m_dwMinSize = values.minSize;
    profile.m_dwMaxSize = values.maxSize;
    std::time_t t;
    // The pages only let through dates that can be represented; anything else keeps the old.
    if (LocalMidnight(static_cast<int>(values.olderThan.month),
                      static_cast<int>(values.olderThan.day),
                      static_cast<int>(values.olderThan.year), t))
        profile.m_timeOlderThan = t;
}

std::string ProfilesNotSavedText(const FsError& failed) {
    std::string why = failed.Text();
    if (!why.empty() && why.back() != '.')
        why += '.';
    return "Fernwick could not save your profiles to " + GetProgramDir() + kSettingsFileName +
           ": " + why + "\n\nThe change holds until Fernwick ends.";
}
