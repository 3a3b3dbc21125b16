// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/CommandSwitches.h"

#include <string>
#include <string_view>
#include <vector>

// What "fernwick --help" prints.
std::string UsageText();
