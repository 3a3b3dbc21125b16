// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "app/CFernwickApp.h"

CFernwickApp theApp;

CFernwickApp::~CFernwickApp() {
    // The unattended run leaves the scheduler client to here.
    m_dispScheduler.ReleaseDispatch();
}
