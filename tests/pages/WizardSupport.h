#pragma once

// What the whole-wizard tests share: a profile put into the store, and the cleaning wizard's
// four pages linked as start-up links them.
#include "framework/CPropertySheet.h"
#include "pages/CDeletePage.h"
#include "pages/CDrivesPage.h"
#include "pages/CScanPage.h"
#include "pages/CStartPage.h"
#include "profiles/CProfileList.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

inline void AddTestProfile(const std::string& name, int scope, std::vector<std::string> folders,
                           std::vector<std::string> patterns) {
    auto p = std::make_unique<CProfile>();
    p->m_strName = name;
    p->m_nScanScope = scope;
    p->m_lstScanFolders = std::move(folders);
    p->m_lstPatterns = std::move(patterns);
    g_profiles.AddTail(std::move(p));
}

inline void LinkCleaningPages(CPropertySheet& sheet, CStartPage& start, CDrivesPage& drives,
                              CScanPage& scan, CDeletePage& del) {
    for (CPropertyPage* page : std::initializer_list<CPropertyPage*>{&start, &drives, &scan, &del})
        sheet.AddPage(page);
    const auto isChecked = [&start](const CProfile& p) { return start.IsProfileChecked(p); };
    drives.SetProfileFilter(isChecked);
    start.m_pNextAfterDrives = &scan;
    scan.m_isProfileChecked = isChecked;
    scan.m_pStartPage = &start;
    del.m_pScanPage = &scan;
}
