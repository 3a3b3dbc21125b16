// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "schedule/CSchedulerDispatch.h"

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

// What the pages reach of the application object: the pages of the wizard that runs and the
// scheduler client. The application object (CFernwickApp) is one; as with MFC's application
// base, the object registers itself when it is made, so the pages find it without knowing
// the program around them.
class CWizardApp {
public:
    CWizardApp();
    CWizardApp(const CWizardApp&) = delete;
    CWizardApp& operator=(const CWizardApp&) = delete;
    virtual ~CWizardApp();

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
};

// The application object. Where none was made (a page tried on its own), an empty one that
// lives as long as the program.
CWizardApp& WizardApp();
