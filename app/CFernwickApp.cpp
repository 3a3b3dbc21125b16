#include "app/CFernwickApp.h"

CFernwickApp theApp;

CFernwickApp::~CFernwickApp() = default;
