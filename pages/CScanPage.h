// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "controls/CResultsListSink.h"
#include "framework/CPropertyPage.h"
#include "scan/CStopEvent.h"
#include "scan/ScanPlan.h"

#include <QtCore/QPointer>

#include <functional>
#include <vector>

class QLabel;
class QMovie;
class QProgressBar;
class QPushButton;

// The wizard page on which the user starts and stops the scan and sees the files found: size,
// path and last-write time, each path once. Its results list is what the selection page
// copies.
class CScanPage : public CPropertyPage {
public:
    CScanPage();

    // Where the scan's choices come from: the start page's check marks and the drives page's
    // checked rows. Start-up wires them; without them every profile counts as checked and no
    // drive is chosen.
    std::function<bool(const CProfile&)> m_isProfileChecked;
    std::function<std::vector<ScanDrive>()> m_checkedDrives;
    // The page Back returns to when no checked profile needs drives (the start page).
    CPropertyPage* m_pStartPage = nullptr;

    bool OnInitDialog() override;
    bool OnSetActive() override;
    int OnWizardBack() override;
    bool OnQueryCancel() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Runs a whole scan; returns when it has ended.
    void OnStartScanning();
    // Asks a running scan to stop and puts the page into its idle state.
    void OnStopScanning();
    // Opens the selected file with its program, or as text when it has none.
    void OnOpenFile();
    void UpdateWizardButtons();
    // Some checked profile scans whole drives.
    bool AnyCheckedScansAllFolders() const;

    // How often a running scan lets the window breathe and shows its new rows.
    CResultsListSink::Timing m_sinkTiming;

    CStopEvent m_searchEvent;
    QPointer<QLabel> m_stcProcessing;
    QPointer<QProgressBar> m_progress;
    QPointer<CFoundFilesView> m_listResults;
    // The files found by the last scan, which both lists show.
    CFoundStore m_found;
    QPointer<QLabel> m_animate;
    QPointer<QPushButton> m_btnOpen;
    QPointer<QLabel> m_stcStatus;
    QPointer<QPushButton> m_btnStop;
    QPointer<QPushButton> m_btnStart;

private:
    bool IsChecked(const CProfile& p) const { return !m_isProfileChecked || m_isProfileChecked(p); }
    void OnListSelectionChanged();

    QMovie* m_movie = nullptr;
    bool m_bScanning = false;
};
