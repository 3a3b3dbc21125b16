// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/CSchedulerDispatch.h"

#include <string>
#include <vector>

class CDrivesPage;
class CScanPage;
class CStartPage;
class CDeletePage;
class CPatternsPage;
class CFilePropsPage;
class CSchedSetupPage;
class CSchedDeletePage;
class CNewProfilePage;
class CFolders2ScanPage;

// The application object: owns the program's life from start-up to exit.
class CFernwickApp {
public:
    CFernwickApp() = default;
    CFernwickApp(const CFernwickApp&) = delete;
    CFernwickApp& operator=(const CFernwickApp&) = delete;
    ~CFernwickApp();

    // Loads the profiles, reads the command line and runs the wizard or the unattended run.
    // Returns false: no message loop follows it.
    bool InitInstance();

    // Page pointers, valid exactly while their wizard runs.
    CDrivesPage* m_pSchedDrivesPage = nullptr;
    CDrivesPage* m_pDrivesPage = nullptr;
    CScanPage* m_pScanPage = nullptr;
    CStartPage* m_pStartPage = nullptr;
    CDeletePage* m_pDeletePage = nullptr;
    CPatternsPage* m_pPatternsPage = nullptr;
    CFilePropsPage* m_pFilePropsPage = nullptr;
    CSchedSetupPage* m_pSchedSetupPage = nullptr;
    CSchedDeletePage* m_pSchedDeletePage = nullptr;
    CNewProfilePage* m_pNewProfilePage = nullptr;
    CFolders2ScanPage* m_pFolders2ScanPage = nullptr;

    // The scheduler client; m_bSchedulerAvailable says whether crontab was found at start-up.
    CSchedulerDispatch m_dispScheduler;
    bool m_bSchedulerAvailable = false;
    int m_nCmdFlags = 0;
    // What the process ends with (app/ExitStatus.h); set by InitInstance.
    int m_nExitCode = 0;

    // The program's arguments as started, the program path first. Switches given with a
    // leading '-' read as '/' once the command line has been parsed.
    std::vector<std::string> m_argv;
};

// The program's one application object.
extern CFernwickApp theApp;
