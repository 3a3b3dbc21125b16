// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
// The check Next makes before a scan: are the folders the profiles name still there?
#include "framework/Registry.h"
#include "dispose/CleaningLog.h"
#include "framework/WinTypes.h"
#include "pages/CFolderErrorDlg.h"
#include "pages/CStartPage.h"
#include "profiles/CProfileList.h"

#include <sys/stat.h>

bool ScanFolderExists(const std::string& path) {
    std::string lookup = path;
    // "dir/" would follow a link or refuse a file, where the plain name finds either.
    while (lookup.size() > 1 && lookup.back() == '/')
        lookup.pop_back();
    if (lookup == "/")
        return true; // a drive root chosen as a scan folder
    struct stat st {};
    return ::lstat(lookup.c_str(), &st) == 0;
}

std::string FindMissingScanFolders(const CProfileList& profiles) {
    std::string report;
    for (const CProfile& profile : profiles) {
        if (profile.m_nScanScope != SCOPE_LISTED_FOLDERS)
            continue;
        WriteLog("Verifying that the pattern " + profile.m_strName + " points to a valid folder");
        std::string block;
        for (const std::string& folder : profile.m_lstScanFolders)
            if (!ScanFolderExists(folder))
                block += "\t" + folder + "\r\n";
        if (block.empty())
            continue;
        if (!report.empty())
            report += "\r\n";
        report += profile.m_strName + ":\r\n" + block;
    }
    return report;
}

bool CStartPage::VerifyScanFolders() {
    std::uint32_t show = 1;
    RegReadDword(kRegShowFolderError, show, 1);
    if (show == 0)
        return true;
    const std::string missing = FindMissingScanFolders(g_profiles);
    if (missing.empty())
        return true;
    CFolderErrorDlg dlg(GetSafeHwnd());
    dlg.m_strMissing = missing;
    const int answer = dlg.DoModal();
    RegWriteDword(kRegShowFolderError, dlg.m_bDontShow ? 0 : 1);
    return answer != IDOK;
}
