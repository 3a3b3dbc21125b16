// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CCheckMarkList.h"
#include "controls/CPictureStatic.h"
#include "framework/CPropertyPage.h"
#include "platform/VolumeTable.h"
#include "scan/ScanPlan.h"

#include <QtCore/QPointer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CProfile;
class QTimer;
class QTreeWidget;

// The wizard page on which the user checks the drives whose whole folder tree is scanned for
// the profiles that scan all folders. The main wizard and the scheduling wizard each have one.
class CDrivesPage : public CPropertyPage {
public:
    using VolumeSource = std::function<CVolumeTable()>;
    using ProfileFilter = std::function<bool(const CProfile&)>;

    CDrivesPage();

    // Where the rows come from; read again each time the page's window is made. The default
    // is this machine's table without sizes: the page asks those itself (SetSpaceProbe).
    void SetVolumeSource(VolumeSource source);
    // How the free and total space of a drive is asked; the default asks the file system.
    // Each drive is asked on a thread of its own, and a drive that has not answered within
    // the time limit keeps its size columns empty.
    void SetSpaceProbe(CSpaceQuery::Probe probe);
    // How long the drives are waited for; kSpaceTimeLimit unless set.
    void SetSpaceTimeLimit(std::chrono::milliseconds limit);
    // True while the page still waits for sizes.
    bool SizesPending() const;
    // Which profiles the start page has checked; the heading names only those. The default
    // counts every profile as checked.
    void SetProfileFilter(ProfileFilter isChecked);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardNext() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Next only while at least one drive is checked.
    void UpdateWizardButtons();
    // Checks every drive that is not removable; removable ones keep their mark.
    void OnSelectAllDrives();

    // The checked drives in list order with the folders they start at; empty while the page
    // has no window.
    std::vector<ScanDrive> CheckedDrives() const;

    // "1536 KBytes".
    static std::string FormatKBytes(std::uint64_t kbytes);

    // One letter per checked drive, in list order; set when the page is left with Next.
    std::string m_strDrives;
    std::string m_strHeading;
    int m_nCheckedImage = -1;
    int m_nUncheckedImage = -1;
    // The rows' check marks; a click toggles the topmost selected row.
    CCheckMarkList m_checks;
    QPointer<CPictureStatic> m_picture;
    QPointer<QTreeWidget> m_listDrives;

    // How long the page waits for a drive's sizes (a network share may never answer).
    static constexpr std::chrono::milliseconds kSpaceTimeLimit{2000};

private:
    bool IsRowChecked(int row) const;
    void AskSizes();
    void ShowSizes();

    VolumeSource m_volumeSource;
    CSpaceQuery::Probe m_spaceProbe;
    std::chrono::milliseconds m_spaceTimeLimit = kSpaceTimeLimit;
    // The sizes being asked: the letters of the rows, in the order of the query's answers.
    std::unique_ptr<CSpaceQuery> m_spaceQuery;
    std::string m_spaceLetters;
    std::vector<bool> m_spaceShown;
    std::chrono::steady_clock::time_point m_spaceDeadline;
    QPointer<QTimer> m_spaceTimer;
    ProfileFilter m_isProfileChecked;
    CVolumeTable m_volumes; // what the rows show
};
