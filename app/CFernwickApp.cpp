#include "app/CFernwickApp.h"

CFernwickApp theApp;

CFernwickApp::~CFernwickApp() {
    // The unattended run leaves the scheduler client to here.
    m_dispScheduler.ReleaseDispatch();
}
