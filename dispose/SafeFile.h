// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

// The disposal's file access lives in the platform layer, shared with the scan and settings.
#include "platform/SafeFile.h"
