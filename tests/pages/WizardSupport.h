// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// What the whole-wizard tests share: a profile put into the store, the cleaning wizard's four
// pages linked as start-up links them, and that wizard on a temporary tree.
#include "framework/CPropertySheet.h"
#include "pages/CDeletePage.h"
#include "pages/CDrivesPage.h"
#include "pages/CScanPage.h"
#include "pages/CStartPage.h"
#include "profiles/CProfileList.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

#include <QtWidgets/QDialog>

#include <filesystem>
#include <functional>
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

// The cleaning wizard on a temporary tree: one profile of listed folders taking *.tmp in
// home.root()/tree, so the drives page is skipped. The tree's files are the test's to make.
struct CCleaningWizardOnTree {
    ScopedTestHome home;
    CPropertySheet sheet;
    CStartPage start;
    CDrivesPage drives;
    CScanPage scan;
    CDeletePage del;
    std::filesystem::path tree = home.root() / "tree";

    explicit CCleaningWizardOnTree(const std::string& profileName = "Junk") {
        g_profiles.RemoveAll();
        AddTestProfile(profileName, SCOPE_LISTED_FOLDERS, {tree.string()}, {"*.tmp"});
        LinkCleaningPages(sheet, start, drives, scan, del);
    }
    ~CCleaningWizardOnTree() { g_profiles.RemoveAll(); }
    CCleaningWizardOnTree(const CCleaningWizardOnTree&) = delete;
    CCleaningWizardOnTree& operator=(const CCleaningWizardOnTree&) = delete;

    // Runs the wizard with steps once it is up; a failed check leaves the steps early, and the
    // wizard is then cancelled so the test ends instead of hanging.
    void Run(CScriptedUi& ui, std::function<void()> steps) {
        ui.modalActions.push_back([this, steps](QWidget*) {
            steps();
            if (sheet.GetSafeHwnd()->isVisible())
                sheet.EndDialog(IDCANCEL);
        });
        sheet.DoModal();
    }
};
