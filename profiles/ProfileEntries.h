// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// What the "Profile" sheet's pages decide without any window: which patterns are allowed,
// which typed entries settings.dat can carry, the sorted lists, and the copy of the pages'
// values into a profile.

#include "platform/FsError.h"
#include "profiles/CProfile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

class CProfileList;

// The six patterns offered as check boxes, in the order a profile's pattern list gets them.
inline constexpr std::array<const char*, 6> kStandardPatterns = {"*.BAK", "*.TMP", "*.CHK",
                                                                 "*.OLD", "~*.*",  "*.~*"};
using StandardPatternChecks = std::array<bool, 6>;
// Which of them a new profile starts with.
inline constexpr StandardPatternChecks kStandardPatternDefaults = {false, true, true,
                                                                   false, true, true};

// The limits a profile's values are entered within, and the values a new profile starts with.
inline constexpr std::uint32_t kLowestMaxSize = 100000;
inline constexpr std::uint32_t kDefaultMaxSize = 4294967295u;
inline constexpr unsigned kFirstYear = 1980;
inline constexpr unsigned kLastYear = 2100;

// False for a pattern that could name program files: ".EXE", ".OCX", ".DLL" or ".DRV"
// anywhere in it, whatever the case ("*.dll.old" and "readme.drv.txt" too).
bool IsAllowedPattern(std::string_view pattern);

// The kinds of typed entry, named in the refusals.
enum class EntryKind { ProfileName, Pattern, FolderName, ScanFolder };

// Why settings.dat could not carry the entry as it is (it keeps one value per line, skips
// empty lines and lines starting with ';', and drops trailing white space), in words for the
// user; none when it can.
FsError EntryProblem(EntryKind kind, std::string_view entry);

// Whether a folder chosen to be scanned is one the scan can use: an absolute path to a folder
// that is there, reached through no link that the scan would refuse to follow.
bool IsScannableFolder(const std::string& path);

// The text without white space (blanks, tabs, line breaks) at either end.
std::string TrimWhiteSpace(std::string_view text);

// Empties dest and appends a copy of every string of src, in order.
void CopyStringList(std::vector<std::string>& dest, const std::vector<std::string>& src);

// Order of the sorted lists: byte order with ASCII letters compared without case.
int CompareNoCase(std::string_view a, std::string_view b);
// Where entry goes in a list kept in CompareNoCase order: after every entry that does not sort
// after it.
std::size_t SortedInsertPosition(const std::vector<std::string>& sorted, std::string_view entry);
// Index of the first entry equal to text as a whole, ignoring case; -1 when there is none.
int FindNoCase(const std::vector<std::string>& list, std::string_view text);

// A profile's patterns as the patterns page shows them: the standard ones (compared byte for
// byte) check their boxes, every other one goes to others in list order.
void SplitPatterns(const std::vector<std::string>& patterns, StandardPatternChecks& checks,
                   std::vector<std::string>& others);
// The checked standard patterns in their order, then the others.
std::vector<std::string> JoinPatterns(const StandardPatternChecks& checks,
                                      const std::vector<std::string>& others);

struct CalendarDate {
    unsigned month = 1;
    unsigned day = 1;
    unsigned year = kFirstYear;
};
// The local calendar day of t; 1/1/1980 when t cannot be converted.
CalendarDate LocalDateOf(std::time_t t);

// Everything the "Profile" sheet's four pages hold for one profile.
struct ProfileSheetValues {
    std::string name;
    int scanScope = SCOPE_ALL_FOLDERS;
    std::vector<std::string> scanFolders;
    std::vector<std::string> folderNames;
    std::vector<std::string> patterns;
    bool useLimits = false;
    std::uint32_t minSize = 0;
    std::uint32_t maxSize = kDefaultMaxSize;
    CalendarDate olderThan;
};

// Copies the sheet's values into the profile. The scan folders are taken only for a profile
// that scans listed folders: one that scans whole drives keeps the list it has (none when
// new), whatever the folders page held from an earlier use. The date becomes local midnight
// at the start of that day, surplus days rolling into the next month.
void SaveSheetValues(const ProfileSheetValues& values, CProfile& profile);

// What to tell the user when settings.dat could not be saved (CProfileList::Save), with the
// reason.
std::string ProfilesNotSavedText(const FsError& failed);
