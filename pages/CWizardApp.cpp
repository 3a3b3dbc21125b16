// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "pages/CWizardApp.h"

namespace {

// The object that registered itself; the program makes one, at start-up.
CWizardApp* g_app = nullptr;

} // namespace

CWizardApp::CWizardApp() {
    if (!g_app)
        g_app = this;
}

CWizardApp::~CWizardApp() {
    if (g_app == this)
        g_app = nullptr;
}

CWizardApp& WizardApp() {
    if (g_app)
        return *g_app;
    static CWizardApp none; // registers itself, once
    return none;
}
