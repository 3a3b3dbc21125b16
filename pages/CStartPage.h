// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CCheckMarkList.h"
#include "controls/CPictureStatic.h"
#include "framework/CPropertyPage.h"
#include "pages/CFilePropsPage.h"
#include "pages/CFolders2ScanPage.h"
#include "pages/CNewProfilePage.h"
#include "pages/CPatternsPage.h"

#include <QtCore/QPointer>
#include <functional>
#include <string>
#include <vector>

class CProfile;
class CProfileList;
class QLabel;
class QPushButton;
class QTreeWidget;

// The wizard's first page: the profiles with a check mark each, and the commands on them.
// Next goes to the drives page when a checked profile scans whole drives, else straight on to
// the scan page.
class CStartPage : public CPropertyPage {
  public:
    CStartPage();

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Whether the profile's row shows the check mark; false while the page has no window.
    bool IsProfileChecked(const CProfile& profile) const;
    // Whether some checked profile scans every folder of the chosen drives.
    bool AnyCheckedScansAllFolders() const;
    // Reports the scan folders of listed-folder profiles that are missing. False when the
    // user chose to stay and fix them.
    bool VerifyScanFolders();

    // Next when at least one row is checked, else no button at all.
    void UpdateWizardButtons();

    // Add and Edit run the "Profile" sheet; a profile is saved as soon as the sheet ends with
    // Finish.
    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnSchedule();
    void OnViewLog();
    void OnLiveUpdate();
    void OnAbout();

    // The scan page, where Next goes when the drives page is not needed. Null means the page
    // two after this one in its sheet (this, drives, scan).
    CPropertyPage* m_pNextAfterDrives = nullptr;
    // The program a scheduled cleaning starts; the running one unless a test names another.
    std::function<std::string()> m_programPath;
    // What Live Update runs; CheckForUpdate unless a test puts its own here.
    std::function<int(QWidget*, const std::string&, const std::string&)> m_checkForUpdate;

    // Copies what the "Profile" sheet's pages hold into the profile.
    void SaveProfileFromPages(CProfile& profile) const;

    CCheckMarkList m_checks;
    int m_nCheckedImage = CCheckMarkList::kCheckedImage;
    int m_nUncheckedImage = CCheckMarkList::kUncheckedImage;
    // The "Profile" sheet's pages: they live as long as this page.
    CNewProfilePage m_pageNewProfile;
    CFolders2ScanPage m_pageFolders2Scan;
    CPatternsPage m_pagePatterns;
    CFilePropsPage m_pageFileProps;

    QPointer<QLabel> m_stcNote;
    QPointer<CPictureStatic> m_picture;
    QPointer<QTreeWidget> m_lstProfiles;
    QPointer<QPushButton> m_btnViewLog;

  private:
    // Runs the "Profile" sheet on the four pages; true when it ended with Finish.
    bool RunProfileSheet(int mode, CProfile* editProfile);
    // Shows the store's profiles as rows, in store order; the row of the profile at index i
    // gets checks[i] (checked past its end). selectRow is selected, -1 for none.
    void RebuildRows(const std::vector<bool>& checks, int selectRow);
    // The column across the whole list, and at least as wide as every name.
    void FitProfileColumn();
    // Saves the store, telling the user when that failed: the change holds for this run.
    void SaveProfiles();
};

// Whether a scan folder is there: anything lstat finds, a trailing '/' ignored, "/" always.
bool ScanFolderExists(const std::string& path);
// Logs the check of every listed-folder profile of the store and returns the report of its
// missing folders: per profile "name:" and a tab-indented line per folder, blocks separated
// by an empty line, every line ended by "\r\n". Empty when nothing is missing.
std::string FindMissingScanFolders(const CProfileList& profiles);
