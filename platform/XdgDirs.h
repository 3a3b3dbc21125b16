// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <string>

// The XDG base-directory rule for one folder: value when it holds an absolute path, else
// home + "/" + fallback (".local/share", ".config", ...), else empty. Relative values are
// ignored, as the rule says: they would put the user's data in the current folder.
std::string XdgBaseDir(const char* value, const char* home, const char* fallback);

// The rule for this process's environment, without a trailing "/": XdgHome("XDG_DATA_HOME",
// ".local/share"). Empty when neither the variable nor HOME names a folder.
std::string XdgHome(const char* variable, const char* fallback);
inline std::string XdgDataHome() { return XdgHome("XDG_DATA_HOME", ".local/share"); }
inline std::string XdgConfigHome() { return XdgHome("XDG_CONFIG_HOME", ".config"); }

// The variables of the rule that name one folder each.
inline constexpr const char* kXdgFolderVariables[] = {
    "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"};

// Removes each of kXdgFolderVariables that does not hold an absolute path, so that the
// libraries reading them on their own (Qt's settings, GLib's trash) follow the rule too.
// Changes the environment: call first thing in main(), before any thread starts.
void DropRelativeXdgDirs();
