// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "pages/CWizardApp.h"

#include <string>
#include <vector>

// The application object: owns the program's life from start-up to exit. What the pages
// reach of it (the page pointers, the scheduler client) is its CWizardApp part.
class CFernwickApp : public CWizardApp {
public:
    CFernwickApp() = default;
    ~CFernwickApp() override;

    // Loads the profiles, reads the command line and runs the wizard or the unattended run.
    // Returns false: no message loop follows it.
    bool InitInstance();

    int m_nCmdFlags = 0;
    // What the process ends with (app/ExitStatus.h); set by InitInstance.
    int m_nExitCode = 0;

    // The program's arguments as started, the program path first. Switches given with a
    // leading '-' read as '/' once the command line has been parsed.
    std::vector<std::string> m_argv;
};

// The program's one application object.
extern CFernwickApp theApp;
