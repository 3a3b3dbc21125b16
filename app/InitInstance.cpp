#include "app/CFernwickApp.h"
#include "app/CommandLine.h"
#include "pages/CStatusDlg.h"
#include "platform/ProgramDir.h"
#include "profiles/CProfileList.h"

#include <cstdio>

bool CFernwickApp::InitInstance() {
    g_profiles.LoadAndMerge();
    m_nCmdFlags = ParseCommandLine(m_argv);

    if (m_nCmdFlags & CMDF_RUN) {
        // The scheduled cleaning: scan, dispose of what was found, log, and end.
        CStatusDlg dlg;
        dlg.DoModal();
        return false;
    }

    // Until the wizard is in place, the interactive run reports the profiles it would offer.
    std::printf("Profiles in %s%s:\n", GetProgramDir().c_str(), "settings.dat");
    for (const CProfile& p : g_profiles)
        std::printf("  %s (%s)\n", p.m_strName.c_str(),
                    p.ScansAllFolders() ? "whole drives" : "listed folders");
    return false;
}
