// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>

class QWidget;

// The maker's home page.
inline constexpr const char* kWebSiteUrl = "https://www.quenbyworks.com/fernwick/";

// Opens the maker's web site in the desktop's browser; a failure is reported in a message box
// owned by owner.
void OpenWebSite(QWidget* owner);
// The message for a failed shell open, or empty when the code is not reported.
std::string ShellErrorMessage(int code);
