#pragma once

// The disposal's file access lives in the platform layer, shared with the scan and settings.
#include "platform/SafeFile.h"
